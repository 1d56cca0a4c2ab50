// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/propertypanel.h"

#include "commands/fieldchecks.h"
#include "protocol/encodings.h"
#include "protocol/frames.h"
#include "protocol/numbers.h"
#include "widgets/fields.h"
#include "widgets/pagehost.h"
#include "widgets/pagelayout.h"

#include <QEvent>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace varnix {

using editor::Kind;

struct PropertyPanel::Property {
    enum class Role : quint8 {
        Number,    // a hex pair
        Start,     // a hex pair that moves the end at `other` along with it
        End,       // a hex pair from the start at `other` on
        Extent,    // how far the number at `index` lies from the one at `other`
        Step,      // a whole number the frame carries in decimal
        Character, // the character of "p"
        String,    // a string's characters
    };
    Kind kind;
    const char* field; // the page's name for it, which its leave-field check goes by
    const char* caption;
    Role role;
    int index;
    int low;
    int high;
    int other = -1;
    const char* partner = nullptr; // the field a length is counted from
    int typingLimit = 0;
};

namespace {

using Role = PropertyPanel::Property::Role;

constexpr int kLargestPairValue = editor::kLargestPair;
constexpr int kLastColumn = render::kLcdColumns - 1;
constexpr int kLastRow = render::kLcdRows - 1;

const PropertyPanel::Property kProperties[] = {
    {Kind::Circle, "txtCx", "X", Role::Number, 0, 0, kLargestPairValue},
    {Kind::Circle, "txtCy", "Y", Role::Number, 1, 0, kLargestPairValue},
    {Kind::Circle, "txtcr", "Radius", Role::Number, 2, 0, kLargestPairValue},
    {Kind::Square, "txtSx1", "Centre X", Role::Number, 0, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::Square, "txtSy1", "Centre Y", Role::Number, 1, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::Square, "txtSr", "Half side", Role::Number, 2, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::Diamond, "txtDx", "Centre X", Role::Number, 0, 0, kLargestPairValue},
    {Kind::Diamond, "txtDy", "Centre Y", Role::Number, 1, 0, kLargestPairValue},
    {Kind::Diamond, "txtDr", "Centre to side", Role::Number, 2, 0, kLargestPairValue},
    {Kind::Star, "txtStarx", "Centre X", Role::Number, 0, 0, kLargestPairValue},
    {Kind::Star, "txtStary", "Centre Y", Role::Number, 1, 0, kLargestPairValue},
    {Kind::Star, "txtStarr", "Centre to point", Role::Number, 2, 0, kLargestPairValue},
    {Kind::Rectangle, "txtX1", "X1", Role::Number, 0, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::Rectangle, "txtY1", "Y1", Role::Number, 2, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::Rectangle, "txtX2", "X2", Role::Number, 1, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::Rectangle, "txtY2", "Y2", Role::Number, 3, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::Rectangle, "txtrs1", "Step", Role::Step, 4, 1, 9},
    {Kind::Line, "txtLx1", "X1", Role::Number, 0, 0, kLargestPairValue},
    {Kind::Line, "txtLy1", "Y1", Role::Number, 2, 0, kLargestPairValue},
    {Kind::Line, "txtLx2", "X2", Role::Number, 1, 0, kLargestPairValue},
    {Kind::Line, "txtLy2", "Y2", Role::Number, 3, 0, kLargestPairValue},
    {Kind::Bar, "txtbarx", "X", Role::Start, 0, 0, kLargestPairValue, 1, nullptr, 3},
    {Kind::Bar, "txtbary", "Y", Role::Start, 2, 0, kLargestPairValue, 3, nullptr, 3},
    {Kind::Bar, "txtbarwidth", "Width", Role::Extent, 1, -kLargestPairValue, kLargestPairValue, 0, nullptr, 4},
    {Kind::Bar, "txtbarheight", "Height", Role::Extent, 3, -kLargestPairValue, kLargestPairValue, 2, nullptr, 4},
    {Kind::Bar, "List3", "Pattern", Role::Step, 4, 1, 5},
    {Kind::Fill, "List2", "Step", Role::Step, 0, 1, 9},
    {Kind::Dot, "txtDotSingX", "X", Role::Number, 0, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::Dot, "txtDotSingy", "Y", Role::Number, 1, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::ToggledDot, "txtResetx", "X", Role::Number, 0, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::ToggledDot, "txtResety", "Y", Role::Number, 1, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::Byte, "txtPutBytex", "X", Role::Number, 0, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::Byte, "txtPutBytey", "Y", Role::Number, 1, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::Byte, "txtPutByte", "Byte value", Role::Number, 2, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::Character, "txtPutChrx", "X", Role::Number, 0, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::Character, "txtPutchry", "Y", Role::Number, 1, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::Character, "txtPutChr", "Character", Role::Character, 0, 0, 0, -1, nullptr, 1},
    {Kind::HorizontalString, "txtH", "String", Role::String, 0, 0, 0, -1, nullptr, 26},
    {Kind::HorizontalString, "txtHStrX", "X", Role::Number, 0, 0, kLargestPairValue},
    {Kind::HorizontalString, "txtHStrY", "Y", Role::Number, 1, 0, kLargestPairValue},
    {Kind::VerticalString, "txtV", "String", Role::String, 0, 0, 0, -1, nullptr, 8},
    {Kind::VerticalString, "txtVStrX", "X", Role::Number, 0, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::VerticalString, "txtVStrY", "Y", Role::Number, 1, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::XAxis, "txtXaxisx", "X", Role::Start, 0, 0, kLargestPairValue, 1, nullptr, 3},
    {Kind::XAxis, "txtXaxisy", "Y", Role::Number, 2, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::XAxis, "txtXaxisLen", "Length in pixels", Role::Extent, 1, -kLargestPairValue, kLargestPairValue, 0, "txtXaxisx", 4},
    {Kind::XAxis, "lsttickx", "Tick every", Role::Step, 3, 1, 10},
    {Kind::YAxis, "txtYAxisx", "X", Role::Number, 2, 0, kLargestPairValue, -1, nullptr, 3},
    {Kind::YAxis, "txtYAxisy", "Y", Role::Start, 0, 0, kLargestPairValue, 1, nullptr, 3},
    {Kind::YAxis, "txtYAxisLen", "Length in pixels", Role::Extent, 1, -kLargestPairValue, kLargestPairValue, 0, "txtYAxisy", 4},
    {Kind::YAxis, "lstticky", "Tick every", Role::Step, 3, 1, 10},
};

// Blocks, texts and pictures share the LCD page's corners.
const PropertyPanel::Property kBlockProperties[] = {
    {Kind::Block, "txtlcdx1", "X1", Role::Start, 0, 0, kLastColumn, 1, nullptr, 3},
    {Kind::Block, "txtlcdy1", "Y1 (row)", Role::Start, 2, 0, kLastRow, 3, nullptr, 2},
    {Kind::Block, "txtlcdx2", "X2", Role::End, 1, 0, kLastColumn, 0, nullptr, 3},
    {Kind::Block, "txtlcdy2", "Y2 (row)", Role::End, 3, 0, kLastRow, 2, nullptr, 2},
};

QString propertyField(const PropertyPanel::Property& property)
{
    return QString::fromLatin1(property.field);
}

// Why a number is not one the board takes.
QString outOfBoardRange(const QString& caption, int low, int high, const QString& text)
{
    return QStringLiteral("%1 must be from %2 to %3, not %4.").arg(caption).arg(low).arg(high).arg(protocol::quoted(text));
}

QString changeName(const editor::Shape& shape, const QString& caption)
{
    return shape.name() + u' ' + caption;
}

// Enter in a field checks it as leaving it would.
class EnterCommits : public QObject
{
public:
    EnterCommits(QObject* parent, std::function<void()> commit) : QObject(parent), m_commit(std::move(commit)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                m_commit();
                return true;
            }
        }
        return false;
    }

