// SPDX-License-Identifier: GPL-3.0-or-later
// The "Read EEprom" and "Write EEprom" pages on a pseudo-terminal: what
// reaches the board, the end addresses shown, the pacing delay and the
// buttons after each step.
#include "support/testmain.h"
#include "transferdriver.h"

#include <QRadioButton>

using namespace varnix;
using namespace varnix::test;

namespace {
const QStringList kWriteButtons{"cmdechk", "cmdewrite"};
const QString kSelect = QStringLiteral("Please select Internal or External EEprom");

QString backwards(const char* end, const char* start)
{
    return QStringLiteral("The end address %1 lies below the start address %2: nothing was sent.")
        .arg(QLatin1String(end), QLatin1String(start));
}
} // namespace

class EepromTest : public QObject
{
    Q_OBJECT
private slots:
    void read_data();
    void read();
    void reformatAndWrite_data();
    void reformatAndWrite();
    void writeButtonsAndTheBlockKept();
    void typedDigitsGoInLowerCasePastedOnesAsTheyAre();
};

void EepromTest::read_data()
{
    QTest::addColumn<QString>("option");   // clicked first, if any
    QTest::addColumn<QString>("address");  // null: left as it is
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("shownAddress");
    QTest::addColumn<QString>("endAddress");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("at start") << "" << QString() << QString() << "0000" << "0000" << QByteArray("]a]00000000")
                              << QStringList{};
    QTest::newRow("16 from 16, external") << "" << "16" << "16" << "0016" << "0031" << QByteArray("]a]0010001F")
                                          << QStringList{};
    QTest::newRow("16 from 16, internal") << "optxeep2" << "16" << "16" << "0016" << "0031"
                                          << QByteArray("]g]0010001F") << QStringList{};
    QTest::newRow("9999 from 9999") << "" << "9999" << "9999" << "9999" << "19997" << QByteArray("]a]270F4E1D")
                                    << QStringList{};
    QTest::newRow("no bytes at 0") << "" << "0" << "0" << "0000" << "-0001" << QByteArray()
                                   << QStringList{backwards("-0001", "0000")};
    QTest::newRow("address not a number")
        << "" << "12a" << "16" << "12a" << "0027" << QByteArray()
        << QStringList{QStringLiteral("Address must hold one whole number, not \"12a\".")};
    QTest::newRow("address with a fraction")
        << "" << "16.5" << "16" << "16.5" << "0032" << QByteArray()
        << QStringList{QStringLiteral("Address must hold one whole number, not \"16.5\".")};
    QTest::newRow("negative address")
        << "" << "-1" << "2" << "-0001" << "0000" << QByteArray()
        << QStringList{QStringLiteral("Address must give a number of 0 or more, not \"-0001\".")};
    QTest::newRow("write option chosen") << "optWeep1" << QString() << QString() << "0000" << "0000" << QByteArray()
                                         << QStringList{kSelect};
}

void EepromTest::read()
{
    QFETCH(QString, option);
    QFETCH(QString, address);
    QFETCH(QString, number);
    QFETCH(QString, shownAddress);
    QFETCH(QString, endAddress);
    QFETCH(QByteArray, sent);
    QFETCH(QStringList, messages);

    PtyFixture f;
    openOnPage(f, "cmderead");
    if (!option.isEmpty())
        f.find<QRadioButton>(option)->click();
    if (!address.isNull())
        enter(f, "txteraddr", address);
    if (!number.isNull())
        enter(f, "txtebytes", number);
    f.rcvText()->setExactText(QStringLiteral("earlier text"));
    press(f, "cmderead");

    QCOMPARE(f.find<LineField>("txteraddr")->exactText(), shownAddress);
    QCOMPARE(shown(f, "readeep"), endAddress);
    expectReceived(f, sent);
    QCOMPARE(f.desktop.texts(), messages);
    // A read that goes out prompts for the reply and clears the window for it.
    QCOMPARE(shown(f, "txteread"), sent.isEmpty() ? QString() : QStringLiteral("CLICK HERE"));
    QCOMPARE(f.rcvText()->exactText(), sent.isEmpty() ? QStringLiteral("earlier text") : QString());
}

