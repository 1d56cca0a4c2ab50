// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual board's firmware fed any bytes, split between reads and
// pauses as the first byte says: it must not crash, its memories keep their
// sizes, and once its line has gone quiet "]k" is answered with the prompt
// and clears the display, whatever came before.
#include "check.h"

#include "board/firmware.h"

#include <algorithm>
#include <cstdint>

using namespace varnix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // Low four bits: the bytes a read takes; the next bit: whether the line
    // goes quiet between reads.
    const int chunk = (data[0] & 0x0f) + 1;
    const bool quietBetween = data[0] & 0x10;
    const QByteArrayView bytes(data + 1, qsizetype(size - 1));

    board::Firmware firmware;
    qsizetype answered = 0;
    for (qsizetype at = 0; at < bytes.size(); at += chunk) {
        answered += firmware.feed(bytes.sliced(at, std::min<qsizetype>(chunk, bytes.size() - at))).size();
        if (quietBetween)
            answered += firmware.silence().size();
    }
    answered += firmware.silence().size();
    FUZZ_REQUIRE(firmware.internalEeprom().size() == board::Firmware::internalEepromSize);
    FUZZ_REQUIRE(firmware.externalEeprom().size() == board::Firmware::externalEepromSize);
    // No byte is answered with more than the longest answer, a read of the
    // whole external EEPROM in hex.
    FUZZ_REQUIRE(answered <= (bytes.size() + 1) * 2 * board::Firmware::externalEepromSize);

    // A string waiting for its next character takes the "]" for it, and
    // the "k" then cuts the string short: the answer is an error and the
    // prompt. The next "]k" finds the board between frames.
    FUZZ_REQUIRE(QByteArray(firmware.feed("]k") + firmware.silence()).endsWith(board::Firmware::prompt));
    FUZZ_REQUIRE(firmware.feed("]k") + firmware.silence() == board::Firmware::prompt);
    FUZZ_REQUIRE(firmware.display() == board::Display());
    return 0;
}
