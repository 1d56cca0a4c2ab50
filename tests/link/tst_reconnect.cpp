// SPDX-License-Identifier: GPL-3.0-or-later
// A lost device opened again when it comes back: the real window on the
// program's serial port and port list, and virtual boards in this process
// made known under a link in a folder of the test's own.
#include "board/displaycheck.h"
#include "board/firmware.h"
#include "board/virtualboard.h"
#include "display/displayview.h"
#include "link/core/deviceidentity.h"
#include "link/core/portmap.h"
#include "link/core/qtserialport.h"
#include "support/fixture.h"
#include "support/pagedriver.h"
#include "support/testmain.h"
#include "widgets/fields.h"

#include <QCheckBox>
#include <QFile>
#include <QRegularExpression>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace varnix;

Q_DECLARE_METATYPE(varnix::link::DeviceIdentity)

namespace {
// The window with a virtual board among the machine's own ports.
class ReconnectFixture : public test::WindowFixture
{
public:
    ReconnectFixture() : linkPath(dir.path() + QStringLiteral("/varnix/virtual-board")), ports(linkPath)
    {
        startBoard();
        window = std::make_unique<Main>(Platform{desktop, ports, port, pause});
    }
    ~ReconnectFixture() { window.reset(); }

    void startBoard()
    {
        board = std::make_unique<board::VirtualBoard>();
        QVERIFY2(board->start() && board->publish(linkPath), qPrintable(board->errorString()));
    }
    // Opens the port whose number the board has now.
    void openBoard()
    {
        QTRY_COMPARE(ports.virtualBoard(), board->devicePath());
        const int number = int(ports.devices().indexOf(board->devicePath())) + 1;
        QVERIFY(number >= 1 && number <= 4);
        find<QRadioButton>(QStringLiteral("optCom%1").arg(number))->setChecked(true);
        click(QStringLiteral("cmdCom"));
        QVERIFY2(port.isOpen(), qPrintable(desktop.texts().join(u'|')));
    }
    // Ends the board and waits until the window has taken the loss in.
    void endBoard()
    {
        board.reset();
        QTRY_VERIFY_WITH_TIMEOUT(note()->text().contains(QStringLiteral("stopped working")), 3000);
        QVERIFY(!port.isOpen());
    }
    QLabel* note() const { return find<QLabel>(QStringLiteral("lblPortNote")); }

    QTemporaryDir dir;
    QString linkPath;
    std::unique_ptr<board::VirtualBoard> board;
    test::RecordingDesktop desktop;
    link::SystemPortMap ports;
    link::QtSerialPort port{ports};
    link::EventLoopPause pause;
};

link::DeviceIdentity usb(quint16 vendor, quint16 product, const QString& serial, const QString& path)
{
    link::DeviceIdentity id;
    id.hasUsbIds = true;
    id.vendor = vendor;
    id.product = product;
    id.serialNumber = serial;
    id.usbPath = path;
    return id;
}

link::DeviceIdentity boardAt(const QString& linkPath)
{
    link::DeviceIdentity id;
    id.boardLink = linkPath;
    return id;
}
} // namespace

class ReconnectTest : public QObject
{
    Q_OBJECT
private slots:
    void identityDecidesWhatIsTheSameDevice_data();
    void identityDecidesWhatIsTheSameDevice();
    void usbPortIsTheInterfaceOfTheTty_data();
    void usbPortIsTheInterfaceOfTheTty();
    void boardRestartedUnderItsLinkIsOpenedAgain();
    void withoutReconnectNothingReopens();
    void viewFollowsTheBoardThroughARestart();
};

