// SPDX-License-Identifier: GPL-3.0-or-later
#include "frames.h"

#include "encodings.h"
#include "numbers.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace varnix::protocol {

namespace {

// Labels of raw items that come from lists rather than from typed fields.
const QString stepLabel = QStringLiteral("Step");
const QString tickLabel = QStringLiteral("Tick every");

// The offending character for a message: a whole surrogate pair where the
// character lies outside the Basic Multilingual Plane.
QString offendingCharacter(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].unicode() <= 0xff)
            continue;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            return text.sliced(i, 2).toString();
        return QString(text[i]);
    }
    return QString();
}

// Collects the parts of one frame in order; the first part that cannot be
// composed decides the outcome and the rest are ignored.
class FrameBuilder
{
public:
    explicit FrameBuilder(QString head) : m_frame(std::move(head)) {}

    FrameBuilder& add(const FrameResult& part)
    {
        if (m_refusal.ok() && !part.ok())
            m_refusal = part;
        else if (m_refusal.ok())
            m_frame += part.frame;
        return *this;
    }

    // Text that goes into the frame as it stands, provided it has single bytes.
    FrameBuilder& text(QStringView text, const QString& label)
    {
        if (!m_refusal.ok())
            return *this;
        if (!isLatin1(text))
            m_refusal = FrameResult::refused(Refusal::NotSingleByte, label, offendingCharacter(text));
        else
            m_frame += text;
        return *this;
    }

    FrameBuilder& rawItem(QStringView item, const QString& label)
    {
        return text(u']' + item.toString(), label);
    }

    FrameResult result() const { return m_refusal.ok() ? FrameResult::success(m_frame) : m_refusal; }

private:
    QString m_frame;
    FrameResult m_refusal;
};

using Encoder = std::optional<QString> (*)(std::int64_t);

FrameResult encodeNumber(double value, const QString& label, const QString& detail, Encoder encode)
{
    if (std::isnan(value))
        return FrameResult::refused(Refusal::NotANumber, label, detail);
    // A negative number has no pair, even one that would round to 0.
    if (value < 0)
        return FrameResult::refused(Refusal::Negative, label, detail);
    const auto rounded = roundHalfEven(value);
    if (!rounded)
        return FrameResult::refused(Refusal::TooLarge, label, detail);
    const auto hex = encode(*rounded);
    if (!hex)
        return FrameResult::refused(Refusal::TooLarge, label, detail);
    return FrameResult::success(*hex);
}

FrameResult encodeField(const FieldText& field, Encoder encode)
{
    const auto number = textNumber(field.text);
    if (!number)
        return FrameResult::refused(Refusal::NotANumber, field.named(), field.text);
    return encodeNumber(*number, field.named(), field.text, encode);
}

// Both fields stand on one page.
QString sumLabel(const FieldText& start, const FieldText& extent)
{
    return FieldText{start.label + QStringLiteral(" + ") + extent.label, {},
                     start.page.isEmpty() ? extent.page : start.page}
        .named();
}

// The pair of start + extent, both read by their leading-number values.
FrameResult pairOfSum(const FieldText& start, const FieldText& extent)
{
    return pairOfNumber(leadingNumber(start.text) + leadingNumber(extent.text),
                        sumLabel(start, extent));
}

FrameResult threePairFrame(const QString& head, const FieldText& x, const FieldText& y,
                              const FieldText& size)
{
    return FrameBuilder(head).add(pairOfField(x)).add(pairOfField(y)).add(pairOfField(size)).result();
}

FrameResult stringFrame(const QString& head, const FieldText& x, const FieldText& y,
                        const FieldText& text, int limit)
{
    // The characters come from the text in capitals, without its surrounding
    // blanks, so that leading blanks never push a visible character out of
    // the frame.
    const QString upper = latin1Upper(text.text);
    const QStringView trimmed = trimmedOfBlanks(upper);
    const QStringView sent = trimmed.first(std::min<qsizetype>(trimmed.size(), std::max(limit, 0)));

    FrameBuilder frame(head);
    frame.add(upperPairOfField(x)).add(upperPairOfField(y));
    if (!isLatin1(sent)) // name the whole character, even a surrogate pair
        return frame
            .add(FrameResult::refused(Refusal::NotSingleByte, text.named(),
                                      offendingCharacter(upper)))
            .result();
    for (const QChar c : sent)
        frame.rawItem(QStringView(&c, 1), text.named());
    return frame.text(u"]@", text.named()).result();
}

FrameResult axisFrame(const QString& head, const FieldText& start, const FieldText& length,
                      const FieldText& across, const QString& tick)
{
    return FrameBuilder(head)
        .add(pairOfField(start))
        .add(pairOfSum(start, length))
        .add(pairOfField(across))
        .rawItem(tick, tickLabel)
        .result();
}