void EepromTest::reformatAndWrite_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("endAddress");
    QTest::addColumn<QString>("reformatted");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("four bytes at 16, external")
        << "optWeep1" << "16" << "41424344" << "0019" << "]41]42]43]44]" << QByteArray("]o]00100013]41]42]43]44]")
        << QStringList{};
    QTest::newRow("four bytes at 16, internal")
        << "optweep2" << "16" << "41424344" << "0019" << "]41]42]43]44]" << QByteArray("]w]00100013]41]42]43]44]")
        << QStringList{};
    QTest::newRow("one byte at 0") << "optWeep1" << "0000" << "ab" << "0000" << "]ab]" << QByteArray("]o]00000000]ab]")
                                   << QStringList{};
    QTest::newRow("blanks around") << "optWeep1" << "0" << " 4142 " << "0001" << "]41]42]"
                                   << QByteArray("]o]00000001]41]42]") << QStringList{};
    // Reformat refuses a pair that is not two hex digits, and changes nothing.
    const QString pairs = QStringLiteral("Hex characters must be in pairs -- recheck entries");
    auto notHex = [](const char* pair) {
        return QStringList{QString::fromUtf8(pair) + QStringLiteral(" is not two hex digits -- recheck entries")};
    };
    QTest::newRow("two blanks inside") << "optWeep1" << "0" << " 41  42" << "0000" << " 41  42" << QByteArray()
                                       << notHex("Pair 2 (\"  \", characters 4 and 5)");
    QTest::newRow("a pasted reply") << "optWeep1" << "0" << "41424344Ready:\r\n" << "0000" << "41424344Ready:\r\n"
                                    << QByteArray() << notHex("Pair 5 (\"Re\", characters 9 and 10)");
    QTest::newRow("a line break") << "optWeep1" << "0" << "4142\r\n4344" << "0000" << "4142\r\n4344" << QByteArray()
                                  << notHex("Pair 3 (\"\u240d\u240a\", characters 5 and 6)");
    // The count is checked first: one blank inside makes it odd.
    QTest::newRow("one blank inside") << "optWeep1" << "0" << "41 42" << "0000" << "41 42" << QByteArray()
                                      << QStringList{pairs};
    QTest::newRow("odd and not hex") << "optWeep1" << "0" << "Ready:\r\n4" << "0000" << "Ready:\r\n4" << QByteArray()
                                     << QStringList{pairs};
    QTest::newRow("empty area") << "optWeep1" << "0" << "" << "-0001" << "]" << QByteArray()
                                << QStringList{backwards("-0001", "0000")};
    // 10919 bytes make a frame of 32769 characters, two more than one
    // transmission takes.
    QTest::newRow("longer than one frame")
        << "optWeep1" << "0" << QStringLiteral("ab").repeated(10919) << "10918"
        << QStringLiteral("]ab").repeated(10919) + u']' << QByteArray()
        << QStringList{QStringLiteral("The frame would be 32769 characters long, but at most 32767 go out in one "
                                      "frame: write the block in smaller parts. Nothing was sent.")};
    QTest::newRow("start not a number")
        << "optWeep1" << "x1" << "4142" << "0000" << "4142" << QByteArray()
        << QStringList{QStringLiteral("Start Address must hold one whole number, not \"x1\".")};
}

