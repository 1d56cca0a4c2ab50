// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/portsfile.h"

#include "link/core/linesettings.h"
#include "link/core/networkaddress.h"
#include "link/core/portswitch.h"
#include "protocol/frames.h"
#include "script/escapes.h"

#include <QFile>
#include <QHash>
#include <QHostInfo>

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
    // The boards of the files read before, whose names are taken too.
    QList<Board> earlier;
    QList<Board> boards;
    QString file;

private:
    // The board that already has this name or address, if one does.
    const Board* taken(const QString& name, const QString& address) const
    {
        for (const QList<Board>* list : {&earlier, &boards}) {
            for (const Board& board : *list) {
                if (board.name == name || board.address == address)
                    return &board;
            }
        }
        return nullptr;
    }
};

// " in rack.ports" for a board of another file than `file`.
QString elsewhere(const Board& board, const QString& file)
{
    return board.file == file || board.file.isEmpty() ? QString() : QStringLiteral(" in ") + board.file;
}

// The names a board is reached by: its device's real path, or its host, in
// lower case and as each of its addresses, with its port.
QStringList keysOf(const Board& board, const Resolver& resolve)
{
    const QString key = link::boardKey(board.address);
    if (!link::isNetworkAddress(board.address))
        return {key};
    QStringList keys{key};
    const auto parsed = link::parseNetworkAddress(board.address);
    if (const auto* address = std::get_if<link::NetworkAddress>(&parsed)) {
        for (const QString& ip : resolve(address->host))
            keys << QStringLiteral("%1:%2").arg(ip.toLower()).arg(address->port);
    }
    return keys;
}

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
    board.file = file;
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
                               QString::number(other->line))
                      + elsewhere(*other, file));
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

namespace {

// The boards of one file, after those of the files before it.
Boards readOne(QByteArrayView utf8, const QString& path, const QList<Board>& earlier)
{
    Reader reader;
    reader.earlier = earlier;
    reader.file = path;
    const auto line = [&reader](int number, const QString& text) { return reader.line(number, text); };
    if (auto error = script::readLines(utf8, line))
        return *error;
    if (reader.boards.isEmpty())
        return script::ReadError{0, QStringLiteral("no boards in it")};
    return reader.boards;
}

Boards readFile(const QString& path, const QList<Board>& earlier)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return script::ReadError{0, QStringLiteral("cannot open it: %1").arg(file.errorString())};
    return readOne(file.readAll(), path, earlier);
}

} // namespace

Boards readPorts(QByteArrayView utf8)
{
    return readOne(utf8, {}, {});
}

Boards readPortsFile(const QString& path)
{
    return readFile(path, {});
}

BoardsRead readPortsFiles(const QStringList& paths, const Resolver& resolve)
{
    QList<Board> boards;
    for (const QString& path : paths) {
        const Boards read = readFile(path, boards);
        if (const auto* error = std::get_if<script::ReadError>(&read))
            return PortsError{path, *error};
        boards += std::get<QList<Board>>(read);
    }
    if (auto twice = sameBoardTwice(boards, resolve))
        return *twice;
    return boards;
}

QString PortsError::describe() const
{
    return file.isEmpty() ? error.describe() : file + QStringLiteral(": ") + error.describe();
}

QStringList resolveHost(const QString& host)
{
    QStringList addresses;
    for (const QHostAddress& address : QHostInfo::fromName(host).addresses())
        addresses << address.toString();
    return addresses;
}

std::optional<PortsError> sameBoardTwice(const QList<Board>& boards, const Resolver& resolve)
{
    // Each host is looked up once, however many boards it serves.
    QHash<QString, QStringList> resolved;
    const Resolver once = [&](const QString& host) {
        const QString name = host.toLower();
        if (!resolved.contains(name))
            resolved.insert(name, resolve(host));
        return resolved.value(name);
    };
    QList<QStringList> keys;
    for (const Board& board : boards) {
        const QStringList mine = keysOf(board, once);
        for (qsizetype i = 0; i < keys.size(); ++i) {
            if (std::none_of(mine.begin(), mine.end(), [&](const QString& key) { return keys[i].contains(key); }))
                continue;
            const Board& first = boards[i];
            if (board.file.isEmpty() && first.file.isEmpty())
                return PortsError{{}, {0, QStringLiteral("--port %1 and --port %2 are the same board")
                                                .arg(first.address, board.address)}};
            return PortsError{board.file,
                              {board.line, QStringLiteral("%1 is the same board as line %2's %3%4")
                                               .arg(quoted(board.address), QString::number(first.line),
                                                    quoted(first.address), elsewhere(first, board.file))}};
        }
        keys << mine;
    }
    return std::nullopt;
}

BoardsRead boardsFromPorts(const QStringList& addresses)
{
    QList<Board> boards;
    for (const QString& address : addresses) {
        for (const Board& board : boards) {
            if (board.address == address)
                return PortsError{{}, {0, QStringLiteral("--port %1 is given twice").arg(address)}};
        }
        Board board;
        board.name = board.address = address;
        boards.append(board);
    }
    if (auto twice = sameBoardTwice(boards))
        return *twice;
    return boards;
}

} // namespace varnix::fleet
