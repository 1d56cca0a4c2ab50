// SPDX-License-Identifier: GPL-3.0-or-later
// The script reader on any file: it takes the file or refuses it with a
// line and a short reason, what it takes can be sent, and each frame it
// takes, written back as a recording writes it, reads back the same.
#include "check.h"

#include "link/core/transmitter.h"
#include "script/script.h"

#include <cstdint>
#include <variant>

using namespace varnix;

namespace {

// Longer than any reason with its quoted text cut short.
constexpr qsizetype kLongestReason = 200;

void requireReadsBack(const QString& frame)
{
    const auto again = script::readScript(script::sendLine(frame).toUtf8());
    const auto* read = std::get_if<script::Script>(&again);
    FUZZ_REQUIRE(read && read->steps.size() == 1);
    FUZZ_REQUIRE(read->steps.front().text == frame);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto result = script::readScript(QByteArrayView(data, qsizetype(size)));
    if (const auto* error = std::get_if<script::ReadError>(&result)) {
        FUZZ_REQUIRE(error->line >= 1);
        FUZZ_REQUIRE(!error->reason.isEmpty() && error->reason.size() <= kLongestReason);
        return 0;
    }
    const script::Script& read = std::get<script::Script>(result);
    int line = 0;
    for (const script::Step& step : read.steps) {
        FUZZ_REQUIRE(step.line > line);
        line = step.line;
        switch (step.kind) {
        case script::Step::Kind::Send:
            FUZZ_REQUIRE(!step.text.isEmpty() && step.text.size() <= link::kMaxFrameLength);
            for (const QChar c : step.text)
                FUZZ_REQUIRE(c.unicode() <= 0xff);
            requireReadsBack(step.text);
            break;
        case script::Step::Kind::Delay:
            FUZZ_REQUIRE(step.milliseconds >= 0 && step.milliseconds <= script::kLongestDelayMs);
            break;
        case script::Step::Kind::Wait:
        case script::Step::Kind::Expect:
            FUZZ_REQUIRE(step.milliseconds >= 0 && step.milliseconds <= script::kLongestWaitMs);
            break;
        case script::Step::Kind::Ready:
            break;
        case script::Step::Kind::Screen: {
            // The picture's name as written, which a screen line gives back.
            FUZZ_REQUIRE(!step.text.isEmpty());
            const auto again = script::readScript(script::screenLine(step.text).toUtf8());
            const auto* back = std::get_if<script::Script>(&again);
            FUZZ_REQUIRE(back && back->steps.size() == 1 && back->steps.front().text == step.text);
            break;
        }
        }
    }
    FUZZ_REQUIRE(script::lineMilliseconds(read, QChar(u']'), script::kLongestDelayMs, 9600) >= 0);
    return 0;
}
