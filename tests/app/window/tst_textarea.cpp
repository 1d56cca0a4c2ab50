// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testmain.h"
#include "widgets/exacttext.h"
#include "widgets/fields.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

using namespace varnix;

class TextAreaTest : public QObject
{
    Q_OBJECT
private slots:
    void setTextIsKeptExactly_data();
    void setTextIsKeptExactly();
    void typingEnterMakesCrLf();
    void editingKeepsControlCharactersElsewhere();
    void appendJoinsACrWithTheLfThatFollows();
    void appendKeepsTheViewWhereTheUserPutIt();
    void limitDropsTheOldestLines_data();
    void limitDropsTheOldestLines();
    void droppingKeepsTheLineInView();
    void typedCharacterCanBeReplaced();
    void lineFieldKeepsControlCharacters();
    void typingLimitHoldsTypingOnly();
    void pasteKeepsWhatFits_data();
    void pasteKeepsWhatFits();
};

void TextAreaTest::setTextIsKeptExactly_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("shownLines");
    QTest::newRow("empty") << "" << 1;
    QTest::newRow("crlf") << "a\r\nb" << 2;
    QTest::newRow("lone cr and lf") << "a\rb\nc" << 1;
    QTest::newRow("trailing crlf") << "ab\r\n" << 2;
    QTest::newRow("lf cr is not a pair") << "a\n\rb" << 1;
    QTest::newRow("controls") << QString::fromLatin1("\x00\x01\x1b\x7f\t end", 9) << 1;
    QTest::newRow("latin-1 high") << QString::fromLatin1("\xa0\xff\xe9") << 1;
    QTest::newRow("two breaks") << "\r\n\r\n" << 3;
}

void TextAreaTest::setTextIsKeptExactly()
{
    QFETCH(QString, text);
    QFETCH(int, shownLines);
    TextArea area(QStringLiteral("area"));
    area.setExactText(text);
    QCOMPARE(area.exactText(), text);
    QCOMPARE(area.document()->blockCount(), shownLines);

    ExactText exact(ExactText::Lines::Multi);
    QCOMPARE(exact.fromShown(exact.toShown(text)), text);
}

void TextAreaTest::typingEnterMakesCrLf()
{
    TextArea area(QStringLiteral("area"));
    area.show();
    area.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&area));
    area.setFocus();
    QTest::keyClicks(&area, QStringLiteral("41"));
    QTest::keyClick(&area, Qt::Key_Return);
    QTest::keyClicks(&area, QStringLiteral("42"));
    QCOMPARE(area.exactText(), QStringLiteral("41\r\n42"));
    QTest::keyClick(&area, Qt::Key_Backspace);
    QTest::keyClick(&area, Qt::Key_Backspace);
    QTest::keyClick(&area, Qt::Key_Backspace);
    QCOMPARE(area.exactText(), QStringLiteral("41"));
}

void TextAreaTest::editingKeepsControlCharactersElsewhere()
{
    TextArea area(QStringLiteral("area"));
    const QString received = QStringLiteral("a\rb\x1b\r\nc") + QChar(0xa0);
    area.setExactText(received);
    QTextCursor cursor(area.document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("X"));
    QCOMPARE(area.exactText(), received + u'X');
    cursor.movePosition(QTextCursor::Start);
    cursor.deleteChar(); // the first "a"
    QCOMPARE(area.exactText(), received.mid(1) + u'X');
}

void TextAreaTest::appendJoinsACrWithTheLfThatFollows()
{
    TextArea area(QStringLiteral("area"));
    area.setExactText(QStringLiteral("one\r"));
    QCOMPARE(area.document()->blockCount(), 1);
    area.appendExact(u"\ntwo\r\n");
    QCOMPARE(area.exactText(), QStringLiteral("one\r\ntwo\r\n"));
    QCOMPARE(area.document()->blockCount(), 3);
    QCOMPARE(area.document()->findBlockByNumber(1).text(), QStringLiteral("two"));
    area.appendExact(u"\x01");
    QCOMPARE(area.exactText(), QStringLiteral("one\r\ntwo\r\n\x01"));
}

void TextAreaTest::appendKeepsTheViewWhereTheUserPutIt()
{
    TextArea area(QStringLiteral("area"));
    area.resize(200, 100);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    QString lines;
    for (int i = 0; i < 200; ++i)
        lines += QStringLiteral("line %1\r\n").arg(i);
    area.setExactText(lines);
    QScrollBar* bar = area.verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    const int middle = bar->value();
    area.appendExact(u"more\r\n");
    QCOMPARE(bar->value(), middle);

    bar->setValue(bar->maximum());
    area.appendExact(u"and more\r\nand more\r\n");
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(bar->value() > middle);
}

void TextAreaTest::limitDropsTheOldestLines_data()
{
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("notice");  // the first line at the end
    QTest::addColumn<bool>("wholeLines");

    QStringList lines;
    for (int i = 0; i < 40; ++i)
        lines << QStringLiteral("line %1\r\n").arg(i, 2, 10, QChar(u'0'));
    // 13 lines of 9 characters pass 100 and its eighth: 2 lines go, and 2
    // more for every 2 that come after them: 14 times 18 characters.
    QTest::newRow("lines one by one") << lines << 100 << "[252 earlier characters dropped]" << true;
    QTest::newRow("all at once") << QStringList{lines.join(QString())} << 100 << "[261 earlier characters dropped]"
                                 << true;
    QTest::newRow("CR and LF in two chunks") << QStringList{lines.join(QString()).chopped(1), "\n"} << 100
                                             << "[261 earlier characters dropped]" << true;
    QTest::newRow("a line longer than the limit")
        << QStringList{"start\r\n" + QString(300, u'x'), "yz"} << 100 << "[207 earlier characters dropped]" << false;
    QTest::newRow("a big limit") << lines << 1'000'000 << "line 00" << true;
}