void ReconnectTest::identityDecidesWhatIsTheSameDevice_data()
{
    QTest::addColumn<link::DeviceIdentity>("was");
    QTest::addColumn<link::DeviceIdentity>("now");
    QTest::addColumn<bool>("same");
    const QString port1 = QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0");
    const QString port2 = QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0");
    QTest::newRow("serial, other USB port") << usb(0x0403, 0x6001, "A50285BI", port1)
                                            << usb(0x0403, 0x6001, "A50285BI", port2) << true;
    QTest::newRow("other serial, same port") << usb(0x0403, 0x6001, "A50285BI", port1)
                                             << usb(0x0403, 0x6001, "A10001XY", port1) << false;
    QTest::newRow("same serial, other make") << usb(0x0403, 0x6001, "0001", port1)
                                             << usb(0x067b, 0x2303, "0001", port1) << false;
    QTest::newRow("no serial, same port") << usb(0x1a86, 0x7523, "", port1) << usb(0x1a86, 0x7523, "", port1)
                                          << true;
    QTest::newRow("no serial, other port") << usb(0x1a86, 0x7523, "", port1) << usb(0x1a86, 0x7523, "", port2)
                                           << false;
    QTest::newRow("no serial, other make") << usb(0x1a86, 0x7523, "", port1) << usb(0x10c4, 0xea60, "", port1)
                                           << false;
    QTest::newRow("no serial and no port") << usb(0x1a86, 0x7523, "", "") << usb(0x1a86, 0x7523, "", "") << false;
    QTest::newRow("board, same link") << boardAt("/run/user/1000/varnix/virtual-board")
                                      << boardAt("/run/user/1000/varnix/virtual-board") << true;
    QTest::newRow("board, other link") << boardAt("/run/user/1000/varnix/virtual-board")
                                       << boardAt("/tmp/varnix-1000/virtual-board") << false;
    QTest::newRow("adapter where the board was") << boardAt("/tmp/varnix-1000/virtual-board")
                                                 << usb(0x1a86, 0x7523, "", port1) << false;
    QTest::newRow("unknown device") << link::DeviceIdentity{} << link::DeviceIdentity{} << false;
}

void ReconnectTest::identityDecidesWhatIsTheSameDevice()
{
    QFETCH(link::DeviceIdentity, was);
    QFETCH(link::DeviceIdentity, now);
    QFETCH(bool, same);
    QCOMPARE(link::sameDevice(was, now), same);
}

void ReconnectTest::usbPortIsTheInterfaceOfTheTty_data()
{
    QTest::addColumn<QString>("sysfs");
    QTest::addColumn<QString>("usbPath");
    const QString hub = QStringLiteral("/sys/devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4.2");
    QTest::newRow("usb-serial adapter") << hub + "/1-4.2:1.0/ttyUSB3" << hub + "/1-4.2:1.0";
    QTest::newRow("modem") << hub + "/1-4.2:1.2" << hub + "/1-4.2:1.2";
    QTest::newRow("on-board port") << QStringLiteral("/sys/devices/pnp0/00:04/tty/ttyS0") << QString();
    QTest::newRow("no device") << QString() << QString();
}

void ReconnectTest::usbPortIsTheInterfaceOfTheTty()
{
    QFETCH(QString, sysfs);
    QFETCH(QString, usbPath);
    QCOMPARE(link::usbInterfacePath(sysfs), usbPath);
}

