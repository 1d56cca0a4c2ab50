// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/qtserialport.h"

#include "link/core/linesettings.h"
#include "link/core/portmap.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QMetaObject>

#include <cerrno>
#include <utility>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

// QSerialPort (Qt 6.4 on Unix) takes a busy device for a failed one: flush()
// writes to the descriptor at once, and the EAGAIN of a full output buffer
// comes back as a ResourceError ("Resource temporarily unavailable"), the
// error a vanished device raises. A read that finds the line hung up is
// reported with whatever errno an earlier call left behind ("Inappropriate
// ioctl for device"). So an error from Qt only tells this class to look:
// deviceFailure() asks the device itself, and write() flushes only when the
// device has room and otherwise lets Qt's write notifier send the byte.

namespace varnix::link {

namespace {
QString unplugged()
{
    return QStringLiteral("The device was unplugged");
}

QString ioError()
{
    return QStringLiteral("Input/output error on the device");
}
} // namespace

QString permissionHint(const QString& devicePath)
{
    const QByteArray path = QFile::encodeName(devicePath);
    if (::access(path.constData(), R_OK | W_OK) == 0 || errno != EACCES)
        return {};
    QString groupName;
    struct stat st{};
    if (::stat(path.constData(), &st) == 0) {
        // The reentrant form: boards of a fleet open their ports in threads of their own.
        struct group entry{};
        struct group* found = nullptr;
        char buffer[4096];
        if (::getgrgid_r(st.st_gid, &entry, buffer, sizeof buffer, &found) == 0 && found)
            groupName = QString::fromLocal8Bit(found->gr_name);
    }
    if (groupName.isEmpty())
        return QStringLiteral("You have no permission to use %1.").arg(devicePath);
    return QStringLiteral("You have no permission to use %1: add your user to the group \"%2\" "
                          "(sudo usermod -aG %2 $USER), then log out and in again.")
        .arg(devicePath, groupName);
}

QString openFailure(const QString& devicePath, QSerialPort::SerialPortError error, const QString& qtReason)
{
    if (const QString hint = permissionHint(devicePath); !hint.isEmpty())
        return hint;
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("Cannot open %1: no such device.").arg(devicePath);
    case QSerialPort::PermissionError:
        // Qt's own lock, or another program's exclusive open.
        return QStringLiteral("Cannot open %1: it is in use by another program.").arg(devicePath);
    default:
        return QStringLiteral("Cannot open %1: %2.").arg(devicePath, qtReason);
    }
}

QtSerialPort::QtSerialPort(PortMap& map, QObject* parent) : SerialPort(parent), m_map(map)
{
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialPort::onError);
    connect(&m_port, &QSerialPort::readyRead, this, &SerialPort::readyRead);
    connect(&m_port, &QIODevice::aboutToClose, this, [this] {
        if (m_roomLoop)
            m_roomLoop->quit();
    });
}

QtSerialPort::~QtSerialPort()
{
    if (m_port.isOpen())
        m_port.close();
}

bool QtSerialPort::isOpen() const
{
    return m_port.isOpen() && !m_lost;
}

QString QtSerialPort::device() const
{
    return m_port.isOpen() ? m_device : QString();
}

bool QtSerialPort::open()
{
    m_hint.clear();
    m_reason.clear();
    // A device lost a moment ago is still held: let it go before opening.
    letGo();
    m_lastWords.clear();
    if (m_port.isOpen())
        return true;
    m_map.refresh();
    const QString path = m_map.device(m_number);
    const auto settings = LineSettings::parse(m_settings);
    if (path.isEmpty() || !settings)
        return false;

    m_port.setPortName(path);
    m_port.setBaudRate(settings->baudRate);
    m_port.setParity(settings->parity);
    m_port.setDataBits(settings->dataBits);
    m_port.setStopBits(settings->stopBits);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_hint = permissionHint(path);
        m_reason = openFailure(path, m_port.error(), m_port.errorString());
        m_port.clearError();
        return false;
    }
    m_device = path;
    return true;
}

bool QtSerialPort::close()
{
    m_lastWords.clear();
    // A lost device counts as closed already; it goes from the event loop.
    if (m_lost || !m_port.isOpen())
        return true;
    m_port.close();
    const bool ok = m_port.error() == QSerialPort::NoError;
    m_port.clearError();
    return ok;
}

bool QtSerialPort::put(QStringView characters)
{
    // One write at a time: a second one from inside the wait would overtake.
    if (!isOpen() || m_roomLoop)
        return false;
    const std::optional<QByteArray> bytes = latin1Bytes(characters);
    return bytes && m_port.write(*bytes) == bytes->size();
}

