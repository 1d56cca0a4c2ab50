// SPDX-License-Identifier: GPL-3.0-or-later
// A block's text as the board answers a read, and the whole numbers of the
// memory pages: the hex pairs give exactly the bytes asked for or nothing,
// and the bytes written back as pairs read the same; a captured reply is
// the received text or its start.
#include "check.h"

#include "protocol/encodings.h"
#include "protocol/numbers.h"
#include "transfer/blocktext.h"

#include <cmath>
#include <cstdint>

using namespace varnix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    // The first two bytes: how many bytes the block holds, any count a
    // person's corners can ask for.
    const qsizetype count = qsizetype(data[0]) << 8 | data[1];
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));

    if (const auto bytes = protocol::pairBytes(text, count)) {
        FUZZ_REQUIRE(bytes->size() == count);
        const QString spaced = QString::fromLatin1(bytes->toHex(' '));
        FUZZ_REQUIRE(protocol::pairBytes(spaced, count) == bytes);
        FUZZ_REQUIRE(protocol::pairBytes(spaced.toUpper(), count) == bytes);
    }

    const QString reply = transfer::capturedReply(text);
    FUZZ_REQUIRE(text.startsWith(reply));

    if (const auto number = transfer::wholeNumber(text)) {
        FUZZ_REQUIRE(std::fabs(double(*number)) <= 9007199254740992.0); // 2^53
        FUZZ_REQUIRE(protocol::textNumber(text) == double(*number));
    }
    return 0;
}
