// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/portsfile.h"

#include "link/core/linesettings.h"
#include "link/core/networkaddress.h"
#include "protocol/frames.h"
#include "script/escapes.h"

#include <QFile>

#include <algorithm>

namespace varnix::fleet {

namespace {

constexpr qsizetype kLongestName = 64;

QString quoted(QStringView text)
{
    return protocol::quoted(script::escaped(text));
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r';
}

// The line's words, up to a "#" that begins one.
QStringList words(QStringView line)
{
    QStringList out;
    qsizetype at = 0;
    while (at < line.size()) {
        while (at < line.size() && isBlank(line[at]))
            ++at;
        if (at == line.size() || line[at] == u'#')
            break;
        const qsizetype begin = at;
        while (at < line.size() && !isBlank(line[at]))
            ++at;
        out << line.sliced(begin, at - begin).toString();
    }
    return out;
}

bool isName(const QString& name)
{
    return name.size() <= kLongestName && !name.startsWith(u'.')
        && std::all_of(name.begin(), name.end(), isNameCharacter);
}

class Reader
{
public:
    std::optional<script::ReadError> line(int number, const QString& text);
    QList<Board> boards;

private:
    // The board that already has this name or address, if one does.
    const Board* taken(const QString& name, const QString& address) const
    {
        for (const Board& board : boards) {
            if (board.name == name || board.address == address)
                return &board;
        }
        return nullptr;
    }
};

std::optional<script::ReadError> Reader::line(int number, const QString& text)
{
    const QStringList fields = words(text);
    if (fields.isEmpty())
        return std::nullopt;
    const auto refuse = [number](const QString& why) { return script::ReadError{number, why}; };
    if (fields.size() > 3)
        return refuse(QStringLiteral("a board is a name, an address and line settings; %1 is one word too many")
                          .arg(quoted(fields[3])));
    Board board;
    board.name = fields[0];
    board.line = number;
    if (!isName(board.name))
        return refuse(QStringLiteral("%1 is not a board's name: use at most %2 letters, digits, \".\", \"-\" and "
                                     "\"_\", not beginning with \".\"")
                          .arg(quoted(board.name), QString::number(kLongestName)));
    if (fields.size() < 2)
        return refuse(QStringLiteral("%1 needs its address after its name").arg(quoted(board.name)));
    board.address = fields[1];
    bool raw = false;
    if (link::isNetworkAddress(board.address)) {
        const auto address = link::parseNetworkAddress(board.address);
        if (const auto* error = std::get_if<link::AddressError>(&address))
            return refuse(error->text);
        raw = std::get<link::NetworkAddress>(address).kind == link::NetworkAddress::Kind::Tcp;
    } else if (!board.address.startsWith(u'/')) {
        return refuse(QStringLiteral("%1 is neither a device (/dev/ttyUSB0) nor a network address (%2)")
                          .arg(quoted(board.address), QLatin1String(link::kAddressForms)));
    }
    if (fields.size() == 3) {
        if (raw)
            return refuse(QStringLiteral("a tcp:// board has the server's line settings; give them to an "
                                         "rfc2217:// address or a device"));
        if (!link::LineSettings::parse(fields[2]))
            return refuse(QStringLiteral("%1 are not line settings such as %2")
                              .arg(quoted(fields[2]), QLatin1String(kLineSettings)));
        board.settings = fields[2];
    }
    if (const Board* other = taken(board.name, board.address)) {
        return refuse(QString::fromLatin1(other->name == board.name ? "the name %1 is line %2's already"
                                                                    : "%1 is line %2's board already")
                          .arg(quoted(other->name == board.name ? board.name : board.address),
                               QString::number(other->line)));
    }
    boards.append(board);
    return std::nullopt;
}

} // namespace

bool isNameCharacter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'.' || c == u'-'
        || c == u'_';
}

Boards readPorts(QByteArrayView utf8)
{
    Reader reader;
    const auto line = [&reader](int number, const QString& text) { return reader.line(number, text); };
    if (auto error = script::readLines(utf8, line))
        return *error;
    if (reader.boards.isEmpty())
        return script::ReadError{0, QStringLiteral("no boards in it")};
    return reader.boards;
}

Boards readPortsFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return script::ReadError{0, QStringLiteral("cannot open it: %1").arg(file.errorString())};
    return readPorts(file.readAll());
}

Boards boardsFromPorts(const QStringList& addresses)
{
    QList<Board> boards;
    for (const QString& address : addresses) {
        for (const Board& board : boards) {
            if (board.address == address)
                return script::ReadError{0, QStringLiteral("--port %1 is given twice").arg(address)};
        }
        boards.append(Board{address, address});
    }
    return boards;
}

} // namespace varnix::fleet