FrameBuilder fourCorners(const QString& head, const FieldText& x1, const FieldText& x2,
                         const FieldText& y1, const FieldText& y2)
{
    FrameBuilder frame(head);
    frame.add(pairOfField(x1)).add(pairOfField(x2)).add(pairOfField(y1)).add(pairOfField(y2));
    return frame;
}

} // namespace

QString FieldText::named() const
{
    return page.isEmpty() ? label : QStringLiteral("%1 on \"%2\"").arg(label, page);
}

QString quoted(QStringView entry)
{
    qsizetype kept = entry.size();
    if (kept > kQuotedLength) {
        kept = kQuotedLength - 1;
        // Never half a character outside the Basic Multilingual Plane.
        if (entry[kept - 1].isHighSurrogate())
            --kept;
    }
    QString shown;
    shown.reserve(kept + 3);
    shown += u'"';
    for (const QChar c : entry.first(kept))
        shown += controlPicture(c);
    if (kept < entry.size())
        shown += u'\u2026';
    shown += u'"';
    return shown;
}

QString FrameResult::message() const
{
    switch (refusal) {
    case Refusal::None:
        return QString();
    case Refusal::NotANumber:
        if (detail.trimmed().isEmpty())
            return QStringLiteral("%1 is empty; it must hold one number.").arg(field);
        return QStringLiteral("%1 must hold one number, not %2.").arg(field, quoted(detail));
    case Refusal::Negative:
        return QStringLiteral("%1 must give a number of 0 or more, not %2.").arg(field, quoted(detail));
    case Refusal::TooLarge:
        return QStringLiteral("%1 gives a number too large to send: %2.").arg(field, quoted(detail));
    case Refusal::NotSingleByte:
        return QStringLiteral("%1 holds the character %2, which cannot be sent to the board.")
            .arg(field, quoted(detail));
    case Refusal::NoCharacter:
        return QStringLiteral("%1 is empty; it must hold one character.").arg(field);
    }
    return QString();
}

FrameResult FrameResult::success(QString frame)
{
    FrameResult result;
    result.frame = std::move(frame);
    return result;
}

FrameResult FrameResult::refused(Refusal why, QString field, QString detail)
{
    FrameResult result;
    result.refusal = why;
    result.field = std::move(field);
    result.detail = std::move(detail);
    return result;
}

FrameResult pairOfField(const FieldText& field)
{
    return encodeField(field, hexPair);
}

FrameResult upperPairOfField(const FieldText& field)
{
    return encodeField(field, upperHexPair);
}

FrameResult pairOfNumber(double value, const QString& label)
{
    return encodeNumber(value, label, decimalText(value), hexPair);
}

FrameResult wordOfField(const FieldText& field)
{
    // Unlike a pair, a word has a form for negatives (an end address of -1).
    const auto number = textNumber(field.text);
    if (!number)
        return FrameResult::refused(Refusal::NotANumber, field.named(), field.text);
    const auto rounded = roundHalfEven(*number);
    const auto word = rounded ? hexWord(*rounded) : std::nullopt;
    if (!word)
        return FrameResult::refused(Refusal::TooLarge, field.named(), field.text);
    return FrameResult::success(*word);
}

FrameResult wordOfNumber(std::int64_t value, const QString& label)
{
    const auto word = hexWord(value);
    if (!word)
        return FrameResult::refused(Refusal::TooLarge, label, QString::number(value));
    return FrameResult::success(*word);
}

FrameResult clearDisplayFrame()
{
    return FrameResult::success(QStringLiteral("]k"));
}

FrameResult circleFrame(const FieldText& x, const FieldText& y, const FieldText& r)
{
    return threePairFrame(QStringLiteral("]c]"), x, y, r);
}

FrameResult squareFrame(const FieldText& x, const FieldText& y, const FieldText& r)
{
    return threePairFrame(QStringLiteral("]s]"), x, y, r);
}

FrameResult diamondFrame(const FieldText& x, const FieldText& y, const FieldText& r)
{
    return threePairFrame(QStringLiteral("]q]"), x, y, r);
}

FrameResult star4Frame(const FieldText& x, const FieldText& y, const FieldText& r)
{
    return threePairFrame(QStringLiteral("]t]"), x, y, r);
}

FrameResult rectangleFrame(const FieldText& x1, const FieldText& x2, const FieldText& y1,
                           const FieldText& y2, const FieldText& step)
{
    FrameBuilder frame = fourCorners(QStringLiteral("]r]"), x1, x2, y1, y2);
    const double stepValue = leadingNumber(step.text);
    // "1e999" reads as infinity, which has no decimal digits to send.
    if (!std::isfinite(stepValue))
        frame.add(FrameResult::refused(stepValue < 0 ? Refusal::Negative : Refusal::TooLarge,
                                       step.named(), step.text));
    return frame.rawItem(decimalText(stepValue), step.named()).result();
}

