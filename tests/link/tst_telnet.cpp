// SPDX-License-Identifier: GPL-3.0-or-later
// The network address and the Telnet client's parser, by table.
#include "link/core/networkaddress.h"
#include "link/core/telnet.h"
#include "support/testmain.h"

#include <QTest>

using namespace varnix;
using link::TelnetParser;

Q_DECLARE_METATYPE(QList<QByteArray>)

namespace {
// Every byte of a literal, NULs too.
template <std::size_t N>
QByteArray raw(const char (&bytes)[N])
{
    return QByteArray(bytes, N - 1);
}
} // namespace

class TelnetTest : public QObject
{
    Q_OBJECT
private slots:
    void addresses_data();
    void addresses();
    void parser_data();
    void parser();
    void comPortAgreementAndRefusal();
    void encodesForTheServer();
};

void TelnetTest::addresses_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("parsed"); // kind host port, or the refusal's part
    QTest::newRow("rfc2217 name") << "rfc2217://rack-3.lab:2001" << "R rack-3.lab 2001";
    QTest::newRow("tcp ipv4") << "tcp://10.0.0.7:4000" << "T 10.0.0.7 4000";
    QTest::newRow("scheme case") << "TCP://host:1" << "T host 1";
    QTest::newRow("ipv6") << "rfc2217://[fe80::1]:65535" << "R fe80::1 65535";
    QTest::newRow("bare ipv6") << "tcp://fe80::1:80" << "in brackets";
    QTest::newRow("ipv6 without port") << "tcp://[::1]" << "needs :PORT";
    QTest::newRow("not ipv6 in brackets") << "tcp://[host]:80" << "not an IPv6 address";
    QTest::newRow("port 0") << "tcp://host:0" << "from 1 to 65535";
    QTest::newRow("port too big") << "tcp://host:65536" << "from 1 to 65535";
    QTest::newRow("port sign") << "tcp://host:+80" << "from 1 to 65535";
    QTest::newRow("no port") << "tcp://host" << "port is missing";
    QTest::newRow("empty port") << "tcp://host:" << "from 1 to 65535";
    QTest::newRow("no host") << "tcp://:80" << "host is missing";
    QTest::newRow("path") << "tcp://host/x:80" << "not a host name";
    QTest::newRow("other scheme") << "telnet://host:23" << "not rfc2217 or tcp";
    QTest::newRow("device") << "/dev/ttyUSB0" << "not rfc2217 or tcp";
}

void TelnetTest::addresses()
{
    QFETCH(QString, text);
    QFETCH(QString, parsed);
    const auto result = link::parseNetworkAddress(text);
    if (const auto* address = std::get_if<link::NetworkAddress>(&result)) {
        const QString kind = address->kind == link::NetworkAddress::Kind::Rfc2217 ? "R" : "T";
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(kind, address->host).arg(address->port), parsed);
        QVERIFY(std::holds_alternative<link::NetworkAddress>(link::parseNetworkAddress(address->text())));
        return;
    }
    const QString refusal = std::get<link::AddressError>(result).text;
    QVERIFY2(refusal.contains(parsed) && refusal.contains(QLatin1String(link::kAddressForms))
                 && !refusal.contains(u'\n'),
             qPrintable(refusal));
}

