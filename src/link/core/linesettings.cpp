// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/linesettings.h"

#include <QStringList>

namespace varnix::link {

QStringList offeredLineSettings()
{
    return {QStringLiteral("56000,n,8,1"), QStringLiteral("38400,n,8,1"), QStringLiteral("28800,n,8,1"),
            QStringLiteral("19200,n,8,1"), QStringLiteral("14400,n,8,1"), QStringLiteral("9600,n,8,1"),
            QStringLiteral("2400,n,8,1"),  QStringLiteral("1200,n,8,1"),  QStringLiteral("600,n,8,1")};
}

std::optional<LineSettings> LineSettings::parse(const QString& text)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 4)
        return std::nullopt;
    LineSettings s;
    bool ok = false;
    s.baudRate = parts[0].trimmed().toInt(&ok);
    if (!ok || s.baudRate <= 0)
        return std::nullopt;

    const QString parity = parts[1].trimmed().toLower();
    if (parity == u"n")
        s.parity = QSerialPort::NoParity;
    else if (parity == u"e")
        s.parity = QSerialPort::EvenParity;
    else if (parity == u"o")
        s.parity = QSerialPort::OddParity;
    else if (parity == u"m")
        s.parity = QSerialPort::MarkParity;
    else if (parity == u"s")
        s.parity = QSerialPort::SpaceParity;
    else
        return std::nullopt;

    const QString data = parts[2].trimmed();
    if (data == u"5")
        s.dataBits = QSerialPort::Data5;
    else if (data == u"6")
        s.dataBits = QSerialPort::Data6;
    else if (data == u"7")
        s.dataBits = QSerialPort::Data7;
    else if (data == u"8")
        s.dataBits = QSerialPort::Data8;
    else
        return std::nullopt;

    const QString stop = parts[3].trimmed();
    if (stop == u"1")
        s.stopBits = QSerialPort::OneStop;
    else if (stop == u"1.5")
        s.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == u"2")
        s.stopBits = QSerialPort::TwoStop;
    else
        return std::nullopt;
    return s;
}

} // namespace varnix::link
