// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/telnet.h"

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QString>

#include <optional>
#include <utility>

class QObject;
class QSocketNotifier;

namespace varnix::link {

// An open port's descriptor, lent to a borrower that reads and writes it
// itself, without the event loop (the monitor's forwarding thread). The port
// stays open, holds its device or connection against others and keeps its
// line settings, but reads, writes and tells nothing until it is given back.
struct LentLine {
    int descriptor = -1;
    // A TCP connection rather than a serial device: an end of file is the
    // server gone.
    bool socket = false;
    // What the port had read already, to be taken before the descriptor's.
    QByteArray waiting;
    // The Telnet of an RFC 2217 connection, as far as the port had got with
    // it: what is read goes through feed() (its replies written back), what
    // is written through encode(). The borrower owns it until given back.
    std::optional<TelnetParser> telnet;
};

// The socket notifiers Qt keeps on a device or socket it has open, turned
// off while the descriptor is lent, so that nothing on the event loop reads
// or writes it, and on again as they were. Main thread only, as Qt's
// notifiers are.
class QuietNotifiers
{
public:
    // Turns off every notifier of `owner` and its children; false, with
    // nothing changed, when none of them watches for reading (not a device
    // Qt reads).
    bool silence(QObject& owner);
    // As they were before silence().
    void restore();
    bool silent() const { return !m_notifiers.isEmpty(); }

private:
    QList<std::pair<QPointer<QSocketNotifier>, bool>> m_notifiers;
};

} // namespace varnix::link
