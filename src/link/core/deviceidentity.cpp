// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/deviceidentity.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>

namespace varnix::link {

bool sameDevice(const DeviceIdentity& was, const DeviceIdentity& now)
{
    if (!was.boardLink.isEmpty())
        return now.boardLink == was.boardLink;
    if (!was.networkAddress.isEmpty())
        return now.networkAddress == was.networkAddress;
    if (!was.hasUsbIds || !now.hasUsbIds || !now.boardLink.isEmpty())
        return false;
    if (was.vendor != now.vendor || was.product != now.product)
        return false;
    if (!was.serialNumber.isEmpty())
        return now.serialNumber == was.serialNumber;
    // Without a serial number two adapters of one make look alike; the port
    // they are plugged into tells them apart.
    return now.serialNumber.isEmpty() && !was.usbPath.isEmpty() && now.usbPath == was.usbPath;
}

QString usbInterfacePath(const QString& sysfsDevicePath)
{
    // An interface is named bus-port[.port...]:configuration.interface.
    static const QRegularExpression interfaceName(QStringLiteral("^\\d+-\\d+(\\.\\d+)*:\\d+\\.\\d+$"));
    QString path = sysfsDevicePath;
    while (path.size() > 1) {
        const qsizetype slash = path.lastIndexOf(u'/');
        if (slash < 0)
            break;
        if (interfaceName.match(path.mid(slash + 1)).hasMatch())
            return path;
        path.truncate(slash);
    }
    return {};
}

DeviceIdentity usbIdentity(const QString& devicePath)
{
    DeviceIdentity identity;
    if (devicePath.isEmpty())
        return identity;
    const QString name = QFileInfo(devicePath).fileName();
    identity.usbPath =
        usbInterfacePath(QFileInfo(QStringLiteral("/sys/class/tty/%1/device").arg(name)).canonicalFilePath());
    if (identity.usbPath.isEmpty())
        return identity;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (info.systemLocation() != devicePath)
            continue;
        identity.hasUsbIds = info.hasVendorIdentifier() && info.hasProductIdentifier();
        identity.vendor = info.vendorIdentifier();
        identity.product = info.productIdentifier();
        identity.serialNumber = info.serialNumber();
        break;
    }
    return identity;
}

} // namespace varnix::link
