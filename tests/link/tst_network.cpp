// SPDX-License-Identifier: GPL-3.0-or-later
// Boards on the network: the window and the command line on a real ser2net
// serving a virtual board's (or a test's) pseudo-terminal on 127.0.0.1.
#include "board/displaycheck.h"
#include "board/firmware.h"
#include "link/core/connection.h"
#include "link/core/pause.h"
#include "link/core/portswitch.h"
#include "link/core/reconnector.h"
#include "support/boardfixture.h"
#include "support/pagedriver.h"
#include "support/pty.h"
#include "support/ser2net.h"
#include "support/testmain.h"
#include "widgets/fields.h"
#include "support/scriptstandins.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <functional>
#include <memory>
#include <utility>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

using namespace varnix;

namespace {
constexpr int kShortTimeoutMs = 1000;

#define REQUIRE_SER2NET()                                                                                     \
    if (!test::Ser2net::installed())                                                                          \
    QSKIP("ser2net is not installed")

// A port on 127.0.0.1 whose queue of connections is full: the kernel drops
// further requests without a word, as a host that is down does.
class SilentPort
{
public:
    explicit SilentPort(quint16 port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const auto* at = reinterpret_cast<const sockaddr*>(&address);
        const int one = 1;
        ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        // One connection fills a queue of none, and is never taken from it.
        m_ok = ::bind(m_listener, at, sizeof address) == 0 && ::listen(m_listener, 0) == 0
            && ::connect(m_filler, at, sizeof address) == 0;
    }
    ~SilentPort()
    {
        ::close(m_filler);
        ::close(m_listener);
    }
    bool ok() const { return m_ok; }

private:
    int m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    int m_filler = ::socket(AF_INET, SOCK_STREAM, 0);
    bool m_ok = false;
};

// A hostile server: its first connection ends the given time after
// closeAfter bytes have come (onBytes runs at the first of them), or when
// closeNow() says; one that does not read leaves the sender waiting for room.
// Later connections are a board that answers.
class ClosingServer : public QTcpServer
{
public:
    ClosingServer(qsizetype closeAfter, int delayMs, bool reads) : m_closeAfter(closeAfter)
    {
        listen(QHostAddress::LocalHost);
        if (!reads) {
            // A small window, so that little fills it.
            const int size = 4096;
            ::setsockopt(int(socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        }
        connect(this, &QTcpServer::newConnection, this, [this, reads, delayMs] {
            QTcpSocket* socket = nextPendingConnection();
            const bool first = ++connections == 1;
            if (first)
                m_first = socket;
            if (first && !reads) {
                // Qt would read all there is into memory.
                socket->setReadBufferSize(1);
                return;
            }
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket, first, delayMs] {
                const QByteArray bytes = socket->readAll();
                if (!first) {
                    socket->write(m_board.feed(bytes));
                    return;
                }
                received += bytes;
                if (onBytes)
                    std::exchange(onBytes, {})();
                if (received.size() >= m_closeAfter)
                    QTimer::singleShot(delayMs, socket, [this, socket] { sayLastWordsAndClose(socket); });
            });
        });
    }
    void closeNow()
    {
        if (m_first)
            sayLastWordsAndClose(m_first);
    }
    // What the server sends just before it closes.
    QByteArray lastWords = "Bye.\r\n";
    void sayLastWordsAndClose(QTcpSocket* socket) const
    {
        socket->write(lastWords);
        socket->close();
    }
    QString address() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(serverPort()); }

    int connections = 0;
    QByteArray received;
    std::function<void()> onBytes;

private:
    qsizetype m_closeAfter;
    QPointer<QTcpSocket> m_first;
    board::Firmware m_board;
};
} // namespace

