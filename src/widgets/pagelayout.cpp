// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/pagelayout.h"

#include "widgets/fields.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace varnix::pagelayout {

namespace {
// Digits an unlimited numeric field leaves room for.
constexpr int kDefaultChars = 5;
// Frame, text margins and cursor of a line edit beyond its characters.
constexpr int kFieldPadding = 16;
// Between the parts of a page, between fields, and the more between groups.
constexpr int kSectionSpacing = 10;
constexpr int kCellSpacing = 10;
constexpr int kGroupGap = 12;
// A caption stands close over its field.
constexpr int kCaptionSpacing = 2;
constexpr int kUnitSpacing = 6;
// The lines of a band.
enum BandRow { HeadingRow, CaptionRow, WidgetRow };
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

void nameBy(QLabel* caption, QWidget* control)
{
    caption->setBuddy(control);
    if (qobject_cast<QAbstractItemView*>(control) || qobject_cast<QComboBox*>(control))
        nameControl(control, spokenCaption(caption->text()));
}

void nameControl(QWidget* control, const QString& name)
{
    control->setAccessibleName(name);
    if (auto* box = qobject_cast<QComboBox*>(control)) {
        // The field and the list beside it in one list box, told apart.
        box->view()->setAccessibleName(name + QStringLiteral(" list"));
        if (box->lineEdit())
            box->lineEdit()->setAccessibleName(name);
    }
}

QLabel* captionFor(const QString& text, QWidget* control)
{
    QLabel* label = caption(text);
    nameBy(label, control);
    return label;
}

QString spokenCaption(const QString& text)
{
    QString spoken = text.trimmed();
    // "&&" is a shown "&"; a single "&" marks the access key.
    spoken.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove(u'&').replace(u'\x01', u'&');
    if (spoken.endsWith(u':'))
        spoken.chop(1);
    return spoken.trimmed();
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

Form::Form(QWidget* widget) : m_column(new QVBoxLayout(widget))
{
    m_column->setSpacing(kSectionSpacing);
    // What is added goes in above this, so the page keeps to its top.
    m_column->addStretch(1);
}

void Form::insert(QLayout* layout)
{
    m_band = nullptr;
    m_column->insertLayout(m_filled ? -1 : m_column->count() - 1, layout);
}

void Form::insert(QWidget* widget, int stretch)
{
    m_band = nullptr;
    m_column->insertWidget(m_filled ? -1 : m_column->count() - 1, widget, stretch);
}

Form& Form::text(const QString& text)
{
    return this->text(explanation(text));
}

Form& Form::text(QLabel* label)
{
    insert(label);
    return *this;
}

Form& Form::band()
{
    m_band = nullptr;
    return *this;
}

QGridLayout* Form::currentBand()
{
    if (!m_band) {
        auto* grid = new QGridLayout;
        grid->setHorizontalSpacing(kCellSpacing);
        grid->setVerticalSpacing(kCaptionSpacing);
        insert(grid);
        m_band = grid;
        m_nextColumn = 0;
        m_group = Group{};
    }
    return m_band;
}

Form& Form::group(const QString& heading)
{
    QGridLayout* grid = currentBand();
    if (m_nextColumn > 0) {
        // An empty column keeps the groups apart.
        grid->setColumnStretch(m_nextColumn, 0);
        grid->setColumnMinimumWidth(m_nextColumn, kGroupGap);
        ++m_nextColumn;
    }
    m_group = Group{heading.isEmpty() ? nullptr : caption(heading), m_nextColumn, 0, false};
    placeHeading();
    return *this;
}

Form& Form::cell(const QString& captionText, QWidget* widget, const QString& unit)
{
    return cell(captionText.isEmpty() ? nullptr : caption(captionText), widget, unit);
}

Form& Form::cell(QLabel* captionLabel, QWidget* widget, const QString& unit)
{
    QGridLayout* grid = currentBand();
    const int column = m_nextColumn++;
    if (captionLabel) {
        nameBy(captionLabel, widget);
        grid->addWidget(captionLabel, CaptionRow, column, Qt::AlignLeft | Qt::AlignBottom);
        m_group.captions = true;
    }
    // Texts beside or in place of a field stand level with the field's
    // text, or with the first line of a list.
    const int fieldHeight = QLineEdit().sizeHint().height();
    auto level = [](QLabel* label, int height) {
        label->setMinimumHeight(height);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    };
    if (auto* value = qobject_cast<QLabel*>(widget))
        level(value, fieldHeight);
    if (unit.isEmpty()) {
        grid->addWidget(widget, WidgetRow, column, Qt::AlignLeft | Qt::AlignTop);
    } else {
        auto* withUnit = new QHBoxLayout;
        withUnit->setSpacing(kUnitSpacing);
        grid->addLayout(withUnit, WidgetRow, column, Qt::AlignLeft | Qt::AlignTop);
        withUnit->addWidget(widget);
        QLabel* unitLabel = caption(unit);
        level(unitLabel, std::min(widget->sizeHint().height(), fieldHeight));
        withUnit->addWidget(unitLabel, 0, Qt::AlignTop);
    }
    ++m_group.columns;
    placeHeading();
    // The band keeps to the left; the room to its right is left empty.
    grid->setColumnStretch(column, 0);
    grid->setColumnStretch(m_nextColumn, 1);
    return *this;
}

void Form::placeHeading()
{
    QLabel* heading = m_group.heading;
    if (!heading)
        return;
    // Over the captions of its fields, or in their place when they have none.
    m_band->removeWidget(heading);
    m_band->addWidget(heading, m_group.captions ? HeadingRow : CaptionRow, m_group.firstColumn, 1,
                      std::max(1, m_group.columns), Qt::AlignLeft | Qt::AlignBottom);
}

Form& Form::row(std::initializer_list<QWidget*> widgets)
{
    auto* line = new QHBoxLayout;
    insert(line);
    for (QWidget* widget : widgets)
        line->addWidget(widget);
    line->addStretch(1);
    return *this;
}

Form& Form::widget(QWidget* widget)
{
    insert(widget);
    return *this;
}

Form& Form::fill(QWidget* widget)
{
    if (!m_filled) {
        delete m_column->takeAt(m_column->count() - 1);
        m_filled = true;
    }
    insert(widget, 1);
    return *this;
}

namespace {

// The tab control's page that holds the widget, with the tab control; none
// for a widget outside a tab control.
std::pair<const QWidget*, const QTabWidget*> tabPageOf(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QWidget* stack = w->parentWidget();
        if (qobject_cast<const QStackedWidget*>(stack))
            if (const auto* tabs = qobject_cast<const QTabWidget*>(stack->parentWidget()))
                return {w, tabs};
    }
    return {nullptr, nullptr};
}

// The captions on a page, each with the field it names: the captions over
// fields, and the names given to fields that have none.
QList<std::pair<const QWidget*, QString>> captionsOn(const QWidget* page)
{
    QList<std::pair<const QWidget*, QString>> named;
    for (const QLabel* label : page->findChildren<QLabel*>())
        if (label->buddy())
            named.append({label->buddy(), label->text().trimmed()});
    for (const QWidget* widget : page->findChildren<QWidget*>()) {
        const QString name = widget->accessibleName();
        const auto captioned = [&](const auto& n) { return n.first == widget; };
        if (!name.isEmpty() && std::none_of(named.cbegin(), named.cend(), captioned))
            named.append({widget, name});
    }
    return named;
}

bool holdsCaption(const QList<std::pair<const QWidget*, QString>>& named, const QString& caption)
{
    return std::any_of(named.cbegin(), named.cend(), [&](const auto& n) { return n.second == caption; });
}

} // namespace

protocol::FieldText fieldName(const QWidget* field)
{
    const auto [page, tabs] = tabPageOf(field);
    const QWidget* within = page ? page : field->window();
    const auto named = captionsOn(within);
    QString caption;
    for (const auto& [widget, name] : named)
        if (widget == field)
            caption = name;