void EepromTest::reformatAndWrite()
{
    QFETCH(QString, option);
    QFETCH(QString, start);
    QFETCH(QString, text);
    QFETCH(QString, endAddress);
    QFETCH(QString, reformatted);
    QFETCH(QByteArray, sent);
    QFETCH(QStringList, messages);

    PtyFixture f;
    openOnPage(f, "cmdewrite");
    f.find<QRadioButton>(option)->click();
    enter(f, "txtewaddr", start);
    enter(f, "txtewrite", text);
    press(f, "cmdechk");
    const bool passed = reformatted != text;
    QCOMPARE(shown(f, "lbleend"), endAddress);
    QCOMPARE(shown(f, "txtewrite"), reformatted);
    QCOMPARE(pacingDelay(f), passed ? QStringLiteral("200") : QStringLiteral("20"));
    QCOMPARE(enabled(f, kWriteButtons), QStringList{passed ? "cmdewrite" : "cmdechk"});

    press(f, "cmdewrite");
    expectReceived(f, sent);
    QCOMPARE(f.desktop.texts(), messages);
    // Write puts the delay back only when its frame went out.
    QCOMPARE(pacingDelay(f), sent.isEmpty() && passed ? QStringLiteral("200") : QStringLiteral("20"));
    QCOMPARE(enabled(f, kWriteButtons), QStringList{passed ? "cmdewrite" : "cmdechk"});
}

void EepromTest::writeButtonsAndTheBlockKept()
{
    PtyFixture f;
    openOnPage(f, "cmdewrite");
    enter(f, "txtewrite", QStringLiteral("4142"));
    press(f, "cmdechk");
    press(f, "cmdewrite"); // no write option chosen at start
    QCOMPARE(f.desktop.texts(), QStringList{kSelect});

    // One Reformat, then the same block to both EEPROMs.
    f.find<QRadioButton>("optWeep1")->click();
    press(f, "cmdewrite");
    QCOMPARE(pacingDelay(f), QStringLiteral("20"));
    f.find<QRadioButton>("optweep2")->click();
    press(f, "cmdewrite");
    // A start moved within the block keeps the end of the Reformat; one moved
    // past it is refused.
    enter(f, "txtewaddr", QStringLiteral("1"));
    press(f, "cmdewrite");
    enter(f, "txtewaddr", QStringLiteral("2"));
    press(f, "cmdewrite");
    expectReceived(f, QByteArray("]o]00000001]41]42]]w]00000001]41]42]]w]00010001]41]42]"));
    QCOMPARE(f.find<LineField>("txtewaddr")->exactText(), QStringLiteral("0002"));
    QCOMPARE(f.desktop.texts().mid(1), QStringList{backwards("0001", "0002")});
    QCOMPARE(enabled(f, kWriteButtons), QStringList{"cmdewrite"});

    enter(f, "txtewrite", QString());
    f.desktop.messages.clear();
    press(f, "cmdewrite");
    QCOMPARE(f.desktop.texts(), QStringList{QStringLiteral("Nothing to write!")});

    press(f, "cmdeclr");
    QCOMPARE(enabled(f, kWriteButtons), QStringList{"cmdechk"});
    QCOMPARE(shown(f, "lbleend"), QStringLiteral("0001"));
}

void EepromTest::typedDigitsGoInLowerCasePastedOnesAsTheyAre()
{
    PtyFixture f;
    openOnPage(f, "txtewrite");
    auto* area = f.find<TextArea>("txtewrite");
    area->setFocus();
    QTest::keyClicks(area, QStringLiteral("4A Bc"));
    QCOMPARE(area->exactText(), QStringLiteral("4a bc"));

    f.desktop.clipboard = QStringLiteral("4A\r\nBC");
    press(f, "cmdepaste");
    QCOMPARE(area->exactText(), QStringLiteral("4A\r\nBC"));
    QVERIFY(f.desktop.messages.isEmpty());

    f.desktop.clipboard.clear();
    press(f, "cmdepaste");
    QCOMPARE(area->exactText(), QString());
    QCOMPARE(f.desktop.texts(), QStringList{QStringLiteral("Nothing to paste!")});
    QCOMPARE(enabled(f, kWriteButtons), QStringList{"cmdechk"});
}

VARNIX_TEST_MAIN(EepromTest)
#include "tst_eeprom.moc"