class NetworkTest : public QObject
{
    Q_OBJECT
private slots:
    void drawsAndComparesOverBothForms_data();
    void drawsAndComparesOverBothForms();
    void lineSettingsReachTheServer();
    void telnetBytesPassBothWays_data();
    void telnetBytesPassBothWays();
    void serverEndedThenBackReconnects();
    void lossIsToldOnceWhateverTheMoment_data();
    void lossIsToldOnceWhateverTheMoment();
    void silentAddressIsWaitedForWithTheWindowGoingOn();
    void handshakeNeverHoldsTheWindow();
    void closeRightAfterASendLosesNothing_data();
    void closeRightAfterASendLosesNothing();
    void givenPortOpensAndTheLogNamesIt_data();
    void givenPortOpensAndTheLogNamesIt();
    void failuresAreOneMessageInBoundedTime_data();
    void failuresAreOneMessageInBoundedTime();
    void commandLineRunsAndVerifiesOverRfc2217();
};

void NetworkTest::drawsAndComparesOverBothForms_data()
{
    QTest::addColumn<bool>("rfc2217");
    QTest::newRow("raw") << false;
    QTest::newRow("rfc2217") << true;
}

void NetworkTest::drawsAndComparesOverBothForms()
{
    REQUIRE_SER2NET();
    QFETCH(bool, rfc2217);
    test::BoardFixture f;
    test::Ser2net server(f.board.devicePath());
    QVERIFY2(server.start(), qPrintable(server.error()));
    const QString address = rfc2217 ? server.rfc2217Address() : server.rawAddress();
    QVERIFY2(f.openNetwork(address), qPrintable(f.desktop.texts().join(u'|')));
    QCOMPARE(f.port.device(), address);
    QVERIFY(f.settle());
    f.click(QStringLiteral("cmdCirc"));
    QVERIFY(f.settle());
    QCOMPARE(f.board.received(), QByteArray("]c]402014"));
    f.click(QStringLiteral("cmdCompare"));
    QVERIFY(f.settle());
    QCOMPARE(f.desktop.texts(), QStringList{"The board shows what was sent: no pixel differs."});
    // Kept for the next start, first in the field's list.
    test::BoardFixture next;
    QCOMPARE(next.find<QComboBox>(QStringLiteral("cboAddress"))->itemText(0), address);
}

void NetworkTest::lineSettingsReachTheServer()
{
    REQUIRE_SER2NET();
    test::BoardFixture f;
    test::Ser2net server(f.board.devicePath());
    QVERIFY2(server.start(), qPrintable(server.error()));
    auto* list = f.find<ListBox>(QStringLiteral("List1"));
    list->setCurrentItem(list->findItems(QStringLiteral("9600,n,8,1"), Qt::MatchExactly).value(0));
    // As `varnix --port ADDRESS` starts the window.
    f.main().openPort(server.rfc2217Address());
    QTRY_VERIFY2_WITH_TIMEOUT(f.port.isOpen(), qPrintable(f.desktop.texts().join(u'|')), 15000);
    // ser2net has put them on the board's line.
    termios line = test::lineOf(f.board.devicePath());
    QCOMPARE(::cfgetospeed(&line), speed_t(B9600));
    QCOMPARE(line.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));

    // Set while open asks the server again.
    list->setCurrentItem(list->findItems(QStringLiteral("2400,n,8,1"), Qt::MatchExactly).value(0));
    f.click(QStringLiteral("cmdComSet"));
    QTRY_VERIFY2_WITH_TIMEOUT(f.port.isOpen(), qPrintable(f.desktop.texts().join(u'|')), 15000);
    line = test::lineOf(f.board.devicePath());
    QCOMPARE(::cfgetospeed(&line), speed_t(B2400));
}

void NetworkTest::telnetBytesPassBothWays_data()
{
    QTest::addColumn<bool>("rfc2217");
    QTest::newRow("rfc2217") << true;
    QTest::newRow("raw") << false;
}