    if (caption.isEmpty()) // a field that no page names: said plainly, never by its object name
        return {QStringLiteral("A field"), QString()};

    protocol::FieldText result{caption, QString()};
    const auto sameCaption = [&](const auto& n) { return n.second == caption; };
    if (std::count_if(named.cbegin(), named.cend(), sameCaption) > 1) {
        for (const QWidget* w = field->parentWidget(); w && w != within; w = w->parentWidget())
            if (const auto* box = qobject_cast<const QGroupBox*>(w); box && !box->title().isEmpty()) {
                result.label = box->title() + u' ' + caption;
                break;
            }
    }
    if (tabs) {
        for (int i = 0; i < tabs->count(); ++i) {
            if (tabs->widget(i) != page && holdsCaption(captionsOn(tabs->widget(i)), caption)) {
                result.page = tabs->tabText(tabs->indexOf(const_cast<QWidget*>(page))).trimmed();
                break;
            }
        }
    }
    return result;
}

protocol::FieldText fieldText(const LineField* field)
{
    protocol::FieldText result = fieldName(field);
    result.text = field->exactText();
    return result;
}

protocol::FieldText fieldText(const TextArea* area)
{
    protocol::FieldText result = fieldName(area);
    result.text = area->exactText();
    return result;
}

} // namespace varnix::pagelayout