bool QtSerialPort::write(QChar character)
{
    if (!put(QStringView(&character, 1)))
        return false;
    // Qt only queues the byte; push it to the device now so that a pause
    // that follows is a pause on the line.
    while (m_port.bytesToWrite() > 0) {
        const bool moved = hasRoom() ? m_port.flush() : waitForRoom();
        if (!moved || !isOpen())
            return false;
    }
    return true;
}

QtSerialPort::WriteNow QtSerialPort::writeNow(QStringView characters)
{
    // A byte Qt still holds goes first.
    if (isOpen() && (m_port.bytesToWrite() > 0 || !hasRoom()))
        return WriteNow::Full;
    if (!put(characters))
        return WriteNow::Failed;
    // What the device did not take after all, Qt's write notifier sends.
    m_port.flush();
    return isOpen() ? WriteNow::Written : WriteNow::Failed;
}

void QtSerialPort::cancelWrite()
{
    if (!m_roomLoop)
        return;
    m_writeCancelled = true;
    m_roomLoop->quit();
}

bool QtSerialPort::hasRoom() const
{
    pollfd p{int(m_port.handle()), POLLOUT, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLOUT);
}

bool QtSerialPort::waitForRoom()
{
    if (!QCoreApplication::instance())
        return false;
    // Qt's write notifier sends the queued byte once the device has room and
    // tells so with bytesWritten; a failure, a close or cancelWrite() end the
    // wait early. The window keeps painting; clicks and keys wait.
    QEventLoop loop;
    connect(&m_port, &QSerialPort::bytesWritten, &loop, &QEventLoop::quit);
    m_writeCancelled = false;
    m_roomLoop = &loop;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    m_roomLoop = nullptr;
    return !m_writeCancelled;
}

QString QtSerialPort::readAll()
{
    if (!isOpen())
        return QString::fromLatin1(std::exchange(m_lastWords, {}));
    return QString::fromLatin1(m_port.readAll());
}

std::optional<LentLine> QtSerialPort::lend()
{
    if (!isOpen() || m_roomLoop || m_quiet.silent() || m_port.bytesToWrite() > 0)
        return std::nullopt;
    LentLine line;
    line.descriptor = int(m_port.handle());
    // Before the notifiers go quiet: reading Qt's buffer turns them on.
    line.waiting = m_port.readAll();
    // Without a notifier to turn off, Qt is not reading the device as it
    // does: nothing is lent (and the caller closes the port).
    if (!m_quiet.silence(m_port))
        return std::nullopt;
    return line;
}

void QtSerialPort::giveBack(LentLine /*line*/)
{
    m_quiet.restore();
}

std::optional<QString> QtSerialPort::deviceFailure() const
{
    return link::deviceFailure(int(m_port.handle()));
}

std::optional<QString> deviceFailure(int fd)
{
    // Hang-up and error are reported whatever is asked for. A serial port
    // opened with CLOCAL hangs up only when its device goes away.
    pollfd p{fd, 0, 0};
    if (::poll(&p, 1, 0) > 0) {
        if (p.revents & POLLHUP)
            return unplugged();
        if (p.revents & POLLERR)
            return ioError();
        if (p.revents & POLLNVAL)
            return QString();
    }
    termios settings{};
    if (::tcgetattr(fd, &settings) == 0)
        return std::nullopt;
    switch (errno) {
    case EIO:
        return ioError();
    case ENODEV:
    case ENXIO:
        return unplugged();
    default:
        return QString();
    }
}

void QtSerialPort::onError(QSerialPort::SerialPortError error)
{
    const bool mayBeLost = error == QSerialPort::ResourceError || error == QSerialPort::ReadError
        || error == QSerialPort::WriteError;
    if (!mayBeLost || !m_port.isOpen() || m_lost)
        return;
    if (const auto reason = deviceFailure())
        deviceFailed(*reason);
    else
        m_port.clearError();
}

void QtSerialPort::deviceFailed(const QString& reason)
{
    if (!m_port.isOpen() || m_lost)
        return;
    m_lastWords += m_port.readAll();
    m_lost = true;
    if (m_roomLoop)
        m_roomLoop->quit();
    // An unplugged adapter keeps raising errors for as long as the port stays
    // open; close it once and say so once, now. Closing from inside Qt's own
    // notification is not safe; that is done next.
    QMetaObject::invokeMethod(this, &QtSerialPort::letGo, Qt::QueuedConnection);
    emit lost(reason);
}

void QtSerialPort::letGo()
{
    if (!std::exchange(m_lost, false))
        return;
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
}

} // namespace varnix::link
