#include "link/core/portmap.h"

#include <QCollator>
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

QStringList orderDevices(QStringList paths)
{
    QCollator natural;
    natural.setNumericMode(true);
    auto isUsb = [](const QString& path) {
        const QString name = QFileInfo(path).fileName();
        return name.startsWith(u"ttyUSB") || name.startsWith(u"ttyACM");
    };
    std::stable_sort(paths.begin(), paths.end(), [&](const QString& a, const QString& b) {
        const bool usbA = isUsb(a);
        const bool usbB = isUsb(b);
        if (usbA != usbB)
            return usbA;
        return natural.compare(QFileInfo(a).fileName(), QFileInfo(b).fileName()) < 0;
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
