#include "link/core/portmap.h"

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

void PortMap::setDevices(const QStringList& devices)
{
    if (devices == m_devices)
        return;
    m_devices = devices;
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

QStringList orderDevices(QStringList paths)
{
    auto isUsb = [](const QString& path) {
        const QString name = QFileInfo(path).fileName();
        return name.startsWith(u"ttyUSB") || name.startsWith(u"ttyACM");
    };
    std::stable_sort(paths.begin(), paths.end(), [&](const QString& a, const QString& b) {
        const bool usbA = isUsb(a);
        const bool usbB = isUsb(b);
        if (usbA != usbB)
            return usbA;
        return naturalLess(QFileInfo(a).fileName(), QFileInfo(b).fileName());
    });
    return paths;
}

SystemPortMap::SystemPortMap(QObject* parent) : PortMap(parent), m_watcher(new QFileSystemWatcher(this))
{
    // A plugged or pulled adapter adds or removes its node in /dev; udev may
    // finish setting it up a little later, so look again shortly after.
    m_watcher->addPath(QStringLiteral("/dev"));
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
    setDevices(orderDevices(paths));
}

} // namespace varnix::link