FrameResult lineFrame(const FieldText& x1, const FieldText& x2, const FieldText& y1,
                      const FieldText& y2)
{
    return fourCorners(QStringLiteral("]l]"), x1, x2, y1, y2).result();
}

FrameResult barFrame(const FieldText& x, const FieldText& y, const FieldText& width,
                     const FieldText& height, bool vertical, const QString& step)
{
    // The height field is the bar's extent along its direction: across x
    // when the bar lies horizontally, down y when it stands.
    const FieldText& alongX = vertical ? width : height;
    const FieldText& alongY = vertical ? height : width;
    return FrameBuilder(QStringLiteral("]b]"))
        .add(pairOfField(x))
        .add(pairOfSum(x, alongX))
        .add(pairOfField(y))
        .add(pairOfSum(y, alongY))
        .rawItem(step, stepLabel)
        .result();
}

FrameResult fillFrame(const QString& step)
{
    return FrameBuilder(QStringLiteral("]f]")).text(step, stepLabel).result();
}

FrameResult dotFrame(const FieldText& x, const FieldText& y)
{
    return FrameBuilder(QStringLiteral("]d]")).add(pairOfField(x)).add(pairOfField(y)).result();
}

FrameResult dotFrameAt(double x, double y, const QString& xLabel, const QString& yLabel)
{
    return FrameBuilder(QStringLiteral("]d]"))
        .add(pairOfNumber(x, xLabel))
        .add(pairOfNumber(y, yLabel))
        .result();
}

FrameResult toggleDotFrame(const FieldText& x, const FieldText& y)
{
    return FrameBuilder(QStringLiteral("]e]")).add(pairOfField(x)).add(pairOfField(y)).result();
}

FrameResult putByteFrame(const FieldText& x, const FieldText& y, const FieldText& value)
{
    return threePairFrame(QStringLiteral("]u]"), x, y, value);
}

FrameResult putCharFrame(const FieldText& x, const FieldText& y, const FieldText& character)
{
    FrameResult frame = FrameBuilder(QStringLiteral("]p]"))
                            .add(pairOfField(x))
                            .add(pairOfField(y))
                            .rawItem(latin1Upper(character.text), character.named())
                            .result();
    // Without its character the board would take the next frame's first
    // byte for it.
    if (frame.ok() && character.text.isEmpty())
        return FrameResult::refused(Refusal::NoCharacter, character.named(), QString());
    // A blank is a character the board draws (an empty cell), and without
    // it the board would take the next frame's "]" for the character.
    frame.whole = frame.ok();
    return frame;
}

FrameResult horizontalStringFrame(const FieldText& x, const FieldText& y, const FieldText& text,
                                  int limit)
{
    return stringFrame(QStringLiteral("]h]"), x, y, text, limit);
}

FrameResult verticalStringFrame(const FieldText& x, const FieldText& y, const FieldText& text,
                                int limit)
{
    return stringFrame(QStringLiteral("]v]"), x, y, text, limit);
}

FrameResult xAxisFrame(const FieldText& x, const FieldText& y, const FieldText& length,
                       const QString& tick)
{
    return axisFrame(QStringLiteral("]x]"), x, length, y, tick);
}

FrameResult yAxisFrame(const FieldText& x, const FieldText& y, const FieldText& length,
                       const QString& tick)
{
    return axisFrame(QStringLiteral("]y]"), y, length, x, tick);
}

FrameResult eepromReadFrame(bool external, const FieldText& start, const FieldText& end)
{
    return FrameBuilder(external ? QStringLiteral("]a]") : QStringLiteral("]g]"))
        .add(wordOfField(start))
        .add(wordOfField(end))
        .result();
}

FrameResult eepromWriteFrame(bool external, const FieldText& start, std::int32_t endAddress,
                             const FieldText& data)
{
    return FrameBuilder(external ? QStringLiteral("]o]") : QStringLiteral("]w]"))
        .add(wordOfField(start))
        .add(wordOfNumber(endAddress, QStringLiteral("End Address")))
        .text(data.text, data.named())
        .result();
}

FrameResult lcdWriteFrame(const FieldText& x1, const FieldText& x2, const FieldText& y1,
                          const FieldText& y2, const FieldText& data)
{
    return fourCorners(QStringLiteral("]m]"), x1, x2, y1, y2).text(data.text, data.named()).result();
}

FrameResult lcdReadFrame(const FieldText& x1, const FieldText& x2, const FieldText& y1,
                         const FieldText& y2)
{
    return fourCorners(QStringLiteral("]n]"), x1, x2, y1, y2).result();
}

} // namespace varnix::protocol
