// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testmain.h"
#include "protocol/numbers.h"

#include <QtTest>

#include <clocale>
#include <cmath>
#include <limits>

using namespace varnix::protocol;

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();

// Exact comparison: QCOMPARE on doubles is fuzzy, which would hide a reading
// that is off in the last bits.
bool sameValue(double actual, double expected)
{
    return actual == expected || (std::isnan(actual) && std::isnan(expected));
}

QByteArray describe(double actual, double expected)
{
    return QByteArray::number(actual, 'g', 17) + " != " + QByteArray::number(expected, 'g', 17);
}

} // namespace

class TestNumbers : public QObject
{
    Q_OBJECT

private slots:
    void leadingNumberReads_data();
    void leadingNumberReads();
    void textNumberReads_data();
    void textNumberReads();
    void roundsHalfToEven_data();
    void roundsHalfToEven();
    void roundsIntoNarrowTypes();
    void decimalTextIsPlain_data();
    void decimalTextIsPlain();
    void readingIgnoresTheLocale();
};

void TestNumbers::leadingNumberReads_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("letters") << "abc" << 0.0;
    QTest::newRow("whole") << "127" << 127.0;
    QTest::newRow("leading zeros") << "00012" << 12.0;
    QTest::newRow("number then letters") << "12a" << 12.0;
    QTest::newRow("blank inside digits") << "1 2" << 12.0;
    QTest::newRow("blank after sign") << " - 5" << -5.0;
    QTest::newRow("tabs around") << "\t7\t" << 7.0;
    QTest::newRow("plus sign") << "+3" << 3.0;
    QTest::newRow("two signs") << "--5" << 0.0;
    QTest::newRow("lone sign") << "-" << 0.0;
    QTest::newRow("lone point") << "." << 0.0;
    QTest::newRow("fraction") << "-2.5" << -2.5;
    QTest::newRow("point first") << ".5" << 0.5;
    QTest::newRow("point last") << "5." << 5.0;
    QTest::newRow("second point stops") << "1.2.3" << 1.2;
    QTest::newRow("comma stops") << "12,5" << 12.0;
    QTest::newRow("tenth exact") << "0.1" << 0.1;
    QTest::newRow("exponent E") << "1E3" << 1000.0;
    QTest::newRow("exponent e") << "1e3" << 1000.0;
    QTest::newRow("exponent D") << "2.5D1" << 25.0;
    QTest::newRow("exponent d negative") << "2.5d-1" << 0.25;
    QTest::newRow("exponent without digits") << "1e" << 1.0;
    QTest::newRow("exponent sign only") << "1e+" << 1.0;
    QTest::newRow("blanks in exponent") << "1 e - 2" << 0.01;
    QTest::newRow("second exponent stops") << "1e2e3" << 100.0;
    QTest::newRow("other script digit") << QString(QChar(0x0663)) << 0.0;
    QTest::newRow("many digits") << "123456789012345678901234567890" << 1.2345678901234568e29;
    QTest::newRow("overflow") << "1e400" << inf;
    QTest::newRow("negative overflow") << "-1e400" << -inf;
    QTest::newRow("underflow") << "1e-400" << 0.0;
    QTest::newRow("huge exponent") << "1e99999999999999999999" << inf;
    QTest::newRow("long fraction, large exponent")
        << "0." + QString(400, u'0') + "1e405" << 10000.0;
    QTest::newRow("long integer, small exponent") << "1" + QString(400, u'0') + "e-400" << 1.0;
}

void TestNumbers::leadingNumberReads()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    const double actual = leadingNumber(text);
    QVERIFY2(sameValue(actual, expected), describe(actual, expected));
}

void TestNumbers::textNumberReads_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("expected");

    QTest::newRow("whole") << "12" << true << 12.0;
    QTest::newRow("blanks and tabs around") << " 12\t" << true << 12.0;
    QTest::newRow("padded address") << "0016" << true << 16.0;
    QTest::newRow("negative caption") << "-0001" << true << -1.0;
    QTest::newRow("plus") << "+5" << true << 5.0;
    QTest::newRow("point last") << "5." << true << 5.0;
    QTest::newRow("point first") << ".5" << true << 0.5;
    QTest::newRow("exponent") << "1e3" << true << 1000.0;
    QTest::newRow("exponent D") << "1D3" << true << 1000.0;
    QTest::newRow("exponent d negative") << "2.5d-1" << true << 0.25;
    QTest::newRow("overflow") << "1e400" << true << inf;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("blanks only") << "  \t" << false << 0.0;
    QTest::newRow("letters") << "abc" << false << 0.0;
    QTest::newRow("number then letters") << "12a" << false << 0.0;
    QTest::newRow("blank inside") << "1 2" << false << 0.0;
    QTest::newRow("blank after sign") << "- 5" << false << 0.0;
    QTest::newRow("lone sign") << "-" << false << 0.0;
    QTest::newRow("lone point") << "." << false << 0.0;
    QTest::newRow("exponent without digits") << "1e" << false << 0.0;
    QTest::newRow("exponent sign only") << "1e+" << false << 0.0;
    QTest::newRow("two points") << "1.2.3" << false << 0.0;
    QTest::newRow("comma") << "12,5" << false << 0.0;
    QTest::newRow("euro sign") << "\u20ac" << false << 0.0;
}