void NetworkTest::telnetBytesPassBothWays()
{
    REQUIRE_SER2NET();
    QFETCH(bool, rfc2217);
    test::Pty board;
    board.startReading();
    test::Ser2net server(board.slavePath());
    QVERIFY2(server.start(), qPrintable(server.error()));
    test::BoardFixture f;
    QVERIFY2(f.openNetwork(rfc2217 ? server.rfc2217Address() : server.rawAddress()),
             qPrintable(f.desktop.texts().join(u'|')));
    // What Telnet would read as a subnegotiation, and escapes: all of it
    // data.
    const QByteArray data = QByteArray("\xff\xfa,\x01\xff\xf0\0", 7) + QByteArray(300, '\xff') + "\xff\xfa end";

    QVERIFY(board.send(data));
    QTRY_COMPARE_WITH_TIMEOUT(f.rcvText()->exactText().toLatin1(), data, 5000);

    f.setField(QStringLiteral("xmitdelay"), QStringLiteral("0"));
    f.txmText()->setExactText(QString::fromLatin1(data));
    f.main().send();
    QTRY_COMPARE_WITH_TIMEOUT(board.received(), data, 5000);
    QVERIFY(f.desktop.messages.isEmpty());
}

void NetworkTest::serverEndedThenBackReconnects()
{
    REQUIRE_SER2NET();
    test::BoardFixture f;
    test::Ser2net server(f.board.devicePath());
    QVERIFY2(server.start(), qPrintable(server.error()));
    QVERIFY2(f.openNetwork(server.rfc2217Address()), qPrintable(f.desktop.texts().join(u'|')));
    QVERIFY(f.settle());

    server.stop();
    auto* note = f.find<QLabel>(QStringLiteral("lblPortNote"));
    QTRY_VERIFY_WITH_TIMEOUT(!f.port.isOpen() && note->text().contains(QStringLiteral("stopped working")), 5000);
    QVERIFY2(note->text().contains(server.rfc2217Address()), qPrintable(note->text()));
    // Typed while the server is away: not kept to be sent later.
    QTest::keyClicks(f.txmText(), QStringLiteral("]k"));

    QVERIFY2(server.start(), qPrintable(server.error()));
    QTRY_VERIFY_WITH_TIMEOUT(f.port.isOpen(), 15000);
    QVERIFY2(note->text().contains(QStringLiteral("reconnected")), qPrintable(note->text()));
    QVERIFY(f.settle());
    f.click(QStringLiteral("cmdCirc"));
    QVERIFY(f.settle());
    // The view is read back from the board first, as after any reconnect.
    QCOMPARE(f.board.received(), QByteArray(board::kWholeDisplayRead) + "]c]402014");
    QVERIFY(f.desktop.messages.isEmpty());
}

void NetworkTest::silentAddressIsWaitedForWithTheWindowGoingOn()
{
    const quint16 number = test::freeLocalPort();
    auto server = std::make_unique<QTcpServer>();
    QVERIFY(server->listen(QHostAddress::LocalHost, number));
    link::PortMap ports;
    ports.setAddress(QStringLiteral("tcp://127.0.0.1:%1").arg(number));
    link::PortSwitch port(ports);
    port.setPortNumber(link::PortMap::kNetwork);
    port.network().setConnectTimeout(kShortTimeoutMs);
    link::EventLoopPause pause;
    link::Connection connection(port, pause);
    link::Reconnector reconnector(connection, ports);
    QSignalSpy failed(&reconnector, &link::Reconnector::reopenFailed);
    QSignalSpy reconnected(&reconnector, &link::Reconnector::reconnected);
    QVERIFY2(connection.open(), qPrintable(port.failureHint()));
    QTRY_VERIFY(server->hasPendingConnections());
    server->nextPendingConnection()->abort();
    server.reset();
    QTRY_VERIFY(reconnector.isWaiting());
    auto silent = std::make_unique<SilentPort>(number);
    QVERIFY(silent->ok());

    // Ticks taken inside an event loop of the attempt's own are ticks the
    // window's input would wait through.
    const int level = QThread::currentThread()->loopLevel();
    int turns = 0;
    int held = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { ++(QThread::currentThread()->loopLevel() > level ? held : turns); });
    ticker.start(50);
    // Told after the second attempt without an answer.
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 15000);
    const QString reason = failed[0][1].toString();
    QVERIFY2(reason.contains(QStringLiteral("no answer within")), qPrintable(reason));
    QCOMPARE(held, 0);
    QVERIFY(turns > 0);

    // The address answers again: the connection it answered on is the one used.
    silent.reset();
    server = std::make_unique<QTcpServer>();
    QVERIFY(server->listen(QHostAddress::LocalHost, number));
    QTRY_COMPARE_WITH_TIMEOUT(reconnected.size(), 1, 15000);
    QCOMPARE(held, 0);
    QTRY_VERIFY(server->hasPendingConnections());
    QTcpSocket* back = server->nextPendingConnection();
    QVERIFY(!server->hasPendingConnections());
    QVERIFY(connection.writeCharacter(u'k'));
    QByteArray arrived;
    QTRY_COMPARE((arrived += back->readAll()), QByteArray("k"));
}

