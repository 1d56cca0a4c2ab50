// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace varnix::link {

// What makes a serial device the one it is, so that it can be found again
// after it went away and came back under another kernel name.
struct DeviceIdentity {
    // A virtual board: the link it made itself known under. A board started
    // again under the same link is the same board.
    QString boardLink;
    // A USB adapter: what it tells about itself, and the USB port it sits
    // in (the interface's path in sysfs) for adapters without a serial number.
    bool hasUsbIds = false;
    quint16 vendor = 0;
    quint16 product = 0;
    QString serialNumber;
    QString usbPath;
    // A board on the network: its address.
    QString networkAddress;

    // Whether the device can be recognised at all.
    bool isKnown() const { return !boardLink.isEmpty() || hasUsbIds || !networkAddress.isEmpty(); }
};

// Whether `now` is the device that `was` described: the same virtual board
// link or network address; or the same adapter by vendor, product and serial
// number, or by vendor, product and USB port when it has no serial number.
bool sameDevice(const DeviceIdentity& was, const DeviceIdentity& now);

// The USB interface a tty's sysfs device path lies on ("/sys/devices/.../
// 1-2:1.0/ttyUSB0" gives ".../1-2:1.0"); empty when it is not on USB.
QString usbInterfacePath(const QString& sysfsDevicePath);

// The identity of a USB serial device from Qt's port information and sysfs;
// unknown for every other device.
DeviceIdentity usbIdentity(const QString& devicePath);

} // namespace varnix::link
