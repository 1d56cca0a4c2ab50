// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/lentline.h"
#include "link/core/serialport.h"

#include <QSerialPort>

#include <optional>

class QEventLoop;

namespace varnix::link {

class PortMap;

// The serial port on QSerialPort. Port numbers go through a PortMap to a
// device; Qt's lock file and exclusive open keep other programs off it.
class QtSerialPort : public SerialPort
{
    Q_OBJECT
public:
    explicit QtSerialPort(PortMap& map, QObject* parent = nullptr);
    ~QtSerialPort() override;

    bool isOpen() const override;
    bool open() override;
    bool close() override;
    void setPortNumber(int number) override { m_number = number; }
    int portNumber() const override { return m_number; }
    void setSettings(const QString& settings) override { m_settings = settings; }
    bool write(QChar character) override;
    void cancelWrite() override;
    WriteNow writeNow(QStringView characters) override;
    QString readAll() override;
    QString failureHint() const override { return m_hint; }
    QString failureReason() const override { return m_reason; }

    QString settings() const override { return m_settings; }
    QString device() const override;
    // The line settings in force on the open device.
    const QSerialPort& qtPort() const { return m_port; }

    // Lends the open device's descriptor, with what was read already;
    // nothing while it is closed, lent or writing. Until giveBack() the port
    // is not to be read or written.
    std::optional<LentLine> lend();
    void giveBack(LentLine line);

private:
    // Hands the characters to Qt, which holds them for the device.
    bool put(QStringView characters);
    bool hasRoom() const;
    bool waitForRoom();
    std::optional<QString> deviceFailure() const;
    void onError(QSerialPort::SerialPortError error);
    void deviceFailed(const QString& reason);
    // Closes the device that was lost.
    void letGo();

    PortMap& m_map;
    QSerialPort m_port;
    int m_number = 1;
    QString m_settings = QStringLiteral("19200,n,8,1");
    QString m_hint;
    QString m_reason;
    QString m_device;
    // Lost, and still to be closed from the event loop.
    bool m_lost = false;
    // What had arrived when the device was lost, still to be read.
    QByteArray m_lastWords;
    QEventLoop* m_roomLoop = nullptr;
    bool m_writeCancelled = false;
    // Off while the descriptor is lent.
    QuietNotifiers m_quiet;
};

// Why the open device no longer works (empty when that is not known), or
// nothing when it still does. Safe on any thread: it only asks the device.
std::optional<QString> deviceFailure(int descriptor);

// A sentence telling the user that the account may not use the device, or
// empty when that is not why it failed to open.
QString permissionHint(const QString& devicePath);
// Why the device did not open, as a sentence that names it: the
// permission the account lacks, no such device, in use, or Qt's reason.
QString openFailure(const QString& devicePath, QSerialPort::SerialPortError error, const QString& qtReason);

} // namespace varnix::link