private:
    std::function<void()> m_commit;
};

} // namespace

PropertyPanel::PropertyPanel(PageHost& host, QWidget* parent)
    : QGroupBox(QStringLiteral("Properties"), parent), m_host(host), m_note(new QLabel(this)),
      m_fields(new QWidget(this))
{
    setObjectName(QStringLiteral("grpProperties"));
    m_note->setObjectName(QStringLiteral("lblProperties"));
    m_note->setWordWrap(true);
    m_note->setTextFormat(Qt::PlainText);
    m_form = new QFormLayout(m_fields);
    m_form->setContentsMargins(0, 0, 0, 0);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_note);
    column->addWidget(m_fields);
    column->addStretch(1);
    showItem(nullptr, 0);
}

void PropertyPanel::clear()
{
    m_shown.clear();
    // Gone once the event that led here is over: a field may be in the
    // middle of telling that the focus left it.
    while (m_form->rowCount() > 0) {
        const QFormLayout::TakeRowResult row = m_form->takeRow(0);
        for (QLayoutItem* part : {row.labelItem, row.fieldItem}) {
            if (part && part->widget()) {
                part->widget()->hide();
                part->widget()->deleteLater();
            }
            delete part;
        }
    }
}

void PropertyPanel::showItem(const editor::Item* item, int selected)
{
    // The same object changed (by this panel, an undo, a drag): its numbers
    // are shown anew in the fields there, and the focus stays where it is.
    if (item && selected == 1 && item->isObject() && m_shape && item->id == m_id
        && item->shape->kind == m_shape->kind && item->shape->locked == m_shape->locked
        && item->shape->hidden == m_shape->hidden) {
        m_shape = *item->shape;
        for (const Shown& shown : std::as_const(m_shown))
            shown.field->setExactText(valueText(*shown.property));
        return;
    }
    clear();
    m_shape.reset();
    m_id = item ? item->id : 0;
    if (!item || selected != 1) {
        m_note->setText(selected > 1 ? QStringLiteral("%1 objects selected.").arg(selected)
                                     : QStringLiteral("Nothing selected. Choose an object on the canvas or in the "
                                                      "list, or add one."));
        return;
    }
    if (!item->isObject()) {
        QString note = QStringLiteral("A line kept as it stands: %1").arg(item->title());
        if (item->kept == editor::Kept::Damaged)
            note += QStringLiteral("\nA run refuses it: %1").arg(item->reason);
        m_note->setText(note);
        return;
    }
    m_shape = *item->shape;
    const editor::Shape& shape = *m_shape;
    QString note = shape.name();
    if (shape.locked)
        note += QStringLiteral(" (locked)");
    if (shape.hidden)
        note += QStringLiteral(" (hidden: neither drawn nor sent)");
    m_note->setText(note);

    QList<const Property*> properties;
    for (const Property& property : kProperties)
        if (property.kind == shape.kind)
            properties << &property;
    if (shape.isBlock())
        for (const Property& property : kBlockProperties)
            properties << &property;
    for (const Property* property : std::as_const(properties)) {
        auto* field = pagelayout::field(propertyField(*property), valueText(*property), property->typingLimit, 6);
        field->setEnabled(!shape.locked);
        QLabel* caption = pagelayout::captionFor(QString::fromLatin1(property->caption), field);
        m_form->addRow(caption, field);
        m_shown << Shown{property, field};
        const QPointer<LineField> guarded(field);
        const auto check = [this, guarded] {
            if (guarded)
                commit(guarded);
        };
        field->installEventFilter(new EnterCommits(field, check));
        onFocusLeft(field, m_host, check);
    }
    const auto button = [this](const char* name, const QString& caption, void (PropertyPanel::*signal)()) {
        auto* b = pagelayout::button(QString::fromLatin1(name), caption);
        m_form->addRow(b);
        connect(b, &QPushButton::clicked, this, signal);
        return b;
    };
    if (shape.kind == Kind::Text)
        button("cmdEditText", QStringLiteral("&Text\u2026"), &PropertyPanel::editText)->setEnabled(!shape.locked);
    else if (shape.kind == Kind::Picture)
        button("cmdEditPicture", QStringLiteral("&Picture\u2026"), &PropertyPanel::editPicture)->setEnabled(!shape.locked);
    else if (shape.kind == Kind::Block)
        button("cmdDrawDots", QStringLiteral("Draw &Dots"), &PropertyPanel::drawDots)->setEnabled(!shape.locked);
}