void NetworkTest::handshakeNeverHoldsTheWindow()
{
    REQUIRE_SER2NET();
    test::BoardFixture f;
    f.port.network().setConnectTimeout(kShortTimeoutMs);
    // Ticks taken inside an event loop of an attempt's own are ticks the
    // window's input would wait through.
    const int level = QThread::currentThread()->loopLevel();
    int turns = 0;
    int held = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { ++(QThread::currentThread()->loopLevel() > level ? held : turns); });
    ticker.start(20);

    // A server that takes every connection and never says a word.
    auto mute = std::make_unique<QTcpServer>();
    QVERIFY(mute->listen(QHostAddress::LocalHost));
    const QString silent = QStringLiteral("rfc2217://127.0.0.1:%1").arg(mute->serverPort());
    f.find<QComboBox>(QStringLiteral("cboAddress"))->setCurrentText(silent);
    f.find<QRadioButton>(QStringLiteral("optNetwork"))->setChecked(true);
    f.click(QStringLiteral("cmdCom"));
    // The window says it is connecting, and goes on.
    auto* button = f.find<QPushButton>(QStringLiteral("cmdCom"));
    QCOMPARE(button->text(), QStringLiteral("Close"));
    QCOMPARE(f.find<QLabel>(QStringLiteral("comm"))->text(), QStringLiteral("Busy"));
    const QString note = f.find<QLabel>(QStringLiteral("lblPortNote"))->toolTip();
    QVERIFY2(note.contains(QStringLiteral("Connecting to %1").arg(silent)), qPrintable(note));
    QTRY_VERIFY(mute->hasPendingConnections());
    QTest::qWait(200);
    // Close gives up at once, with nothing to say.
    f.click(QStringLiteral("cmdCom"));
    QVERIFY(!f.port.opening());
    QVERIFY(!f.port.isOpen());
    QCOMPARE(button->text(), QStringLiteral("&Open"));
    QCOMPARE(f.find<QLabel>(QStringLiteral("comm"))->text(), QStringLiteral("OFF"));
    QCOMPARE(f.desktop.texts(), QStringList());

    // Open on a server, which then ends; the same address answers again,
    // silently: each try to reconnect goes on with the window.
    test::Ser2net server(f.board.devicePath());
    QVERIFY2(server.start(), qPrintable(server.error()));
    const QString address = server.rfc2217Address();
    QVERIFY2(f.openNetwork(address), qPrintable(f.desktop.texts().join(u'|')));
    auto* lossNote = f.find<QLabel>(QStringLiteral("lblPortNote"));
    server.stop();
    QTRY_VERIFY(lossNote->toolTip().contains(QStringLiteral("it opens again when it is back")));
    mute = std::make_unique<QTcpServer>();
    QVERIFY(mute->listen(QHostAddress::LocalHost, quint16(address.section(u':', -1).toUInt())));
    // Told after the second try that met no answer.
    QTRY_VERIFY_WITH_TIMEOUT(lossNote->toolTip().contains(QStringLiteral("trying again")), 15000);
    QVERIFY2(lossNote->toolTip().contains(QStringLiteral("in time")), qPrintable(lossNote->toolTip()));
    QCOMPARE(held, 0);
    QVERIFY(turns > 0);
}

void NetworkTest::closeRightAfterASendLosesNothing_data()
{
    QTest::addColumn<bool>("rfc2217");
    QTest::newRow("raw") << false;
    QTest::newRow("rfc2217") << true;
}

