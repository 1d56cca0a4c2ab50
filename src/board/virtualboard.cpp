// SPDX-License-Identifier: GPL-3.0-or-later
#include "board/virtualboard.h"

#include "link/core/boardlink.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace varnix::board {

namespace {
QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}
} // namespace

VirtualBoard::VirtualBoard(QObject* parent) : QObject(parent)
{
    m_silence.setSingleShot(true);
    m_silence.setInterval(Firmware::kSilenceMs);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        answer(m_firmware.silence());
        emit fed();
    });
}

VirtualBoard::~VirtualBoard()
{
    unpublish();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
}

bool VirtualBoard::start()
{
    if (m_master >= 0)
        return true;
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        m_error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(systemError());
        return false;
    }
    char name[128] = {};
    if (::ptsname_r(m_master, name, sizeof name) != 0) {
        m_error = QStringLiteral("cannot name the pseudo-terminal: %1").arg(systemError());
        return false;
    }
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        m_error = QStringLiteral("cannot open %1: %2").arg(QString::fromLocal8Bit(name), systemError());
        return false;
    }
    // A raw line, as a serial port is: the firmware's answers must not be
    // echoed back to it before a program has opened the device.
    termios raw{};
    ::tcgetattr(m_slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(m_slave, TCSANOW, &raw);
    m_devicePath = QString::fromLocal8Bit(name);

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &VirtualBoard::readLine);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &VirtualBoard::writeLine);
    answer(m_firmware.banner());
    return true;
}

bool VirtualBoard::publish(const QString& linkPath)
{
    const QFileInfo link(linkPath);
    if (!link::makeVirtualBoardFolder(linkPath)) {
        m_error = QStringLiteral("%1 is not a folder of this user's own").arg(link.absolutePath());
        return false;
    }
    // A link whose device has gone is what a board that was killed left.
    if (const QString other = link::virtualBoardDevice(linkPath); !other.isEmpty() && other != m_devicePath) {
        m_error = QStringLiteral("another virtual board is at %1").arg(linkPath);
        return false;
    }
    QFile::remove(linkPath);
    if (!QFile::link(m_devicePath, linkPath)) {
        m_error = QStringLiteral("cannot make the link %1").arg(linkPath);
        return false;
    }
    m_link = linkPath;
    return true;
}

void VirtualBoard::unpublish()
{
    if (m_link.isEmpty())
        return;
    // Only our own link: another board may have taken the name since.
    if (QFileInfo(m_link).symLinkTarget() == m_devicePath)
        QFile::remove(m_link);
    m_link.clear();
}

int VirtualBoard::lineToWatch()
{
    if (m_readNotifier)
        m_readNotifier->setEnabled(false);
    return m_master;
}

void VirtualBoard::readLine()
{
    char chunk[4096];
    QByteArray answers;
    bool any = false;
    for (;;) {
        const ssize_t n = ::read(m_master, chunk, sizeof chunk);
        if (n > 0) {
            any = true;
            remember(QByteArrayView(chunk, n));
            answers += m_firmware.feed(QByteArrayView(chunk, n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    if (!any)
        return;
    m_silence.start();
    answer(answers);
    emit fed();
}

void VirtualBoard::remember(QByteArrayView bytes)
{
    m_receivedCount += bytes.size();
    m_recent.append(bytes);
    // Trimmed in steps of at least kRecentBytes, so that keeping the history
    // costs the same for every byte, however the bytes come.
    if (m_recent.size() >= 2 * kRecentBytes)
        m_recent = m_recent.last(kRecentBytes);
}

void VirtualBoard::answer(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    m_pending += bytes;
    if (m_pending.size() > kMostPending)
        m_pending = m_pending.last(kMostPending);
    writeLine();
}

void VirtualBoard::writeLine()
{
    while (!m_pending.isEmpty()) {
        const ssize_t n = ::write(m_master, m_pending.constData(), size_t(m_pending.size()));
        if (n > 0) {
            m_pending.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    // The program on the other end is not reading: write the rest when it does.
    m_writeNotifier->setEnabled(!m_pending.isEmpty());
}

} // namespace varnix::board
