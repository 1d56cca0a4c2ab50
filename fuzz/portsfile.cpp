// SPDX-License-Identifier: GPL-3.0-or-later
// The ports file reader on any file: it takes the file or refuses it with a
// line and a reason, and what it takes is boards that can be opened as they
// are written: a name that makes a file name, a device path or a network
// address, line settings that read, and no name or address twice.
#include "check.h"

#include "fleet/portsfile.h"
#include "link/core/linesettings.h"
#include "link/core/networkaddress.h"

#include <QSet>

#include <cstdint>
#include <variant>

using namespace varnix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fleet::Boards result = fleet::readPorts(QByteArrayView(data, qsizetype(size)));
    if (const auto* error = std::get_if<script::ReadError>(&result)) {
        FUZZ_REQUIRE(error->line >= 0 && !error->reason.isEmpty());
        return 0;
    }
    const auto& boards = std::get<QList<fleet::Board>>(result);
    FUZZ_REQUIRE(!boards.isEmpty());
    QSet<QString> names;
    QSet<QString> addresses;
    int line = 0;
    for (const fleet::Board& board : boards) {
        FUZZ_REQUIRE(board.line > line);
        line = board.line;
        FUZZ_REQUIRE(!board.name.isEmpty() && board.name.size() <= 64 && !board.name.startsWith(u'.'));
        for (const QChar c : board.name)
            FUZZ_REQUIRE((c.unicode() < 128 && c.isLetterOrNumber()) || c == u'.' || c == u'-' || c == u'_');
        if (link::isNetworkAddress(board.address))
            FUZZ_REQUIRE(std::holds_alternative<link::NetworkAddress>(link::parseNetworkAddress(board.address)));
        else
            FUZZ_REQUIRE(board.address.startsWith(u'/'));
        FUZZ_REQUIRE(link::LineSettings::parse(board.settings).has_value());
        FUZZ_REQUIRE(!names.contains(board.name) && !addresses.contains(board.address));
        names.insert(board.name);
        addresses.insert(board.address);
    }
    return 0;
}