void NetworkTest::closeRightAfterASendLosesNothing()
{
    QFETCH(bool, rfc2217);
    REQUIRE_SER2NET();
    board::VirtualBoard board;
    QVERIFY2(board.start(), qPrintable(board.errorString()));
    test::Ser2net server(board.devicePath());
    QVERIFY2(server.start(), qPrintable(server.error()));
    link::PortMap ports;
    ports.setAddress(rfc2217 ? server.rfc2217Address() : server.rawAddress());
    link::PortSwitch port(ports);
    port.setPortNumber(link::PortMap::kNetwork);
    link::EventLoopPause pause;
    link::Connection connection(port, pause);
    // Each closed as soon as its frame has gone to the server, and opened
    // again at once, which makes the server start the line afresh.
    const QString frame = QStringLiteral("]h]0A04]V]A]R]N]I]X]@");
    QByteArray sent;
    for (int i = 0; i < 10; ++i) {
        QVERIFY2(connection.open(), qPrintable(port.failureReason()));
        QCOMPARE(connection.transmit(frame, std::nullopt, 0), link::Transmitter::Outcome::Sent);
        connection.close();
        sent += frame.toLatin1();
    }
    QTRY_COMPARE(board.received(), sent);
}

void NetworkTest::givenPortOpensAndTheLogNamesIt_data()
{
    QTest::addColumn<bool>("network");
    QTest::newRow("device") << false;
    QTest::newRow("address") << true;
}

void NetworkTest::givenPortOpensAndTheLogNamesIt()
{
    QFETCH(bool, network);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    test::BoardFixture f;
    const QString name =
        network ? QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort()) : f.board.devicePath();
    QTemporaryDir dir;
    const QString before = dir.filePath(QStringLiteral("before.log"));
    const QString after = dir.filePath(QStringLiteral("after.log"));
    // As `varnix --log FILE --port NAME` starts the window.
    QVERIFY(f.main().startLog(before));
    f.main().openPort(name);
    QTRY_VERIFY2_WITH_TIMEOUT(f.port.isOpen(), qPrintable(f.desktop.texts().join(u'|')), 15000);
    QCOMPARE(f.port.device(), name);
    QCOMPARE(f.find<QLabel>(QStringLiteral("comm"))->text(), QStringLiteral("ON"));
    QVERIFY(f.main().startLog(after));

    const auto text = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    const QString opened = text(before);
    QVERIFY2(opened.contains(QStringLiteral("* opened %1, 19200,n,8,1\n").arg(name)), qPrintable(opened));
    const QString header = text(after).section(u'\n', 0, 0);
    QVERIFY2(header.contains(QStringLiteral("session log: %1, 19200,n,8,1,").arg(name)), qPrintable(header));
}

void NetworkTest::failuresAreOneMessageInBoundedTime_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("reason");
    // Nothing listens there: refused at once.
    const quint16 closed = test::freeLocalPort();
    QTest::newRow("refused") << QStringLiteral("tcp://127.0.0.1:%1").arg(closed)
                             << QStringLiteral("the connection was refused");
    QTest::newRow("unresolvable") << QStringLiteral("rfc2217://no-such-board.invalid:2000")
                                  << QStringLiteral("does not resolve");
    QTest::newRow("silent server") << QStringLiteral("silent") << QStringLiteral("in time");
    QTest::newRow("settings refused") << QStringLiteral("9600 only")
                                      << QStringLiteral("refused the line settings (baud rate 19200 asked, "
                                                        "baud rate 9600 set)");
    QTest::newRow("not an address") << QStringLiteral("rfc2217://board") << QStringLiteral("tcp://HOST:PORT");
    QTest::newRow("an address of 5000 characters")
        << QStringLiteral("rfc2217://%1:2000").arg(QString(5000, u'b')) << QStringLiteral("is not a host name");
}