void TelnetTest::parser_data()
{
    // The server's bytes in pieces as they arrive; what comes out.
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QByteArray>("comPort"); // command then value, of each message, joined

    QTest::newRow("plain") << QList<QByteArray>{"Ready:\r\n"} << QByteArray("Ready:\r\n") << QByteArray()
                           << QByteArray();
    QTest::newRow("escaped 255") << QList<QByteArray>{"a\xff\xff" "b"} << QByteArray("a\xff" "b") << QByteArray()
                                 << QByteArray();
    QTest::newRow("255 split across reads") << QList<QByteArray>{"a\xff", "\xff" "b"} << QByteArray("a\xff" "b")
                                            << QByteArray() << QByteArray();
    QTest::newRow("nop and go-ahead dropped") << QList<QByteArray>{"x\xff\xf1y\xff\xf9z"} << QByteArray("xyz")
                                              << QByteArray() << QByteArray();
    QTest::newRow("unknown option refused") << QList<QByteArray>{"\xff\xfd\x18", "\xff\xfb\x1f"} << QByteArray()
                                            << QByteArray("\xff\xfc\x18\xff\xfe\x1f") << QByteArray();
    QTest::newRow("offer taken once") << QList<QByteArray>{"\xff\xfb\x01\xff\xfb\x01"} << QByteArray()
                                      << QByteArray("\xff\xfd\x01") << QByteArray();
    QTest::newRow("command split") << QList<QByteArray>{"\xff", "\xfd", "\x18" "ok"} << QByteArray("ok")
                                   << QByteArray("\xff\xfc\x18") << QByteArray();
    QTest::newRow("baud answer split, 255 in value")
        << QList<QByteArray>{raw("\xff\xfa,e\x00\x00\xff"), "\xff\xff\xf0" "A"} << QByteArray("A") << QByteArray()
        << QByteArray("e\x00\x00\xff", 4);
    QTest::newRow("other subnegotiation dropped") << QList<QByteArray>{raw("\xff\xfa\x18\x00xterm\xff\xf0" "B")}
                                                  << QByteArray("B") << QByteArray() << QByteArray();
    QTest::newRow("command ends a subnegotiation") << QList<QByteArray>{"\xff\xfa,f\x03\xff\xfd\x18" "C"}
                                                   << QByteArray("C") << QByteArray("\xff\xfc\x18") << QByteArray();
    QTest::newRow("NUL after CR not in binary") << QList<QByteArray>{"a\r", QByteArray("\0b\0", 3)}
                                                << QByteArray("a\rb\0", 4) << QByteArray() << QByteArray();
}

void TelnetTest::parser()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, reply);
    QFETCH(QByteArray, comPort);
    TelnetParser parser;
    TelnetParser::Output all;
    for (const QByteArray& piece : pieces) {
        const auto out = parser.feed(piece);
        all.data += out.data;
        all.reply += out.reply;
        all.comPort += out.comPort;
    }
    QByteArray messages;
    for (const auto& m : all.comPort)
        messages += char(m.command) + m.value;
    QCOMPARE(all.data, data);
    QCOMPARE(all.reply, reply);
    QCOMPARE(messages, comPort);
}

void TelnetTest::comPortAgreementAndRefusal()
{
    TelnetParser agreed;
    QCOMPARE(agreed.start(true), QByteArray("\xff\xfb\x00\xff\xfd\x00\xff\xfb\x03\xff\xfd\x03\xff\xfb,", 15));
    // Answers to what was asked are not answered again.
    QCOMPARE(agreed.feed(QByteArray("\xff\xfd,\xff\xfb\x00\xff\xfd\x00", 9)).reply, QByteArray());
    QVERIFY(agreed.comPortAgreed());

    TelnetParser refused;
    refused.start(true);
    QCOMPARE(refused.feed("\xff\xfe,").reply, QByteArray());
    QVERIFY(refused.comPortRefused());
    QVERIFY(!refused.comPortAgreed());
}

void TelnetTest::encodesForTheServer()
{
    TelnetParser parser;
    // Before binary is agreed a bare CR is followed by NUL; after, not.
    QCOMPARE(parser.encode("\xff\r"), QByteArray("\xff\xff\r\0", 4));
    parser.start(true);
    parser.feed(raw("\xff\xfd\x00"));
    QCOMPARE(parser.encode("\xff\r"), QByteArray("\xff\xff\r"));
    QCOMPARE(TelnetParser::comPortRequest(TelnetParser::kSetBaudRate, QByteArray("\x00\x00\x25\xff", 4)),
             QByteArray("\xff\xfa,\x01\x00\x00\x25\xff\xff\xff\xf0", 11));
}

VARNIX_TEST_MAIN(TelnetTest)
#include "tst_telnet.moc"
