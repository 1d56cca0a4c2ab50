// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testmain.h"
#include "script/escapes.h"

#include <QtTest>

using namespace varnix::script;

class TestEscapes : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void everyByteRoundTrips();
    void badEscapes_data();
    void badEscapes();
};

void TestEscapes::roundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");

    QTest::newRow("frame") << "]c]402014" << "]c]402014";
    QTest::newRow("blank kept") << "]p]0a0a] " << "]p]0a0a] ";
    QTest::newRow("line end") << "Ready:\r\n" << "Ready:\\x0d\\x0a";
    QTest::newRow("backslash") << "a\\b" << "a\\\\b";
    QTest::newRow("backslash before x") << "\\x41" << "\\\\x41";
    QTest::newRow("escape and delete") << QString("\x1b\x7f") << "\\x1b\\x7f";
    QTest::newRow("latin-1 high") << QString(QChar(0xe9)) << "\\xe9";
    QTest::newRow("empty") << "" << "";
}

void TestEscapes::roundTrip()
{
    QFETCH(QString, text);
    QFETCH(QString, line);
    QCOMPARE(escaped(text), line);
    QCOMPARE(unescaped(line), std::optional<QString>(text));
}

void TestEscapes::everyByteRoundTrips()
{
    QString all;
    for (int c = 0; c < 256; ++c)
        all += QChar(char16_t(c));
    const QString line = escaped(all);
    for (const QChar c : line)
        QVERIFY(c.unicode() >= 0x20 && c.unicode() < 0x7f);
    QCOMPARE(unescaped(line), std::optional<QString>(all));
    QCOMPARE(unescaped(QStringLiteral("\\x1B\\xE9")), std::optional<QString>(QStringLiteral("\x1b\u00e9")));
}

void TestEscapes::badEscapes_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("badAt");

    QTest::newRow("lone backslash at end") << "]k\\" << 2;
    QTest::newRow("x with one digit") << "ab\\x4" << 2;
    QTest::newRow("x with a non-hex digit") << "\\x4g" << 0;
    QTest::newRow("unknown letter") << "]c\\n" << 2;
    QTest::newRow("wide character") << "\\u263a" << 0;
    QTest::newRow("second escape bad") << "\\x41\\q" << 4;
}

void TestEscapes::badEscapes()
{
    QFETCH(QString, line);
    QFETCH(int, badAt);
    qsizetype at = -1;
    QCOMPARE(unescaped(line, &at), std::nullopt);
    QCOMPARE(at, qsizetype(badAt));
}

VARNIX_TEST_MAIN(TestEscapes)
#include "tst_escapes.moc"