void NetworkTest::failuresAreOneMessageInBoundedTime()
{
    QFETCH(QString, address);
    QFETCH(QString, reason);
    // A server that takes the connection and never says a word, or one that
    // agrees to COM Port Control and keeps its line at 9600,n,8,1.
    QTcpServer server;
    if (!address.contains(QLatin1String("://"))) {
        QVERIFY(server.listen(QHostAddress::LocalHost));
        if (address != u"silent") {
            static const char answers[] = "\xff\xfd,\xff\xfa,e\0\0\x25\x80\xff\xf0\xff\xfa,f\x08\xff\xf0"
                                          "\xff\xfa,g\x01\xff\xf0\xff\xfa,h\x01\xff\xf0";
            QObject::connect(&server, &QTcpServer::newConnection, &server, [&server] {
                server.nextPendingConnection()->write(answers, sizeof answers - 1);
            });
        }
        address = QStringLiteral("rfc2217://127.0.0.1:%1").arg(server.serverPort());
    }
    test::BoardFixture f;
    f.port.network().setConnectTimeout(kShortTimeoutMs);
    QElapsedTimer took;
    took.start();
    QVERIFY(!f.openNetwork(address));
    QVERIFY(took.elapsed() < kShortTimeoutMs + 1500);
    QCOMPARE(f.desktop.texts().size(), 1);
    const QString text = f.desktop.texts()[0];
    // An address is quoted in part, however long.
    QVERIFY2(text.contains(address.left(30)) && text.contains(reason) && text.size() < 300, qPrintable(text));
    QCOMPARE(f.find<QLabel>(QStringLiteral("comm"))->text(), QStringLiteral("OFF"));
}

void NetworkTest::commandLineRunsAndVerifiesOverRfc2217()
{
    REQUIRE_SER2NET();
    board::VirtualBoard board;
    QVERIFY2(board.start(), qPrintable(board.errorString()));
    test::Ser2net server(board.devicePath());
    QVERIFY2(server.start(), qPrintable(server.error()));
    QTemporaryDir dir;
    QProcess program;
    QSignalSpy finished(&program, &QProcess::finished);
    program.start(QStringLiteral(VARNIX_PROGRAM), {"--run", test::writeScriptFile(dir, "]k\n]c]402014\n"), "--port",
                                                    server.rfc2217Address(), "--verify", "--delay", "0"});
    // The board answers from this process's event loop.
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 30000);
    QVERIFY2(program.exitCode() == 0, program.readAllStandardError().constData());
    QVERIFY(program.readAllStandardOutput().contains("verify: "));
    QCOMPARE(board.received().left(11), QByteArray("]k]c]402014"));
}

void NetworkTest::lossIsToldOnceWhateverTheMoment_data()
{
    QTest::addColumn<QString>("moment");
    QTest::addColumn<bool>("reconnect");
    for (const bool reconnect : {false, true}) {
        for (const char* moment : {"idle", "pause", "room", "script", "read"})
            QTest::addRow("%s, reconnect %s", moment, reconnect ? "on" : "off") << QString::fromLatin1(moment)
                                                                               << reconnect;
    }
}

