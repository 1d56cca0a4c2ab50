// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/firmware.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

namespace varnix::board {

// The firmware on a pseudo-terminal: a program opens the terminal's device
// as it would the serial port of a real board. What arrives is fed to the
// firmware and its answers go back; a short quiet spell on the line is passed
// on as the firmware's silence.
class VirtualBoard : public QObject
{
    Q_OBJECT
public:
    explicit VirtualBoard(QObject* parent = nullptr);
    ~VirtualBoard() override;

    // Opens the pseudo-terminal and puts the banner on the line.
    bool start();
    // Why start() or publish() failed.
    QString errorString() const { return m_error; }
    // The device to open, e.g. /dev/pts/3; empty before start().
    QString devicePath() const { return m_devicePath; }

    // Makes the device known under a fixed name (a symbolic link), replacing
    // a link left behind by a board that is gone; the link goes with the board.
    bool publish(const QString& linkPath);

    const Firmware& firmware() const { return m_firmware; }
    // The newest bytes that have arrived, in order: all of them while they
    // are fewer than kRecentBytes, never fewer than that afterwards. A board
    // that runs for days keeps no more than this.
    const QByteArray& received() const { return m_recent; }
    static constexpr qsizetype kRecentBytes = 64 * 1024;
    // How many bytes have arrived in all.
    qint64 receivedCount() const { return m_receivedCount; }
    // Answers waiting for the program on the device to read them. Beyond
    // this the oldest are lost, as on a line nobody listens to.
    static constexpr qsizetype kMostPending = 1024 * 1024;

    // For a rack that waits on all its boards' lines at once: the board no
    // longer watches its own line for bytes (its descriptor is returned), and
    // readLine() is called when they come. Answers are written as before.
    int lineToWatch();
    // Feeds the firmware what the line holds and answers.
    void readLine();

signals:
    // Bytes arrived and the firmware has taken them.
    void fed();

private:
    void writeLine();
    void remember(QByteArrayView bytes);
    void answer(const QByteArray& bytes);
    void unpublish();

    Firmware m_firmware;
    int m_master = -1;
    // Held open so that the line stays up while no program has the device.
    int m_slave = -1;
    QString m_devicePath;
    QString m_link;
    QString m_error;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QByteArray m_pending;
    QByteArray m_recent;
    qint64 m_receivedCount = 0;
    QTimer m_silence;
};

} // namespace varnix::board
