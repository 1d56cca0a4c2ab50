// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSerialPort>
#include <QString>
#include <QStringList>

#include <optional>

namespace varnix::link {

// A line settings text: baud rate, parity letter, data bits, stop bits,
// separated by commas ("19200,n,8,1").
struct LineSettings {
    qint32 baudRate = 19200;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    static std::optional<LineSettings> parse(const QString& text);
};

// The line settings a port's list offers, fastest first; the one at
// kStartLineSettings, 19200,n,8,1, is chosen at start.
QStringList offeredLineSettings();
constexpr int kStartLineSettings = 3;

} // namespace varnix::link
