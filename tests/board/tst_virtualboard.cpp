// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual board on its pseudo-terminal, and how Varnix finds it.
#include "support/testmain.h"
#include "board/virtualboard.h"
#include "link/core/portmap.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using namespace varnix;

namespace {
// A program on the device's end: opens it raw, as a serial port is.
class DeviceEnd
{
public:
    explicit DeviceEnd(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        termios raw{};
        ::tcgetattr(m_fd, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(m_fd, TCSANOW, &raw);
    }
    ~DeviceEnd() { ::close(m_fd); }
    bool ok() const { return m_fd >= 0; }
    void write(const QByteArray& bytes) { QCOMPARE(::write(m_fd, bytes.constData(), bytes.size()), bytes.size()); }
    QByteArray read()
    {
        char chunk[4096];
        const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
        m_read += QByteArray(chunk, n > 0 ? n : 0);
        return m_read;
    }

private:
    int m_fd;
    QByteArray m_read;
};
} // namespace

class VirtualBoardTest : public QObject
{
    Q_OBJECT
private slots:
    void answersWhatArrivesOnItsDevice();
    void varnixFindsItBetweenAdaptersAndOnBoardPorts();
    void linkOpenToOthersIsNotTrusted();
};

void VirtualBoardTest::answersWhatArrivesOnItsDevice()
{
    board::VirtualBoard board;
    QVERIFY2(board.start(), qPrintable(board.errorString()));
    DeviceEnd end(board.devicePath());
    QVERIFY(end.ok());
    QTRY_VERIFY(end.read().endsWith("Ready:\r\n"));
    const QByteArray banner = end.read();

    // A step ends on silence, and the write's closing "]" is harmless.
    end.write("]o]00100013]41]42]43]44]]r]007f003f]2");
    QTRY_COMPARE(end.read(), banner + "Ready:\r\nReady:\r\n");
    end.write("]a]00100013");
    QTRY_COMPARE(end.read(), banner + "Ready:\r\nReady:\r\n41424344Ready:\r\n");
    QVERIFY(board.firmware().display().pixel(0, 0));
    QVERIFY(!board.firmware().display().pixel(1, 0));
    QCOMPARE(board.received(), QByteArray("]o]00100013]41]42]43]44]]r]007f003f]2]a]00100013"));
}

void VirtualBoardTest::varnixFindsItBetweenAdaptersAndOnBoardPorts()
{
    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("virtual-board"));
    QString device;
    {
        board::VirtualBoard board;
        QVERIFY(board.start());
        QVERIFY2(board.publish(link), qPrintable(board.errorString()));
        device = board.devicePath();
        link::SystemPortMap ports(link);
        const int number = int(ports.devices().indexOf(device)) + 1;
        QVERIFY(number >= 1);
        QCOMPARE(ports.label(number), QStringLiteral("virtual board"));
        for (int before = 1; before < number; ++before)
            QVERIFY2(ports.device(before).contains(QStringLiteral("ttyUSB"))
                         || ports.device(before).contains(QStringLiteral("ttyACM")),
                     qPrintable(ports.device(before)));
    }
    // Gone with its board: the link and the port number.
    QVERIFY(!QFileInfo(link).isSymLink());
    link::SystemPortMap ports(link);
    QVERIFY(!ports.devices().contains(device));
}

void VirtualBoardTest::linkOpenToOthersIsNotTrusted()
{
    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("virtual-board"));
    board::VirtualBoard board;
    QVERIFY(board.start());
    QVERIFY(board.publish(link));
    QVERIFY(::chmod(QFile::encodeName(folder.path()).constData(), 0777) == 0);
    link::SystemPortMap ports(link);
    QVERIFY(!ports.devices().contains(board.devicePath()));
}

VARNIX_TEST_MAIN(VirtualBoardTest)
#include "tst_virtualboard.moc"