LineField* PropertyPanel::field(const QString& name) const
{
    for (const Shown& shown : m_shown) {
        if (shown.field->objectName() == name)
            return shown.field;
    }
    return nullptr;
}

void PropertyPanel::commitFocused()
{
    for (const Shown& shown : std::as_const(m_shown)) {
        if (shown.field->hasFocus()) {
            commit(shown.field);
            return;
        }
    }
}

QString PropertyPanel::valueText(const Property& property) const
{
    const editor::Shape& shape = *m_shape;
    switch (property.role) {
    case Role::Extent:
        return QString::number(shape.n[property.index] - shape.n[property.other]);
    case Role::Character:
    case Role::String:
        return shape.text;
    default:
        return QString::number(shape.n[property.index]);
    }
}

QString PropertyPanel::partnerText(const Property& property) const
{
    if (!property.partner)
        return QString();
    const LineField* partner = field(QString::fromLatin1(property.partner));
    return partner ? partner->exactText() : QString();
}

void PropertyPanel::commit(LineField* field)
{
    const auto shown = std::find_if(m_shown.cbegin(), m_shown.cend(), [field](const Shown& s) { return s.field == field; });
    if (!m_shape || m_committing || shown == m_shown.cend())
        return;
    const Property& property = *shown->property;
    const QString text = field->exactText();
    if (text == valueText(property))
        return;
    const QString caption = QString::fromLatin1(property.caption);
    editor::Shape shape = *m_shape;
    QString refusal;
    // The page's own check first, with its message; then what the board takes.
    if (const auto refused = leaveFieldRefusal(propertyField(property), text, partnerText(property))) {
        refusal = refused->message;
    } else if (property.role == Role::Character || property.role == Role::String) {
        const protocol::FieldText given{caption, text};
        const protocol::FieldText place{QStringLiteral("X"), QStringLiteral("10")};
        const protocol::FrameResult frame = property.role == Role::Character
            ? protocol::putCharFrame(place, place, given)
            : protocol::horizontalStringFrame(place, place, given, property.typingLimit);
        const QString upper = property.role == Role::Character
            ? protocol::latin1Upper(text)
            : protocol::latin1Upper(protocol::trimmedOfBlanks(text)).left(property.typingLimit);
        if (!frame.ok())
            refusal = frame.message();
        else if (property.role == Role::String && upper.contains(u'@'))
            refusal = QStringLiteral("%1 cannot hold \"@\": the board ends the string there.").arg(caption);
        else
            shape.text = upper;
    } else {
        // As the page reads it: the whole text one number, to the nearest
        // whole number.
        const auto number = protocol::textNumber(text);
        const auto whole = number ? protocol::roundHalfEven(*number) : std::nullopt;
        if (!number) {
            refusal = protocol::FrameResult::refused(protocol::Refusal::NotANumber, caption, text).message();
        } else if (!whole || *whole < property.low || *whole > property.high) {
            refusal = outOfBoardRange(caption, property.low, property.high, text);
        } else {
            const int value = int(*whole);
            auto& n = shape.n;
            switch (property.role) {
            case Role::Start:
                n[property.other] += value - n[property.index];
                n[property.index] = value;
                if (n[property.other] > property.high || n[property.other] < 0)
                    refusal = QStringLiteral("%1 %2 would take the object's far end past the edge.")
                                  .arg(caption, protocol::quoted(text));
                break;
            case Role::End:
                n[property.index] = value;
                if (value < n[property.other])
                    refusal = QStringLiteral("%1 must not lie before the block's start, %2.")
                                  .arg(caption).arg(n[property.other]);
                break;
            case Role::Extent:
                n[property.index] = n[property.other] + value;
                if (n[property.index] < 0 || n[property.index] > kLargestPairValue)
                    refusal = QStringLiteral("%1 %2 would end at %3; the board takes 0 to %4.")
                                  .arg(caption, protocol::quoted(text))
                                  .arg(n[property.index])
                                  .arg(kLargestPairValue);
                break;
            default:
                n[property.index] = value;
                break;
            }
        }
    }
    if (!refusal.isEmpty()) {
        m_committing = true;
        m_host.message(refusal);
        m_committing = false;
        // What the object holds comes back.
        field->setExactText(valueText(property));
        return;
    }
    // A block's end moved takes in new bytes or drops some; its start moved
    // takes the block along whole.
    if (property.role == Role::End)
        shape.bytes = editor::reshapedBytes(m_shape->bytes, m_shape->block(), shape.block());
    m_committing = true;
    emit changed(m_id, shape, changeName(shape, caption));
    m_committing = false;
}

} // namespace varnix
