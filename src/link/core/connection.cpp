// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/connection.h"

#include "link/core/networkaddress.h"
#include "link/core/pause.h"
#include "link/core/serialport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <utility>

namespace varnix::link {

Connection::Connection(SerialPort& port, Pause& pause, QObject* parent)
    : QObject(parent), m_port(port), m_pause(pause), m_transmitter(port, pause)
{
    connect(&m_port, &SerialPort::lost, this, &Connection::onPortLost);
    connect(&m_port, &SerialPort::readyRead, this, &Connection::readyRead);
    connect(&m_port, &SerialPort::openFinished, this, &Connection::onOpenFinished);
}

bool Connection::isOpen() const
{
    return m_port.isOpen();
}

bool Connection::open()
{
    m_lastWords.clear();
    m_answerOwed = false;
    const bool ok = m_port.open();
    m_state = m_port.isOpen() ? State::Open : State::Closed;
    if (m_state == State::Open)
        emit opened();
    return ok;
}

void Connection::beginOpen()
{
    if (m_state != State::Closed)
        return;
    m_lastWords.clear();
    m_answerOwed = false;
    m_state = State::Opening;
    m_port.beginOpen();
}

void Connection::onOpenFinished(bool ok)
{
    // The answer to an open() comes back here too; open() itself tells.
    if (m_state != State::Opening)
        return;
    m_state = ok && m_port.isOpen() ? State::Open : State::Closed;
    if (m_state == State::Open)
        emit opened();
    else
        emit openFailed();
}

bool Connection::close()
{
    m_lastWords.clear();
    if (m_state == State::Opening) {
        m_state = State::Closed;
        m_port.cancelOpen();
        return true;
    }
    if (m_state == State::Open && std::exchange(m_answerOwed, false) && isNetworkAddress(m_port.device()))
        awaitAnswer();
    const bool wasOpen = m_port.isOpen();
    const bool ok = m_port.close();
    m_state = m_port.isOpen() ? State::Open : State::Closed;
    if (wasOpen && m_state == State::Closed)
        emit closed();
    return ok;
}

Task<bool> Connection::closing()
{
    // How often a close looks for what it waits for; and how long it waits
    // for a server to close its side, as a network port's own close does.
    constexpr int kLookMs = 5;
    constexpr int kFarEndMs = 500;
    m_pause.reset();
    if (m_state == State::Open && std::exchange(m_answerOwed, false) && isNetworkAddress(m_port.device())) {
        bool heard = false;
        QObject listening;
        connect(&m_port, &SerialPort::readyRead, &listening, [&heard] { heard = true; });
        connect(&m_port, &SerialPort::lost, &listening, [&heard] { heard = true; });
        QElapsedTimer waited;
        waited.start();
        while (!heard && waited.elapsed() < kAnswerBeforeCloseMs)
            co_await m_pause.waiting(kLookMs);
    }
    if (m_state == State::Open && m_port.beginClose()) {
        QElapsedTimer waited;
        waited.start();
        while (!m_port.farEndClosed() && waited.elapsed() < kFarEndMs)
            co_await m_pause.waiting(kLookMs);
    }
    co_return close();
}

bool Connection::writeCharacter(QChar character)
{
    if (m_state != State::Open || !m_port.isOpen() || !m_port.write(character))
        return false;
    emit sent(QString(character), false);
    return true;
}

void Connection::awaitAnswer()
{
    if (!QCoreApplication::instance())
        return;
    QEventLoop loop;
    QTimer bound;
    bound.setSingleShot(true);
    connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(&m_port, &SerialPort::readyRead, &loop, &QEventLoop::quit);
    connect(&m_port, &SerialPort::lost, &loop, &QEventLoop::quit);
    bound.start(kAnswerBeforeCloseMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

QString Connection::readAll()
{
    const QString characters = m_port.readAll();
    if (!characters.isEmpty()) {
        m_answerOwed = false;
        emit received(characters);
    }
    return std::exchange(m_lastWords, {}) + characters;
}

void Connection::takeLastWords()
{
    const QString words = m_port.readAll();
    if (words.isEmpty())
        return;
    m_lastWords += words;
    emit received(words);
}

void Connection::tellLost(const QString& reason)
{
    m_state = State::Closed;
    takeLastWords();
    emit lost(reason);
}

Transmitter::Outcome Connection::transmit(const QString& frame, std::optional<QChar> pacing,
                                          std::int32_t delay,
                                          const std::function<void(const Progress&)>& progress)
{
    return runNow(transmitting(frame, pacing, delay, progress));
}

Task<Transmitter::Outcome> Connection::transmitting(QString frame, std::optional<QChar> pacing, std::int32_t delay,
                                                    std::function<void(const Progress&)> progress)
{
    if (m_state != State::Open)
        co_return Transmitter::Outcome::Failed;
    m_state = State::Sending;
    const auto outcome = co_await m_transmitter.transmitting(frame, pacing, delay, std::move(progress));
    m_state = m_port.isOpen() ? State::Open : State::Closed;
    if (m_transmitter.written() > 0) {
        m_answerOwed = true;
        emit sent(frame.left(m_transmitter.written()), true);
    }
    if (m_lostDuringSend) {
        // Told now that the transmitter has finished with the port, before
        // anything else runs: a later call from the event loop would come
        // after the clicks held back during the frame, and one of them could
        // open the port again before the loss was told.
        m_lostDuringSend = false;
        tellLost(m_lostReason);
    }
    co_return outcome;
}

void Connection::cancel()
{
    m_transmitter.cancel();
}

void Connection::onPortLost(const QString& reason)
{
    if (m_state == State::Sending) {
        // The transmission stops at its next write; report when it returns.
        m_lostDuringSend = true;
        m_lostReason = reason;
        return;
    }
    tellLost(reason);
}

} // namespace varnix::link
