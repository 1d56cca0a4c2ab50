// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/transferkit.h"

#include "link/core/transmitter.h"
#include "protocol/encodings.h"
#include "protocol/frames.h"
#include "transfer/blocktext.h"
#include "widgets/fields.h"
#include "widgets/pagehost.h"

#include <limits>

namespace varnix::transfer {

namespace {
constexpr std::int64_t kLargestWord = std::numeric_limits<std::int32_t>::max();
} // namespace

std::optional<std::int64_t> wholeField(PageHost& host, const protocol::FieldText& field)
{
    const auto number = wholeNumber(field.text);
    if (!number) {
        if (protocol::trimmedOfBlanks(field.text).isEmpty())
            host.message(QStringLiteral("%1 is empty; it must hold one whole number.").arg(field.named()));
        else
            host.message(QStringLiteral("%1 must hold one whole number, not %2.")
                             .arg(field.named(), protocol::quoted(field.text)));
        return std::nullopt;
    }
    if (*number < 0 || *number > kLargestWord) {
        const auto why = *number < 0 ? protocol::Refusal::Negative : protocol::Refusal::TooLarge;
        host.message(protocol::FrameResult::refused(why, field.named(), field.text).message());
        return std::nullopt;
    }
    return number;
}

void rewriteInFourDigits(LineField* field)
{
    if (const auto number = wholeNumber(field->exactText()))
        field->setExactText(protocol::fourDigitDecimal(*number));
}

bool blockInOrder(PageHost& host, std::int64_t start, std::int64_t end)
{
    if (end >= start)
        return true;
    host.message(QStringLiteral("The end address %1 lies below the start address %2: nothing was sent.")
                     .arg(protocol::fourDigitDecimal(end), protocol::fourDigitDecimal(start)));
    return false;
}

bool cornersInOrder(PageHost& host, const std::array<std::int64_t, 4>& corners)
{
    const auto [x1, x2, y1, y2] = corners;
    if (x1 <= x2 && y1 <= y2)
        return true;
    host.message(QStringLiteral("Entry Error! Check X1,Y1 and X2,Y2 values"));
    return false;
}

std::optional<QStringView> pairedText(PageHost& host, const QString& areaText)
{
    const QStringView trimmed = protocol::trimmedOfBlanks(areaText);
    if (trimmed.size() % 2 != 0) {
        host.message(QStringLiteral("Hex characters must be in pairs -- recheck entries"));
        return std::nullopt;
    }
    for (qsizetype i = 0; i < trimmed.size(); i += 2) {
        if (protocol::hexDigitValue(trimmed[i].unicode()) >= 0 && protocol::hexDigitValue(trimmed[i + 1].unicode()) >= 0)
            continue;
        // Its place as a person counts it in the area, blanks before it included;
        // a line break is never a hex digit, so it always lies on the first line.
        const qsizetype first = trimmed.data() - areaText.constData() + i + 1;
        host.message(QStringLiteral("Pair %1 (%2, characters %3 and %4) is not two hex digits -- recheck entries")
                         .arg(QString::number(i / 2 + 1), protocol::quoted(trimmed.sliced(i, 2)),
                              QString::number(first), QString::number(first + 1)));
        return std::nullopt;
    }
    return trimmed;
}

void pasteInto(PageHost& host, TextArea* area, const std::function<void()>& done)
{
    area->setExactText(host.clipboardText());
    if (done)
        done();
    if (area->exactText().isEmpty())
        host.message(QStringLiteral("Nothing to paste!"));
}

bool sendBlock(PageHost& host, const protocol::FrameResult& frame)
{
    if (frame.ok()) {
        const qsizetype length = link::withoutTrailingBlanks(frame.frame).size();
        if (length > link::kMaxFrameLength) {
            host.message(QStringLiteral("The frame would be %1 characters long, but at most %2 go out in one "
                                        "frame: write the block in smaller parts. Nothing was sent.")
                             .arg(length)
                             .arg(link::kMaxFrameLength));
            return false;
        }
    }
    return host.sendFrame(frame);
}

ReplyCapture::ReplyCapture(PageHost& host, TextArea* target, QObject* parent)
    : QObject(parent), m_host(host), m_target(target)
{
    connect(m_target, &TextArea::changed, this, [this] {
        if (!m_putting)
            m_ours = false;
    });
}

void ReplyCapture::request(const protocol::FrameResult& frame)
{
    if (!frame.ok()) {
        m_host.message(frame.message());
        return;
    }
    put(QString::fromLatin1(kPrompt));
    m_host.clearReceived();
    m_host.sendFrame(frame);
}

void ReplyCapture::capture()
{
    if (m_ours || m_target->exactText().isEmpty())
        put(capturedReply(m_host.receivedText()));
}

void ReplyCapture::put(const QString& text)
{
    m_putting = true;
    m_target->setExactText(text);
    m_putting = false;
    m_ours = true;
}

} // namespace varnix::transfer