void TextAreaTest::limitDropsTheOldestLines()
{
    QFETCH(QStringList, chunks);
    QFETCH(int, limit);
    QFETCH(QString, notice);
    QFETCH(bool, wholeLines);
    TextArea area(QStringLiteral("area"));
    area.setLimit(limit);
    for (const QString& chunk : chunks)
        area.appendExact(chunk);

    // One first line tells what went; the rest is the newest text, as it came.
    const QString all = chunks.join(QString());
    QCOMPARE(area.document()->firstBlock().text(), notice);
    const QString kept = area.dropped() > 0 ? area.exactText().section(u'\n', 1) : area.exactText();
    QVERIFY(kept.size() <= limit + limit / 8);
    QCOMPARE(area.dropped() + kept.size(), all.size());
    QVERIFY(all.endsWith(kept));
    if (wholeLines && area.dropped() > 0)
        QVERIFY(all.left(area.dropped()).endsWith(u"\r\n"));
    // What is shown is what is held, line for line.
    QCOMPARE(area.document()->blockCount(), area.exactText().count(u"\r\n") + 1);

    // A text set anew starts again.
    area.setExactText(QStringLiteral("fresh"));
    QCOMPARE(area.dropped(), 0);
    area.appendExact(u"\r\n");
    QCOMPARE(area.exactText(), QStringLiteral("fresh\r\n"));
}

void TextAreaTest::droppingKeepsTheLineInView()
{
    TextArea area(QStringLiteral("area"));
    area.setLimit(2000);
    area.resize(200, 100);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    QString lines;
    for (int i = 0; i < 200; ++i)
        lines += QStringLiteral("line %1\r\n").arg(i, 3, 10, QChar(u'0'));
    area.setExactText(lines);
    const auto topLine = [&] { return area.cursorForPosition(QPoint(2, 2)).block().text(); };
    QScrollBar* bar = area.verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    const QString inView = topLine();

    // 400 characters more: the first 40 lines go, the one in view stays.
    for (int i = 200; i < 240; ++i)
        area.appendExact(QStringLiteral("line %1\r\n").arg(i));
    QVERIFY(area.dropped() > 0);
    QVERIFY(area.exactText().contains(inView));
    QCOMPARE(topLine(), inView);
}

void TextAreaTest::typedCharacterCanBeReplaced()
{
    TextArea area(QStringLiteral("area"));
    area.keyFilter = [](QChar c) { return c.toLower(); };
    area.show();
    area.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&area));
    area.setFocus();
    QTest::keyClicks(&area, QStringLiteral("4A"));
    QCOMPARE(area.exactText(), QStringLiteral("4a"));
}

void TextAreaTest::lineFieldKeepsControlCharacters()
{
    LineField field(QStringLiteral("field"));
    const QString frame = QStringLiteral("]o]00000001]41]\r\n]42]");
    field.setExactText(frame);
    QCOMPARE(field.exactText(), frame);
    QVERIFY(!field.QLineEdit::text().contains(u'\n'));
}

void TextAreaTest::typingLimitHoldsTypingOnly()
{
    LineField field(QStringLiteral("field"), QStringLiteral("1"), 3);
    field.show();
    field.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&field));
    field.setFocus();
    field.end(false);
    QTest::keyClicks(&field, QStringLiteral("2345"));
    QCOMPARE(field.exactText(), QStringLiteral("123"));
    // What the program puts in is kept whole, and can still be shortened.
    field.setExactText(QStringLiteral("-0001"));
    QCOMPARE(field.exactText(), QStringLiteral("-0001"));
    field.end(false);
    QTest::keyClick(&field, Qt::Key_Backspace);
    QCOMPARE(field.exactText(), QStringLiteral("-000"));
    QTest::keyClicks(&field, QStringLiteral("9"));
    QCOMPARE(field.exactText(), QStringLiteral("-000"));
}

void TextAreaTest::pasteKeepsWhatFits_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("cursor"); // -1: the whole text selected
    QTest::addColumn<QString>("clipboard");
    QTest::addColumn<QString>("expected");
    QTest::newRow("past the limit") << "1" << 1 << "2345" << "123";
    QTest::newRow("in the middle") << "19" << 1 << "2345" << "129";
    QTest::newRow("over a selection") << "123" << -1 << "98765" << "987";
    QTest::newRow("nothing fits") << "123" << 3 << "4" << "123";
    QTest::newRow("all fits") << "1" << 0 << "23" << "231";
}

void TextAreaTest::pasteKeepsWhatFits()
{
    QFETCH(QString, start);
    QFETCH(int, cursor);
    QFETCH(QString, clipboard);
    QFETCH(QString, expected);
    LineField field(QStringLiteral("field"), start, 3);
    if (cursor < 0)
        field.selectAll();
    else
        field.setCursorPosition(cursor);
    QApplication::clipboard()->setText(clipboard);
    field.paste();
    QCOMPARE(field.exactText(), expected);
}

VARNIX_TEST_MAIN(TextAreaTest)
#include "tst_textarea.moc"