void TestNumbers::textNumberReads()
{
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(double, expected);
    const auto actual = textNumber(text);
    QCOMPARE(actual.has_value(), isNumber);
    if (actual)
        QVERIFY2(sameValue(*actual, expected), describe(*actual, expected));
}

void TestNumbers::roundsHalfToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<qint64>("expected");

    QTest::newRow("0.5") << 0.5 << true << qint64(0);
    QTest::newRow("1.5") << 1.5 << true << qint64(2);
    QTest::newRow("2.5") << 2.5 << true << qint64(2);
    QTest::newRow("3.5") << 3.5 << true << qint64(4);
    QTest::newRow("-0.5") << -0.5 << true << qint64(0);
    QTest::newRow("-1.5") << -1.5 << true << qint64(-2);
    QTest::newRow("-2.5") << -2.5 << true << qint64(-2);
    QTest::newRow("just below half") << 2.4999999 << true << qint64(2);
    QTest::newRow("just above half") << 2.5000001 << true << qint64(3);
    QTest::newRow("largest below 0.5") << 0.49999999999999994 << true << qint64(0);
    QTest::newRow("2^52 + 1") << 4503599627370497.0 << true << qint64(4503599627370497);
    QTest::newRow("lowest int64") << -9223372036854775808.0 << true
                                  << std::numeric_limits<qint64>::min();
    QTest::newRow("2^63") << 9223372036854775808.0 << false << qint64(0);
    QTest::newRow("nan") << std::nan("") << false << qint64(0);
    QTest::newRow("infinity") << inf << false << qint64(0);
}

void TestNumbers::roundsHalfToEven()
{
    QFETCH(double, value);
    QFETCH(bool, fits);
    QFETCH(qint64, expected);
    const auto actual = roundHalfEven(value);
    QCOMPARE(actual.has_value(), fits);
    if (actual)
        QCOMPARE(*actual, expected);
}

void TestNumbers::roundsIntoNarrowTypes()
{
    QCOMPARE(roundHalfEvenInt32(2147483647.4), std::optional<std::int32_t>(2147483647));
    QCOMPARE(roundHalfEvenInt32(2147483647.5), std::nullopt); // rounds to 2^31
    QCOMPARE(roundHalfEvenInt32(-2147483648.5), std::optional<std::int32_t>(-2147483647 - 1));
    QCOMPARE(roundHalfEvenInt32(-2147483649.0), std::nullopt);
    QCOMPARE(roundHalfEvenInt16(2.5), std::optional<std::int16_t>(2));
    QCOMPARE(roundHalfEvenInt16(32767.0), std::optional<std::int16_t>(32767));
    QCOMPARE(roundHalfEvenInt16(32767.5), std::nullopt);
    QCOMPARE(roundHalfEvenInt16(-32768.5), std::optional<std::int16_t>(-32768));
    QCOMPARE(roundHalfEvenInt16(-32769.0), std::nullopt);
}

void TestNumbers::decimalTextIsPlain_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("one") << 1.0 << "1";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("negative") << -3.0 << "-3";
    QTest::newRow("half") << 2.5 << "2.5";
    QTest::newRow("tenth") << 0.1 << "0.1";
    QTest::newRow("fraction digits") << 123.456 << "123.456";
    QTest::newRow("large, no exponent") << 1e20 << "100000000000000000000";
    QTest::newRow("small, no exponent") << 1e-5 << "0.00001";
}

void TestNumbers::decimalTextIsPlain()
{
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(decimalText(value), expected);
}

void TestNumbers::readingIgnoresTheLocale()
{
    const QByteArray saved = std::setlocale(LC_ALL, nullptr);
    const char* commaLocale = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8"}) {
        if (std::setlocale(LC_ALL, name)) {
            commaLocale = name;
            break;
        }
    }
    if (!commaLocale)
        QSKIP("No locale with a decimal comma is installed");

    const double point = leadingNumber(u"2.5");
    const double comma = leadingNumber(u"2,5");
    const auto whole = textNumber(u"1.25");
    const QString text = decimalText(2.5);
    std::setlocale(LC_ALL, saved.constData());

    QVERIFY2(sameValue(point, 2.5), describe(point, 2.5));
    QVERIFY2(sameValue(comma, 2.0), describe(comma, 2.0));
    QCOMPARE(whole, std::optional<double>(1.25));
    QCOMPARE(text, QStringLiteral("2.5"));
}

VARNIX_TEST_MAIN(TestNumbers)
#include "tst_numbers.moc"
