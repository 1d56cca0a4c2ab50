// SPDX-License-Identifier: GPL-3.0-or-later
// The page "LCD Read/Write" on a pseudo-terminal: Reformat's checks and
// counts, the frames of Write and Read, the two buttons' states, and a block
// read from the board and written back unchanged.
#include "protocol/encodings.h"
#include "support/testmain.h"
#include "transferdriver.h"

using namespace varnix;
using namespace varnix::test;

namespace {
const QStringList kButtons{"cmdlcdfmt", "cmdwritelcd"};
const char* const kCorners[] = {"txtlcdx1", "txtlcdx2", "txtlcdy1", "txtlcdy2"};

void enterCorners(PtyFixture& f, const QStringList& corners)
{
    for (qsizetype i = 0; i < corners.size(); ++i)
        enter(f, kCorners[i], corners[i]);
}
} // namespace

class LcdMemoryTest : public QObject
{
    Q_OBJECT
private slots:
    void reformatAndWrite_data();
    void reformatAndWrite();
    void buttonsFollowTheText();
    void read_data();
    void read();
    void blockReadAndWrittenBackGoesOutAsItCameIn();
};

void LcdMemoryTest::reformatAndWrite_data()
{
    QTest::addColumn<QStringList>("corners"); // X1, X2, Y1, Y2; empty: as at start
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("counts");      // xybytes/txtbytes
    QTest::addColumn<QString>("reformatted");
    QTest::addColumn<QByteArray>("sent");     // by a Write after a Reformat that passed
    QTest::addColumn<QStringList>("messages");

    const QString bytes123 = QStringLiteral("ab").repeated(123);
    const QString list123 = QStringLiteral("]ab").repeated(123);
    QTest::newRow("one cell at start") << QStringList{} << "ff" << "0001/0001" << "]ff"
                                       << QByteArray("]m]00000000]ff") << QStringList{};
    QTest::newRow("four cells") << QStringList{"000", "001", "00", "01"} << "ff00ff00" << "0004/0004"
                                << "]ff]00]ff]00" << QByteArray("]m]00010001]ff]00]ff]00") << QStringList{};
    QTest::newRow("X1 5 before X2 127") << QStringList{"5", "127", "00", "00"} << bytes123 << "0123/0123" << list123
                                        << ("]m]057f0000" + list123).toLatin1() << QStringList{};
    QTest::newRow("full block") << QStringList{"000", "127", "00", "07"} << QStringLiteral("5a").repeated(1024)
                                << "1024/1024" << QStringLiteral("]5a").repeated(1024) << QByteArray()
                                << QStringList{};
    QTest::newRow("three bytes for four cells")
        << QStringList{"000", "001", "00", "01"} << "ff00ff" << "0004/0003" << "ff00ff" << QByteArray()
        << QStringList{QStringLiteral("Sum of X,Y bytes do not equal the text bytes")};
    QTest::newRow("X1 10 after X2 9") << QStringList{"10", "9", "00", "00"} << "ff" << "0000/0000" << "ff"
                                      << QByteArray()
                                      << QStringList{QStringLiteral("Entry Error! Check X1,Y1 and X2,Y2 values")};
    // Not hex: refused before the corners and counts are looked at.
    QTest::newRow("a pasted reply") << QStringList{} << "ffReady:\r\n" << "0000/0000" << "ffReady:\r\n" << QByteArray()
                                    << QStringList{QStringLiteral("Pair 2 (\"Re\", characters 3 and 4) is not two hex "
                                                                  "digits -- recheck entries")};
    QTest::newRow("a blank inside") << QStringList{"000", "001", "00", "00"} << "f f0" << "0000/0000" << "f f0"
                                    << QByteArray()
                                    << QStringList{QStringLiteral("Pair 1 (\"f \", characters 1 and 2) is not two hex "
                                                                  "digits -- recheck entries")};
    QTest::newRow("odd and not hex") << QStringList{} << "Ready:\r\n4" << "0000/0000" << "Ready:\r\n4" << QByteArray()
                                     << QStringList{QStringLiteral("Hex characters must be in pairs -- recheck entries")};
    QTest::newRow("only blanks") << QStringList{} << "   " << "0000/0000" << "   " << QByteArray()
                                 << QStringList{QStringLiteral("Nothing to format!")};
    QTest::newRow("corner empty")
        << QStringList{""} << "ff" << "0000/0000" << "ff" << QByteArray()
        << QStringList{QStringLiteral("X1 on \"LCD Read/Write\" is empty; it must hold one whole number.")};
    QTest::newRow("corner with a fraction")
        << QStringList{"000", "1.5"} << "ff" << "0000/0000" << "ff" << QByteArray()
        << QStringList{QStringLiteral("X2 on \"LCD Read/Write\" must hold one whole number, not \"1.5\".")};
}

void LcdMemoryTest::reformatAndWrite()
{
    QFETCH(QStringList, corners);
    QFETCH(QString, text);
    QFETCH(QString, counts);
    QFETCH(QString, reformatted);
    QFETCH(QByteArray, sent);
    QFETCH(QStringList, messages);

    PtyFixture f;
    openOnPage(f, "cmdlcdfmt");
    enterCorners(f, corners);
    enter(f, "txtlcd", text);
    press(f, "cmdlcdfmt");
    const bool passed = reformatted != text;
    QCOMPARE(shown(f, "xybytes") + u'/' + shown(f, "txtbytes"), counts);
    QCOMPARE(shown(f, "txtlcd"), reformatted);
    QCOMPARE(f.desktop.texts(), messages);
    QCOMPARE(pacingDelay(f), passed ? QStringLiteral("5") : QStringLiteral("20"));
    QCOMPARE(enabled(f, kButtons), passed ? QStringList{"cmdwritelcd"} : kButtons);

    if (!sent.isEmpty()) {
        press(f, "cmdwritelcd");
        expectReceived(f, sent);
        QCOMPARE(f.desktop.texts(), messages);
        QCOMPARE(pacingDelay(f), QStringLiteral("5"));
        QCOMPARE(enabled(f, kButtons), QStringList{"cmdwritelcd"});
    }
}

