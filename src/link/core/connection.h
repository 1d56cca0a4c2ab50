// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/core/transmitter.h"

#include <QObject>

namespace varnix::link {

class Pause;
class SerialPort;

// The program's one serial connection: closed, opening (a network port
// connecting), open, or sending a frame. It never talks to the user; the
// window reads its state and its signals.
class Connection : public QObject
{
    Q_OBJECT
public:
    enum class State { Closed, Opening, Open, Sending };

    Connection(SerialPort& port, Pause& pause, QObject* parent = nullptr);

    State state() const { return m_state; }
    bool isOpen() const;
    SerialPort& port() { return m_port; }

    // Opens, running the event loop (all but the user's input) while a
    // network port connects.
    bool open();
    // Begins opening without holding up the event loop: opened() or
    // openFailed() tells how it went, from inside this call or later.
    void beginOpen();
    // Closes; an open under way is given up at once, with no signal. Right
    // after a frame went to a board on the network, its answer is awaited
    // first, at most kAnswerBeforeCloseMs: a serial server drops what it
    // has not yet written to the device when its client goes, and the board
    // would be left in the middle of a frame.
    bool close();
    static constexpr int kAnswerBeforeCloseMs = 1000;
    // The same as a step of a coroutine, its waits (for the answer, for a
    // server to close its side) awaited on the pause.
    Task<bool> closing();
    // Writes a typed character at once, unpaced; false when closed or refused.
    bool writeCharacter(QChar character);
    QString readAll();

    // Sends a frame paced; returns when the last character has gone to the
    // device, the transmission failed, or cancel() ended it.
    Transmitter::Outcome transmit(const QString& frame, std::optional<QChar> pacing,
                                  std::int32_t delay,
                                  const std::function<void(const Progress&)>& progress = {});
    // The same as a step of a coroutine, its pauses awaited.
    Task<Transmitter::Outcome> transmitting(QString frame, std::optional<QChar> pacing, std::int32_t delay,
                                            std::function<void(const Progress&)> progress = {});
    void cancel();

signals:
    // The port was opened, or closed by close() while it was open.
    void opened();
    // An open begun by beginOpen() failed; the port's failureHint() says why.
    void openFailed();
    void closed();
    // Characters taken from the device by readAll(), as they came; those
    // that came just before a loss are told before the loss, and readAll()
    // gives them afterwards.
    void received(const QString& characters);
    // Characters wait at the port for readAll().
    void readyRead();
    // Characters that went to the device: those of a transmission when it
    // returns (all of the frame, or as far as it got), or one typed character.
    void sent(const QString& characters, bool transmission);
    // The device went away while open; the connection is closed by now. Told
    // once per loss, at once, or, when it went during a transmission, just
    // before transmit() returns.
    void lost(const QString& reason);

private:
    void onPortLost(const QString& reason);
    void onOpenFinished(bool ok);
    void awaitAnswer();
    // Takes what the lost port still holds, before the loss is told.
    void takeLastWords();
    void tellLost(const QString& reason);

    SerialPort& m_port;
    Pause& m_pause;
    Transmitter m_transmitter;
    State m_state = State::Closed;
    bool m_lostDuringSend = false;
    QString m_lostReason;
    QString m_lastWords;
    // A frame went out and nothing has come from the board since.
    bool m_answerOwed = false;
};

} // namespace varnix::link
