// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "script/script.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <variant>

namespace varnix::fleet {

// The line settings a board is opened with unless it names its own.
inline constexpr char kLineSettings[] = "19200,n,8,1";

// One board of a fleet: what the report calls it and where it is reached.
struct Board {
    QString name;
    // A device path or a network address (rfc2217://HOST:PORT, tcp://HOST:PORT).
    QString address;
    QString settings = QString::fromLatin1(kLineSettings);
    // Its line in the ports file; 0 for one given by --port.
    int line = 0;
    // The ports file it came from; empty for one given by --port.
    QString file = {};
};

using Boards = std::variant<QList<Board>, script::ReadError>;

// Why boards cannot be taken: the ports file (empty for --port values) and
// the line there.
struct PortsError {
    QString file = {};
    script::ReadError error;
    // "rack.ports: line 4: ...", or the error alone without a file.
    QString describe() const;
};
using BoardsRead = std::variant<QList<Board>, PortsError>;

// A ports file holds one board a line: its name, its address and, when it
// is not reached through a raw tcp:// port, optionally its own line
// settings, separated by blanks:
//
//   # rack 3, behind ser2net on lab-rack
//   rack3-01   rfc2217://lab-rack:3001
//   rack3-02   rfc2217://lab-rack:3002   9600,n,8,1
//   bench      /dev/ttyUSB0
//
// "#" begins a comment, on a line of its own or after a blank. A name is
// letters, digits, ".", "-" and "_" (it names the board's session log
// file); names and boards are each given once. The first line that is
// not a board refuses the whole file, as does a file without a board.
Boards readPorts(QByteArrayView utf8);
Boards readPortsFile(const QString& path);
// The addresses a host name stands for ("127.0.0.1", "::1"), as text.
using Resolver = std::function<QStringList(const QString& host)>;
// The system's resolver: every address of the name, none when it has none.
QStringList resolveHost(const QString& host);

// The boards of every file, in order, each name given once among them all,
// and no board reached twice (sameBoardTwice).
BoardsRead readPortsFiles(const QStringList& paths, const Resolver& resolve = resolveHost);
// The first board that reaches a board an earlier one reaches, however the
// two are written: a device and a link to it, a host by two names (or in
// two cases) with the same port, tcp:// and rfc2217:// to one port. Its
// refusal names both lines; nothing when every board is another.
std::optional<PortsError> sameBoardTwice(const QList<Board>& boards, const Resolver& resolve = resolveHost);

// Whether a board's name may hold the character: letters, digits, ".", "-"
// and "_", which a file name may hold as well.
bool isNameCharacter(QChar c);

// The boards of --port values, each named by its address; a value given
// twice, or two that reach one board, are refused.
BoardsRead boardsFromPorts(const QStringList& addresses);

} // namespace varnix::fleet
