// SPDX-License-Identifier: GPL-3.0-or-later
// The client's Telnet and RFC 2217 reader, fed what a server may send: the
// same bytes give the same data, answers and COM port messages however the
// network cuts them into reads; no more data comes out than went in; and
// data escaped for the line comes back from a reader as it was.
#include "check.h"

#include "link/core/telnet.h"

#include <cstdint>

using namespace varnix::link;

namespace {

bool sameMessages(const QList<TelnetParser::ComPortMessage>& a, const QList<TelnetParser::ComPortMessage>& b)
{
    return a == b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses the size of the reads and whether the client
    // asks for the COM Port Control option.
    const qsizetype piece = 1 + data[0] % 13;
    const bool comPort = data[0] & 0x80;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    TelnetParser whole;
    whole.start(comPort);
    const TelnetParser::Output all = whole.feed(bytes);
    FUZZ_REQUIRE(all.data.size() <= bytes.size());
    // Each command is answered at most once, in at most three bytes.
    FUZZ_REQUIRE(all.reply.size() <= 3 * bytes.size());

    TelnetParser cut;
    cut.start(comPort);
    TelnetParser::Output pieces;
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        const TelnetParser::Output out = cut.feed(bytes.sliced(at, std::min(piece, bytes.size() - at)));
        pieces.data += out.data;
        pieces.reply += out.reply;
        pieces.comPort += out.comPort;
    }
    FUZZ_REQUIRE(pieces.data == all.data);
    FUZZ_REQUIRE(pieces.reply == all.reply);
    FUZZ_REQUIRE(sameMessages(pieces.comPort, all.comPort));
    FUZZ_REQUIRE(whole.comPortAgreed() == cut.comPortAgreed());

    // Data the client sends, escaped, is read back unchanged by a reader in
    // the same mode.
    TelnetParser writer;
    writer.start(comPort);
    TelnetParser reader;
    reader.start(comPort);
    const TelnetParser::Output back = reader.feed(writer.encode(bytes));
    FUZZ_REQUIRE(back.data == bytes);
    return 0;
}
