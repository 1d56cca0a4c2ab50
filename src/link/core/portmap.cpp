#include "link/core/portmap.h"

#include "link/core/boardlink.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSerialPortInfo>
#include <QTimer>

#include <algorithm>

namespace varnix::link {

QString PortMap::device(int number) const
{
    return number >= 1 && number <= m_devices.size() ? m_devices[number - 1] : QString();
}

QString PortMap::label(int number) const
{
    const QString path = device(number);
    if (path.isEmpty())
        return {};
    return path == m_virtualBoard ? QStringLiteral("virtual board") : QFileInfo(path).fileName();
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
// Kernel names compared with their numbers as numbers: ttyUSB2 < ttyUSB10.
bool naturalLess(const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype startA = i;
            const qsizetype startB = j;
            while (i < a.size() && a[i].isDigit())
                ++i;
            while (j < b.size() && b[j].isDigit())
                ++j;
            const QString numberA = a.mid(startA, i - startA);
            const QString numberB = b.mid(startB, j - startB);
            const qulonglong valueA = numberA.toULongLong();
            const qulonglong valueB = numberB.toULongLong();
            if (valueA != valueB)
                return valueA < valueB;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}
} // namespace

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
        return naturalLess(QFileInfo(a).fileName(), QFileInfo(b).fileName());
    });
    return paths;
}

SystemPortMap::SystemPortMap(QObject* parent) : SystemPortMap(virtualBoardLink(), parent) {}

SystemPortMap::SystemPortMap(const QString& boardLink, QObject* parent)
    : PortMap(parent), m_watcher(new QFileSystemWatcher(this)), m_boardLink(boardLink)
{
    // A plugged or pulled adapter adds or removes its node in /dev; udev may
    // finish setting it up a little later, so look again shortly after. A
    // virtual board starting or ending adds or removes its node in /dev/pts.
    m_watcher->addPaths({QStringLiteral("/dev"), QStringLiteral("/dev/pts")});
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        refresh();
        QTimer::singleShot(700, this, &SystemPortMap::refresh);
    });
    refresh();
}

void SystemPortMap::refresh()
{
    QStringList paths;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        paths << info.systemLocation();
    paths = orderDevices(paths);
    const QString board = virtualBoardDevice(m_boardLink);
    if (!board.isEmpty() && !paths.contains(board)) {
        const auto firstOnBoard = std::find_if_not(paths.begin(), paths.end(), isUsb);
        paths.insert(firstOnBoard, board);
    }
    setDevices(paths, board);
}

} // namespace varnix::link