void LcdMemoryTest::buttonsFollowTheText()
{
    PtyFixture f;
    openOnPage(f, "txtlcd");
    const QString reminder = QStringLiteral("Make sure you Reformat the text before writing");
    auto* area = f.find<TextArea>("txtlcd");
    QCOMPARE(enabled(f, kButtons), QStringList{"cmdlcdfmt"});

    area->setFocus();
    QTest::keyClicks(area, QStringLiteral("ff"));
    QCOMPARE(enabled(f, kButtons), kButtons);
    press(f, "cmdwritelcd"); // not reformatted: reminded, and sent all the same
    QCOMPARE(f.desktop.texts(), QStringList{reminder});

    press(f, "cmdlcdfmt");
    press(f, "cmdwritelcd");
    enter(f, "txtlcd", QString()); // emptied by hand: the four pairs alone
    press(f, "cmdwritelcd");
    expectReceived(f, QByteArray("]m]00000000ff]m]00000000]ff]m]00000000"));
    QCOMPARE(f.desktop.texts(), QStringList{reminder});
    QCOMPARE(enabled(f, kButtons), QStringList{"cmdwritelcd"});

    // Copy makes Reformat available again, even of an empty area.
    press(f, "cdmlcdcopy");
    QCOMPARE(f.desktop.texts().mid(1), QStringList{QStringLiteral("Nothing to there to copy!")});
    QCOMPARE(enabled(f, kButtons), kButtons);

    press(f, "lcrlcdtxt");
    QCOMPARE(enabled(f, kButtons), QStringList{"cmdlcdfmt"});

    f.desktop.messages.clear();
    f.desktop.clipboard = QStringLiteral("ab");
    press(f, "cmdlcdpaste");
    QCOMPARE(area->exactText(), QStringLiteral("ab"));
    press(f, "cmdlcdfmt");
    QCOMPARE(enabled(f, kButtons), QStringList{"cmdwritelcd"});
    f.desktop.clipboard.clear();
    press(f, "cmdlcdpaste");
    QCOMPARE(area->exactText(), QString());
    QCOMPARE(f.desktop.texts(), QStringList{QStringLiteral("Nothing to paste!")});
    QCOMPARE(enabled(f, kButtons), kButtons);
}

void LcdMemoryTest::read_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<QStringList>("corners");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("at start") << true << QStringList{} << QByteArray("]n]00000000") << QStringList{};
    QTest::newRow("whole display") << true << QStringList{"000", "127", "00", "07"} << QByteArray("]n]007f0007")
                                   << QStringList{};
    QTest::newRow("corners not compared") << true << QStringList{"127", "000"} << QByteArray("]n]7f000000")
                                          << QStringList{};
    QTest::newRow("corner not a number")
        << true << QStringList{"000", "000", "0x"} << QByteArray()
        << QStringList{QStringLiteral("Y1 on \"LCD Read/Write\" must hold one whole number, not \"0x\".")};
    QTest::newRow("port closed") << false << QStringList{} << QByteArray()
                                 << QStringList{QStringLiteral("Comm Port Not Open")};
}

void LcdMemoryTest::read()
{
    QFETCH(bool, open);
    QFETCH(QStringList, corners);
    QFETCH(QByteArray, sent);
    QFETCH(QStringList, messages);

    PtyFixture f;
    openOnPage(f, "cmdlcdread", open);
    enterCorners(f, corners);
    enter(f, "txtlcd", QStringLiteral("0102"));
    f.rcvText()->setExactText(QStringLiteral("earlier text"));
    press(f, "cmdlcdread");
    expectReceived(f, sent);
    QCOMPARE(f.desktop.texts(), messages);
    QCOMPARE(shown(f, "txtlcd"), sent.isEmpty() ? QStringLiteral("0102") : QStringLiteral("CLICK HERE"));
    QCOMPARE(f.rcvText()->exactText(), sent.isEmpty() ? QStringLiteral("earlier text") : QString());
    QCOMPARE(pacingDelay(f), QStringLiteral("20"));
}

void LcdMemoryTest::blockReadAndWrittenBackGoesOutAsItCameIn()
{
    PtyFixture f;
    openOnPage(f, "cmdlcdread");
    enterCorners(f, {"000", "015", "00", "01"});
    press(f, "cmdlcdread");
    expectReceived(f, QByteArray("]n]000f0001"));

    QByteArray block;
    for (int i = 0; i < 32; ++i)
        block += char(i * 37 + 5);
    boardAnswers(f, block.toHex() + "Ready:\r\n");
    press(f, "cdmlcdcopy");
    QCOMPARE(f.desktop.clipboard, QString::fromLatin1(block.toHex()));
    press(f, "cmdlcdfmt");
    QCOMPARE(shown(f, "xybytes") + u'/' + shown(f, "txtbytes"), QStringLiteral("0032/0032"));
    press(f, "cmdwritelcd");

    const QByteArray written = "]m]000f0001" + protocol::byteList(QString::fromLatin1(block.toHex())).toLatin1();
    expectReceived(f, "]n]000f0001" + written);
    QCOMPARE(f.desktop.texts(), QStringList{QStringLiteral("Text copied to Clipboad")});
}

VARNIX_TEST_MAIN(LcdMemoryTest)
#include "tst_lcdmemory.moc"