void ReconnectTest::boardRestartedUnderItsLinkIsOpenedAgain()
{
    ReconnectFixture f;
    const QString logPath = f.dir.filePath(QStringLiteral("session.log"));
    QVERIFY(f.main().startLog(logPath));
    f.openBoard();
    f.endBoard();
    QVERIFY2(f.note()->text().contains(QStringLiteral("opens again")), qPrintable(f.note()->text()));
    QVERIFY(f.desktop.messages.isEmpty());

    // While it is away: a frame typed in the transmit window, and a click.
    test::showActive(f);
    f.txmText()->setFocus();
    QTest::keyClicks(f.txmText(), QStringLiteral("]k"));
    test::press(f, QStringLiteral("cmdCirc"));
    QCOMPARE(f.desktop.texts(), QStringList{QStringLiteral("Comm Port Not Open")});

    f.startBoard();
    QTRY_VERIFY_WITH_TIMEOUT(f.port.isOpen(), 2000);
    QCOMPARE(f.port.device(), f.board->devicePath());
    QVERIFY2(f.note()->text().contains(QStringLiteral("reconnected")), qPrintable(f.note()->text()));
    QCOMPARE(f.find<QLabel>("comm")->text(), QStringLiteral("ON"));
    QCOMPARE(f.find<QPushButton>("cmdCom")->text(), QStringLiteral("Close"));
    // The log tells the loss, the note shown of it, the opening and why it
    // opened, in that order.
    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString events = QString::fromLatin1(log.readAll());
    const QRegularExpression order(QStringLiteral(
        "\\* lost[^\\n]*\\n[^\\n]*\\* Comm:\\d stopped working [^\\n]*it opens again[^\\n]*\\n"
        "[^\\n]*\\* opened %1, 19200,n,8,1\\n[^\\n]*\\* reconnected: %1 came back\\n")
                                       .arg(QRegularExpression::escape(f.board->devicePath())));
    QVERIFY2(order.match(events).hasMatch(), qPrintable(events));

    // The next click draws on the new board; a read of its display went
    // before, and nothing else.
    QTRY_COMPARE_WITH_TIMEOUT(f.board->firmware().commandsDone(), qint64(1), 3000);
    test::press(f, QStringLiteral("cmdCirc"));
    QTRY_COMPARE_WITH_TIMEOUT(f.board->firmware().commandsDone(), qint64(2), 3000);
    QTest::qWait(200);
    QCOMPARE(f.board->received(), QByteArray(board::kWholeDisplayRead) + "]c]402014");
    QCOMPARE(f.board->firmware().errors(), qint64(0));
    board::Firmware circle;
    circle.feed("]c]402014");
    QVERIFY(f.board->firmware().display() == circle.display());
    QCOMPARE(f.desktop.messages.size(), 1);
}

void ReconnectTest::withoutReconnectNothingReopens()
{
    ReconnectFixture f;
    f.find<QCheckBox>("chkReconnect")->setChecked(false);
    f.openBoard();
    f.endBoard();
    QVERIFY2(f.note()->text().contains(QStringLiteral("press Open")), qPrintable(f.note()->text()));

    f.startBoard();
    QTRY_COMPARE(f.ports.virtualBoard(), f.board->devicePath());
    // Past the look a reconnect would take soon after a loss.
    QTest::qWait(1500);
    QVERIFY(!f.port.isOpen());
    QCOMPARE(f.board->firmware().commandsDone(), qint64(0));

    // Ticked again, the board that is back is opened.
    f.find<QCheckBox>("chkReconnect")->setChecked(true);
    QTRY_VERIFY_WITH_TIMEOUT(f.port.isOpen(), 2000);
}

void ReconnectTest::viewFollowsTheBoardThroughARestart()
{
    ReconnectFixture f;
    f.openBoard();
    auto* view = f.find<DisplayView>(QStringLiteral("displayView"));
    f.click(QStringLiteral("cmdCirc"));
    QTRY_COMPARE_WITH_TIMEOUT(f.board->firmware().commandsDone(), qint64(1), 3000);
    QTRY_COMPARE(view->display(), f.board->firmware().display());
    f.endBoard();

    // The new board shows something else before the program has it again.
    f.startBoard();
    const int other = ::open(QFile::encodeName(f.board->devicePath()).constData(), O_WRONLY | O_NOCTTY);
    QVERIFY(other >= 0);
    const QByteArray drawn = "]d]0506]r]10200818]1";
    QCOMPARE(::write(other, drawn.constData(), size_t(drawn.size())), ssize_t(drawn.size()));
    ::close(other);

    QTRY_VERIFY_WITH_TIMEOUT(f.port.isOpen(), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(f.note()->text().contains(QStringLiteral("The display view shows what the board")),
                             5000);
    QTRY_COMPARE(view->display(), f.board->firmware().display());
    QCOMPARE(view->display(), board::drawn({QString::fromLatin1(drawn)}).display());
    QVERIFY(view->uncertainNote().isEmpty());
    QVERIFY2(f.note()->text().contains(QStringLiteral("reconnected")), qPrintable(f.note()->text()));
    QCOMPARE(f.desktop.texts(), QStringList());
}

VARNIX_TEST_MAIN(ReconnectTest)
#include "tst_reconnect.moc"