void NetworkTest::lossIsToldOnceWhateverTheMoment()
{
    QFETCH(QString, moment);
    QFETCH(bool, reconnect);
    const QByteArray read(board::kWholeDisplayRead);
    // In the pause before the second "]" of a frame, in a script's frame, or
    // with the read sent and its answer awaited.
    ClosingServer server(moment == u"read" ? read.size() : moment == u"idle" ? 1 << 20 : 2,
                         moment == u"read" ? 100 : 0, moment != u"room");
    QVERIFY(server.isListening());
    // A read's answer awaited would take them as the board's answer.
    if (moment == u"read")
        server.lastWords.clear();
    QTemporaryDir dir;
    test::BoardFixture f;
    f.find<QCheckBox>(QStringLiteral("chkReconnect"))->setChecked(reconnect);
    QVERIFY(f.main().startLog(dir.filePath(QStringLiteral("session.log"))));
    test::showActive(f);
    QVERIFY(f.openNetwork(server.address()));
    QTRY_COMPARE(server.connections, 1);
    // The port panel, and where the receive window starts (it loses the
    // line that says the port is open).
    auto* cmdCom = f.find<QPushButton>(QStringLiteral("cmdCom"));
    const QWidget* panel[] = {cmdCom->parentWidget(), f.find<QWidget>(QStringLiteral("cmdComSet"))->parentWidget()};
    const auto places = [&] {
        QList<QRect> places;
        for (const QWidget* w : panel)
            places << QRect(w->mapTo(&f.main(), QPoint()), w->size());
        return places << QRect(f.rcvText()->mapTo(&f.main(), QPoint()), QSize());
    };
    const QList<QRect> before = places();
    QSignalSpy lost(&f.port, &link::SerialPort::lost);

    if (moment == u"idle") {
        server.closeNow();
        QTRY_COMPARE(lost.size(), 1);
    } else if (moment == u"pause") {
        f.setField(QStringLiteral("xmitdelay"), QStringLiteral("200"));
        f.setField(QStringLiteral("txmText"), QStringLiteral("]c]402014"));
        f.main().send();
    } else if (moment == u"room") {
        // The server closes once a write waits for it to take more.
        const int level = QThread::currentThread()->loopLevel();
        bool closedWhileWaiting = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (QThread::currentThread()->loopLevel() > level && !closedWhileWaiting) {
                closedWhileWaiting = true;
                server.closeNow();
            }
        });
        watch.start(10);
        f.setField(QStringLiteral("xmitdelay"), QStringLiteral("0"));
        f.txmText()->setExactText(QString(link::kMaxFrameLength, u'a'));
        for (int i = 0; i < 5 && f.port.isOpen(); ++i)
            f.main().send();
        QVERIFY(closedWhileWaiting);
    } else {
        // A click on "Close" made while the run holds the window's input is
        // handed on after the run, when the port has been lost.
        server.onBytes = [cmdCom] { QTest::mouseClick(cmdCom, Qt::LeftButton); };
    }
    if (moment == u"script") {
        f.setField(QStringLiteral("xmitdelay"), QStringLiteral("20"));
        f.desktop.openPath = test::writeScriptFile(dir, "]c]402014\n]k\n");
        f.click(QStringLiteral("cmdRunScript"));
    } else if (moment == u"read") {
        f.click(QStringLiteral("cmdReadBoard"));
    }

    // Closed and told by the time the action returns, in a note, never in a
    // box.
    auto* note = f.find<QLabel>(QStringLiteral("lblPortNote"));
    QCOMPARE(lost.size(), 1);
    QVERIFY(!f.port.isOpen());
    QCOMPARE(f.find<QLabel>(QStringLiteral("comm"))->text(), QStringLiteral("OFF"));
    QCOMPARE(cmdCom->text(), QStringLiteral("Open"));
    QVERIFY(!note->isHidden());
    QVERIFY(f.desktop.messages.isEmpty());

    // Held clicks handed on, and the window laid out again: the note moved
    // nothing, and opened nothing.
    QTest::qWait(50);
    QCOMPARE(places(), before);
    const QString waiting = reconnect ? QStringLiteral("it opens again") : QStringLiteral("press Open");
    QVERIFY2(note->text().contains(server.address() + QStringLiteral(" stopped working")), qPrintable(note->text()));
    QVERIFY2(note->toolTip().contains(waiting), qPrintable(note->toolTip()));
    QCOMPARE(server.connections, 1);
    if (reconnect) {
        QTRY_VERIFY_WITH_TIMEOUT(f.port.isOpen() && note->text().contains(QStringLiteral("shows what the board")),
                                 5000);
    }
    // Nothing else opened it; the loss was told once.
    QCOMPARE(server.connections, reconnect ? 2 : 1);
    QCOMPARE(f.port.isOpen(), reconnect);
    QCOMPARE(lost.size(), 1);
    f.main().startLog(dir.filePath(QStringLiteral("next.log")));
    QFile log(dir.filePath(QStringLiteral("session.log")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray logged = log.readAll();
    QCOMPARE(logged.count("* lost"), 1);
    // What the server said before it closed was received, before the loss.
    // (A server that closes with bytes of ours unread resets the connection
    // instead, and what it sent may go with it.)
    if (moment != u"room" && moment != u"read") {
        QVERIFY2(logged.contains(" < Bye."), logged.constData());
        QVERIFY(logged.indexOf(" < Bye.") < logged.indexOf("* lost"));
    }
}

VARNIX_TEST_MAIN(NetworkTest)
#include "tst_network.moc"
