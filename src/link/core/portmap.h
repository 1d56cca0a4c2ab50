// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/deviceidentity.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

class QFileSystemWatcher;
class QTimer;

namespace varnix::link {

// Which device each port number 1 to 4 opens, and the network address that
// number 5 opens.
class PortMap : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    static constexpr int kNetwork = 5;

    // The device path for a port number, empty when there is none.
    QString device(int number) const;
    // What a person calls that device: its kernel name, or "virtual board".
    QString label(int number) const;
    const QStringList& devices() const { return m_devices; }
    const QString& virtualBoard() const { return m_virtualBoard; }
    // Looks again at the devices present (the program's map; a fixed map
    // keeps what it was given).
    virtual void refresh() {}

    // The devices in port number order; virtualBoard names the one among
    // them that is a virtual board, if any.
    void setDevices(const QStringList& devices, const QString& virtualBoard = QString());
    // The address port kNetwork opens ("rfc2217://HOST:PORT"); empty for none.
    void setAddress(const QString& address);
    const QString& address() const { return m_address; }

    // Where a virtual board makes itself known; empty for nowhere.
    void setBoardLink(const QString& linkPath) { m_boardLink = linkPath; }
    const QString& boardLink() const { return m_boardLink; }

    // What makes the device the one it is, to know it again when it comes
    // back: the virtual board behind the board link, a USB adapter, or a
    // network address.
    DeviceIdentity identity(const QString& device) const;

signals:
    void changed();

private:
    QStringList m_devices;
    QString m_virtualBoard;
    QString m_boardLink;
    QString m_address;
};

// Orders device paths the way a person would number them: USB adapters and
// USB modems first (ttyUSB*, ttyACM*), then every other port, each group by
// kernel name with numbers compared as numbers (ttyUSB2 before ttyUSB10).
QStringList orderDevices(QStringList paths);

// The serial devices of this machine, found by Qt and watched in /dev, and
// a running virtual board, found through its link: USB adapters first, then
// the virtual board, then the on-board ports.
//
// Listing the devices costs milliseconds, and /dev changes in bursts (udev
// adds a node, then links and permissions), so changes are gathered: the
// devices are listed once the changes have been quiet for kQuietMs, and once
// more kLateMs later for what udev finishes after that. Pseudo-terminals come
// and go with every terminal tab and are not watched; the board's link is.
class SystemPortMap : public PortMap
{
    Q_OBJECT
public:
    static constexpr int kQuietMs = 250;
    static constexpr int kLateMs = 600;
    // Changes that never stop are still looked at this often.
    static constexpr int kLongestWaitMs = 750;

    explicit SystemPortMap(QObject* parent = nullptr);
    // Looks for the virtual board's link at the given place instead.
    explicit SystemPortMap(const QString& boardLink, QObject* parent = nullptr);
    void refresh() override;

    // How many times the devices have been listed.
    int looks() const { return m_looks; }

private:
    void onDirectoryChanged(const QString& path);
    void devicesMayHaveChanged();
    // Watches the link's folder, or, while there is none, the folder it will
    // be made in.
    void watchBoardFolder();

    QFileSystemWatcher* m_watcher;
    QTimer* m_quiet;
    QTimer* m_late;
    QElapsedTimer m_burst;
    QString m_boardFolder;
    QString m_boardParent;
    int m_looks = 0;
};

} // namespace varnix::link
