// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/portmap.h"

#include "link/core/boardlink.h"
#include "link/core/networkaddress.h"
#include "protocol/numbers.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSerialPortInfo>
#include <QTimer>

#include <algorithm>

namespace varnix::link {

QString PortMap::device(int number) const
{
    if (number == kNetwork)
        return m_address;
    return number >= 1 && number <= m_devices.size() ? m_devices[number - 1] : QString();
}

QString PortMap::label(int number) const
{
    const QString path = device(number);
    if (path.isEmpty())
        return {};
    if (number == kNetwork)
        return path;
    return path == m_virtualBoard ? QStringLiteral("virtual board") : QFileInfo(path).fileName();
}

void PortMap::setAddress(const QString& address)
{
    if (address == m_address)
        return;
    m_address = address;
    emit changed();
}

void PortMap::setDevices(const QStringList& devices, const QString& virtualBoard)
{
    if (devices == m_devices && virtualBoard == m_virtualBoard)
        return;
    m_devices = devices;
    m_virtualBoard = virtualBoard;
    emit changed();
}


namespace {
bool isUsb(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    return name.startsWith(u"ttyUSB") || name.startsWith(u"ttyACM");
}
} // namespace

QStringList orderDevices(QStringList paths)
{
    std::stable_sort(paths.begin(), paths.end(), [&](const QString& a, const QString& b) {
        const bool usbA = isUsb(a);
        const bool usbB = isUsb(b);
        if (usbA != usbB)
            return usbA;
        return protocol::naturalLess(QFileInfo(a).fileName(), QFileInfo(b).fileName());
    });
    return paths;
}

DeviceIdentity PortMap::identity(const QString& device) const
{
    if (device.isEmpty())
        return {};
    if (isNetworkAddress(device)) {
        DeviceIdentity server;
        server.networkAddress = device;
        return server;
    }
    if (!m_boardLink.isEmpty() && virtualBoardDevice(m_boardLink) == device) {
        DeviceIdentity board;
        board.boardLink = m_boardLink;
        return board;
    }
    return usbIdentity(device);
}

SystemPortMap::SystemPortMap(QObject* parent) : SystemPortMap(virtualBoardLink(), parent) {}

SystemPortMap::SystemPortMap(const QString& boardLink, QObject* parent)
    : PortMap(parent), m_watcher(new QFileSystemWatcher(this)), m_quiet(new QTimer(this)),
      m_late(new QTimer(this))
{
    setBoardLink(boardLink);
    m_quiet->setSingleShot(true);
    m_late->setSingleShot(true);
    m_late->setInterval(kLateMs);
    connect(m_quiet, &QTimer::timeout, this, [this] {
        refresh();
        m_late->start();
    });
    connect(m_late, &QTimer::timeout, this, &SystemPortMap::refresh);

    // A plugged or pulled adapter adds or removes its node in /dev. A
    // virtual board starting or ending makes or removes its link.
    m_watcher->addPath(QStringLiteral("/dev"));
    if (!boardLink.isEmpty()) {
        m_boardFolder = QFileInfo(boardLink).absolutePath();
        m_boardParent = QFileInfo(m_boardFolder).absolutePath();
        watchBoardFolder();
    }
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &SystemPortMap::onDirectoryChanged);
    refresh();
}

void SystemPortMap::onDirectoryChanged(const QString& path)
{
    if (path != m_boardFolder && path != m_boardParent) {
        devicesMayHaveChanged();
        return;
    }
    // The board's folder holds other things too, and its parent (the
    // runtime folder, or /tmp) far more: only a board that came, went or
    // moved to another device matters.
    watchBoardFolder();
    if (virtualBoardDevice(boardLink()) != virtualBoard())
        devicesMayHaveChanged();
}

void SystemPortMap::devicesMayHaveChanged()
{
    if (!m_quiet->isActive())
        m_burst.start();
    m_late->stop();
    const qint64 left = kLongestWaitMs - m_burst.elapsed();
    m_quiet->start(int(std::clamp<qint64>(left, 0, kQuietMs)));
}

void SystemPortMap::watchBoardFolder()
{
    const bool folderThere = QFileInfo(m_boardFolder).isDir();
    const QStringList watched = m_watcher->directories();
    if (folderThere && !watched.contains(m_boardFolder)) {
        m_watcher->addPath(m_boardFolder);
        if (watched.contains(m_boardParent))
            m_watcher->removePath(m_boardParent);
    } else if (!folderThere) {
        // A removed folder is no longer watched; wait for it to be made again.
        if (watched.contains(m_boardFolder))
            m_watcher->removePath(m_boardFolder);
        if (!watched.contains(m_boardParent) && QFileInfo(m_boardParent).isDir())
            m_watcher->addPath(m_boardParent);
    }
}

void SystemPortMap::refresh()
{
    ++m_looks;
    QStringList paths;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        paths << info.systemLocation();
    paths = orderDevices(paths);
    const QString board = virtualBoardDevice(boardLink());
    if (!board.isEmpty() && !paths.contains(board)) {
        const auto firstOnBoard = std::find_if_not(paths.begin(), paths.end(), isUsb);
        paths.insert(firstOnBoard, board);
    }
    setDevices(paths, board);
}

} // namespace varnix::link
