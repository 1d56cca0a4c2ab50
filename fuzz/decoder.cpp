// SPDX-License-Identifier: GPL-3.0-or-later
// The line monitor's decoder fed any bytes, some from the host and some from
// the board, in parts and with pauses as the first byte says. Every host
// byte must land in exactly one event, in order; every frame begins with
// "]"; the firmware's account of where frames begin and end must fit the
// bytes; and the verdicts and the display must be those of the firmware fed
// the same bytes at the same times on its own.
#include "check.h"

#include "monitor/core/decoder.h"

#include <algorithm>
#include <cstdint>

using namespace varnix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // Low four bits: the bytes a part takes; the next bit: a pause between
    // parts long enough to be the line's silence; the next: every third
    // part comes from the board.
    const int chunk = (data[0] & 0x0f) + 1;
    const bool pauses = data[0] & 0x10;
    const bool answers = data[0] & 0x20;
    const QByteArrayView bytes(data + 1, qsizetype(size - 1));

    QByteArray shown;
    qint64 taken = 0, refused = 0, lastNumber = 0;
    monitor::Decoder decoder([&](const monitor::Event& event) {
        FUZZ_REQUIRE(event.number == lastNumber + 1);
        lastNumber = event.number;
        FUZZ_REQUIRE(event.bytes.size() <= event.size && event.first <= event.last);
        if (event.direction() == monitor::Direction::Host) {
            FUZZ_REQUIRE(event.size == event.bytes.size() && event.offset == shown.size());
            shown += event.bytes;
        }
        if (event.isFrame())
            FUZZ_REQUIRE(event.bytes.startsWith(']'));
        taken += event.kind == monitor::Event::Kind::Taken;
        refused += event.kind == monitor::Event::Kind::Refused;
    });
    board::Firmware alone;
    QByteArray sent;
    qint64 at = 0, hostAt = -1;
    int part = 0;
    for (qsizetype from = 0; from < bytes.size(); from += chunk, ++part) {
        const QByteArrayView piece = bytes.sliced(from, std::min<qsizetype>(chunk, bytes.size() - from));
        at += pauses ? board::Firmware::kSilenceMs + 1 : 1;
        if (answers && part % 3 == 2) {
            decoder.fromBoard(piece, at);
            continue;
        }
        if (hostAt >= 0 && at - hostAt >= board::Firmware::kSilenceMs)
            alone.silence();
        decoder.fromHost(piece, at);
        alone.feed(piece);
        sent += piece;
        hostAt = at;
    }
    decoder.finish(at + 1);
    alone.silence();

    FUZZ_REQUIRE(decoder.misfits() == 0);
    FUZZ_REQUIRE(shown == sent);
    FUZZ_REQUIRE(taken == alone.commandsDone() && refused == alone.errors());
    FUZZ_REQUIRE(decoder.firmware().display() == alone.display());
    return 0;
}
