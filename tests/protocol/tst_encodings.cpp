// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testmain.h"
#include "protocol/encodings.h"

#include <QtTest>

#include <limits>

using namespace varnix::protocol;

namespace {

// "-" stands for "no encoding" in the tables below.
QString orDash(const std::optional<QString>& text)
{
    return text.value_or(QStringLiteral("-"));
}

} // namespace

class TestEncodings : public QObject
{
    Q_OBJECT

private slots:
    void hexPairs_data();
    void hexPairs();
    void hexWords_data();
    void hexWords();
    void fourDigitDecimals_data();
    void fourDigitDecimals();
    void byteLists_data();
    void byteLists();
    void latin1Checks_data();
    void latin1Checks();
    void latin1Upper_data();
    void latin1Upper();
    void pairBytes_data();
    void pairBytes();
};

void TestEncodings::hexPairs_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("lower");
    QTest::addColumn<QString>("upper");

    QTest::newRow("0") << qint64(0) << "00" << "00";
    QTest::newRow("5") << qint64(5) << "05" << "05";
    QTest::newRow("10") << qint64(10) << "0a" << "0A";
    QTest::newRow("127") << qint64(127) << "7f" << "7F";
    QTest::newRow("171") << qint64(171) << "ab" << "AB";
    QTest::newRow("255") << qint64(255) << "ff" << "FF";
    QTest::newRow("256") << qint64(256) << "100" << "100";
    QTest::newRow("300") << qint64(300) << "12c" << "12C";
    QTest::newRow("int32 max") << qint64(2147483647) << "7fffffff" << "7FFFFFFF";
    QTest::newRow("beyond int32") << qint64(2147483648) << "-" << "-";
    QTest::newRow("-1") << qint64(-1) << "-" << "-";
}

void TestEncodings::hexPairs()
{
    QFETCH(qint64, value);
    QFETCH(QString, lower);
    QFETCH(QString, upper);
    QCOMPARE(orDash(hexPair(value)), lower);
    QCOMPARE(orDash(upperHexPair(value)), upper);
}

void TestEncodings::hexWords_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("0") << qint64(0) << "0000";
    QTest::newRow("10") << qint64(10) << "000A";
    QTest::newRow("31") << qint64(31) << "001F";
    QTest::newRow("255") << qint64(255) << "00FF";
    QTest::newRow("4096") << qint64(4096) << "1000";
    QTest::newRow("19997") << qint64(19997) << "4E1D";
    QTest::newRow("65536") << qint64(65536) << "10000";
    QTest::newRow("int32 max") << qint64(2147483647) << "7FFFFFFF";
    QTest::newRow("-1") << qint64(-1) << "FFFFFFFF";
    QTest::newRow("int32 min") << qint64(-2147483648LL) << "80000000";
    QTest::newRow("beyond int32") << qint64(2147483648LL) << "-";
    QTest::newRow("below int32") << qint64(-2147483649LL) << "-";
}

void TestEncodings::hexWords()
{
    QFETCH(qint64, value);
    QFETCH(QString, expected);
    QCOMPARE(orDash(hexWord(value)), expected);
}

void TestEncodings::fourDigitDecimals_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("0") << qint64(0) << "0000";
    QTest::newRow("15") << qint64(15) << "0015";
    QTest::newRow("19997") << qint64(19997) << "19997";
    QTest::newRow("-1") << qint64(-1) << "-0001";
    QTest::newRow("-12345") << qint64(-12345) << "-12345";
    QTest::newRow("int64 min") << std::numeric_limits<qint64>::min() << "-9223372036854775808";
}

void TestEncodings::fourDigitDecimals()
{
    QFETCH(qint64, value);
    QFETCH(QString, expected);
    QCOMPARE(fourDigitDecimal(value), expected);
}

void TestEncodings::byteLists_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << "" << "";
    QTest::newRow("one pair") << "ab" << "]ab";
    QTest::newRow("four pairs") << "41424344" << "]41]42]43]44";
    QTest::newRow("blanks form a pair") << "41  42" << "]41]  ]42";
    QTest::newRow("line break forms a pair") << "41\r\n42" << "]41]\r\n]42";
    QTest::newRow("odd last character kept") << "abc" << "]ab]c";
}

void TestEncodings::byteLists()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(byteList(text), expected);
}

void TestEncodings::latin1Checks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("firstOffender"); // empty: none

    QTest::newRow("empty") << "" << "";
    QTest::newRow("ascii") << "]A;B]@" << "";
    QTest::newRow("y diaeresis is latin-1") << "\u00ff" << "";
    QTest::newRow("euro sign") << "a\u20acb\u0100" << "\u20ac";
    QTest::newRow("a macron") << "\u0100" << "\u0100";
    QTest::newRow("outside the BMP") << "x\U0001F600" << QString(QChar(0xD83D));
}

void TestEncodings::latin1Checks()
{
    QFETCH(QString, text);
    QFETCH(QString, firstOffender);
    const auto offender = firstNonLatin1(text);
    QCOMPARE(isLatin1(text), firstOffender.isEmpty());
    QCOMPARE(offender ? QString(*offender) : QString(), firstOffender);
}

void TestEncodings::latin1Upper_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("letters") << "abc" << "ABC";
    QTest::newRow("already capitals") << "ABC" << "ABC";
    QTest::newRow("digits and marks") << "1;]@ " << "1;]@ ";
    QTest::newRow("accented") << "\u00e9\u00e0" << "\u00c9\u00c0";
    QTest::newRow("y diaeresis stays") << "\u00ff" << "\u00ff";
    QTest::newRow("micro sign stays") << "\u00b5" << "\u00b5";
    QTest::newRow("sharp s stays") << "\u00df" << "\u00df";
    QTest::newRow("euro sign unchanged") << "\u20ac" << "\u20ac";
}

void TestEncodings::latin1Upper()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(varnix::protocol::latin1Upper(text), expected);
}

void TestEncodings::pairBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("bytes"); // hex of what is read, "-" for nothing

    QTest::newRow("plain") << "00ff7A" << 3 << "00ff7a";
    QTest::newRow("a reply's breaks and brackets") << "\r\n01 ]02\r\n03\r\n" << 3 << "010203";
    QTest::newRow("a blank inside a pair") << "0 1" << 1 << "-";
    QTest::newRow("a lone digit") << "010" << 2 << "-";
    QTest::newRow("one byte short") << "0102" << 3 << "-";
    QTest::newRow("one byte over") << "010203" << 2 << "-";
    QTest::newRow("a prompt left in") << "01Ready:" << 1 << "-";
}

void TestEncodings::pairBytes()
{
    QFETCH(QString, text);
    QFETCH(int, count);
    QFETCH(QString, bytes);
    const auto read = varnix::protocol::pairBytes(text, count);
    QCOMPARE(read ? QString::fromLatin1(read->toHex()) : QStringLiteral("-"), bytes);
}

VARNIX_TEST_MAIN(TestEncodings)
#include "tst_encodings.moc"
