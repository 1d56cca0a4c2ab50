#include "widgets/pagelayout.h"

#include "widgets/fields.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace varnix::pagelayout {

namespace {
// Digits an unlimited numeric field leaves room for.
constexpr int kDefaultChars = 5;
// Frame, text margins and cursor of a line edit beyond its characters.
constexpr int kFieldPadding = 16;
} // namespace

QLabel* caption(const QString& text)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* namedCaption(const QString& name, const QString& text)
{
    QLabel* label = caption(text);
    label->setObjectName(name);
    return label;
}

QLabel* explanation(const QString& text)
{
    QLabel* label = caption(text);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

LineField* field(const QString& name, const QString& start, int typingLimit, int widthChars)
{
    auto* edit = new LineField(name, start, typingLimit);
    const int chars = widthChars >= 0 ? widthChars : (typingLimit > 0 ? typingLimit : kDefaultChars);
    if (chars > 0) {
        // One spare character keeps the last digit clear of the frame.
        const QFontMetrics metrics(edit->font());
        edit->setFixedWidth(metrics.horizontalAdvance(QString(std::max(chars, 2) + 1, u'0')) + kFieldPadding);
    }
    return edit;
}

QPushButton* button(const QString& name, const QString& caption)
{
    auto* push = new QPushButton(caption);
    push->setObjectName(name);
    return push;
}

QRadioButton* option(const QString& name, const QString& caption)
{
    auto* radio = new QRadioButton(caption);
    radio->setObjectName(name);
    return radio;
}

ListBox* list(const QString& name, const QStringList& items, int rows)
{
    auto* box = new ListBox(name, items);
    const int rowHeight = std::max(box->sizeHintForRow(0), QFontMetrics(box->font()).height() + 2);
    box->setFixedHeight(rowHeight * rows + 2 * box->frameWidth() + 2);
    const QFontMetrics metrics(box->font());
    box->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("0000")) + 2 * box->frameWidth() + 24);
    return box;
}

QStringList numbers(int first, int last)
{
    QStringList items;
    for (int value = first; value <= last; ++value)
        items << QString::number(value);
    return items;
}

void fillPage(QWidget* page, const QString& explanationText, QLayout* body, QPushButton* button)
{
    auto* column = new QVBoxLayout(page);
    column->addWidget(explanation(explanationText));
    column->addSpacing(8);
    column->addLayout(body);
    column->addSpacing(8);
    column->addLayout(buttonRow({button}));
    column->addStretch(1);
}

QHBoxLayout* buttonRow(std::initializer_list<QWidget*> buttons)
{
    auto* row = new QHBoxLayout;
    for (QWidget* widget : buttons)
        row->addWidget(widget);
    row->addStretch(1);
    return row;
}

void addRow(QGridLayout* grid, int row, int column, const QString& text, QWidget* widget)
{
    if (!text.isEmpty())
        grid->addWidget(caption(text), row, column, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(widget, row, column + 1, Qt::AlignLeft | Qt::AlignVCenter);
}

protocol::FieldText fieldText(const QString& description, const LineField* field)
{
    return {QStringLiteral("%1 (%2)").arg(description, field->objectName()), field->exactText()};
}

} // namespace varnix::pagelayout
