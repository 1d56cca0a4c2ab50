// SPDX-License-Identifier: GPL-3.0-or-later
// The receive window's find bar, times and hex view, driven as a person
// would, and the model of what was received that they all show.
#include "support/fixture.h"
#include "support/testmain.h"

#include "link/core/receivemodel.h"
#include "link/terminal.h"
#include "script/sessionlog.h"
#include "widgets/fields.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QScreen>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTest>
#include <QTimeZone>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

using namespace varnix;
using namespace varnix::test;
using link::ReceiveModel;

namespace {
// What the board sends in one read, taken by one tick of the poll and shown.
void receive(Fixture& f, const QString& text)
{
    f.port.incoming = text;
    f.main().terminal().Timer1_Timer();
    f.main().terminal().showReceived();
}

QString count(WindowFixture& f)
{
    return f.find<QLabel>(QStringLiteral("lblFindCount"))->text();
}

// How much of a view is marked as found, in pixels, once it has painted.
int markedPixels(QAbstractScrollArea* view)
{
    QApplication::processEvents();
    const QImage shown = view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int marked = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            marked += shown.pixel(x, y) == qRgb(255, 240, 120) || shown.pixel(x, y) == qRgb(255, 150, 50);
    return marked;
}

// The board's answer to a read of an EEPROM block, in hex: every fourth
// byte pair is 7f 41, which shows as the text "7f41".
QByteArray eepromAnswer(int bytes)
{
    QByteArray answer;
    for (int i = 0; i < bytes; ++i)
        answer += QByteArray::number(i % 4 == 0 ? 0x7f : i % 4 == 1 ? 0x41 : 0x80 + i % 64, 16);
    return answer + "Ready:\r\n";
}

// The first character of the text view's top line.
QTextCursor topOfText(WindowFixture& f)
{
    return f.rcvText()->cursorForPosition(QPoint(0, f.rcvText()->fontMetrics().height() / 2));
}

// The received byte at the top of the view shown.
qsizetype topByte(WindowFixture& f)
{
    QApplication::processEvents();
    auto* hex = f.find<QAbstractScrollArea>(QStringLiteral("rcvHex"));
    if (hex->isVisible())
        return qsizetype(hex->verticalScrollBar()->value()) * ReceiveModel::kHexRowBytes;
    const QTextCursor top = topOfText(f);
    return f.main().terminal().received().lineStart(top.blockNumber()) + top.positionInBlock();
}

// The view shown has `byte` in its top line (a row of the hex view).
bool atTop(WindowFixture& f, qsizetype byte)
{
    const qsizetype top = topByte(f);
    if (f.find<QWidget>(QStringLiteral("rcvHex"))->isVisible())
        return top == byte / ReceiveModel::kHexRowBytes * ReceiveModel::kHexRowBytes;
    const QTextCursor cursor = topOfText(f);
    const QTextLine line = cursor.block().layout()->lineForTextPosition(cursor.positionInBlock());
    return top <= byte && byte < top + line.textLength();
}

// The view shown has the end of the text in view, at its scroll bar's end.
bool showsEnd(WindowFixture& f)
{
    QApplication::processEvents();
    auto* hex = f.find<QAbstractScrollArea>(QStringLiteral("rcvHex"));
    QAbstractScrollArea* view = hex->isVisible() ? hex : f.rcvText();
    const bool atBarEnd = view->verticalScrollBar()->value() == view->verticalScrollBar()->maximum();
    if (view == hex)
        return atBarEnd;
    QTextCursor end(f.rcvText()->document());
    end.movePosition(QTextCursor::End);
    const QRect shown = f.rcvText()->cursorRect(end);
    return atBarEnd && shown.top() >= 0 && shown.bottom() <= f.rcvText()->viewport()->height();
}

// Sends an answer to the window's port from a thread of its own, a little
// every few milliseconds, as a board on a fast line answers, and calls
// meanwhile(step) every few milliseconds until it was sent and the window
// holds `characters` in all.
void feedAnswer(PtyFixture& f, const QByteArray& bytes, qsizetype characters,
                const std::function<void(int)>& meanwhile = {})
{
    std::atomic<bool> sent{false};
    std::thread board([&] {
        for (qsizetype at = 0; at < bytes.size(); at += 256) {
            f.pty.send(bytes.mid(at, 256));
            std::this_thread::sleep_for(std::chrono::milliseconds(4));
        }
        sent = true;
    });
    const ReceiveModel& model = f.main().terminal().received();
    for (int step = 0; !sent || model.text().size() + model.dropped() < characters; ++step) {
        if (step >= 4000) {
            board.join();
            QFAIL("the answer did not arrive whole");
        }
        if (meanwhile)
            meanwhile(step);
        QTest::qWait(5);
    }
    board.join();
}
} // namespace

class ReceiveWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void searchFollowsArrivingAndDroppedText();
    void hexQueryReadings_data();
    void hexQueryReadings();
    void findBarCountsAndLeavesTheTextAlone();
    void arrivingTextLeavesTheMatchInView();
    void timesAreTheLogs();
    void clockTexts_data();
    void clockTexts();
    void timesGoWithDroppedLines();
    void floodKeepsViewAndModelAlike_data();
    void floodKeepsViewAndModelAlike();
    void hexDumpOfControlCharacters_data();
    void hexDumpOfControlCharacters();
    void arrivingTextLeavesNoStalePixels();
    void readsWhileSearchingAndFlipping();
    void searchInSlicesFindsWhatOneGoFinds_data();
    void searchInSlicesFindsWhatOneGoFinds();
    void stepsWaitForTheSearch();
    void aKeyReturnsBeforeTheCountIsWhole();
    void anAnswerIntoAnEmptyWindowEndsAtItsEnd();
    void togglesKeepThePlaceWhileTextArrives();
};

void ReceiveWindowTest::searchFollowsArrivingAndDroppedText()
{
    ReceiveModel model;
    model.setLimit(150);
    link::ReceiveSearch search;
    search.setQuery(model, QStringLiteral("ready:"), Qt::CaseInsensitive, false);
    search.searchSome(model);
    QCOMPARE(search.countText(), QStringLiteral("no match"));
    const auto append = [&](const QString& text) { search.textAppended(model, model.append(text, 0)); };
    // A match split over two reads counts once it is whole.
    append(QStringLiteral("Rea"));
    QCOMPARE(search.countText(), QStringLiteral("no match"));
    append(QStringLiteral("dy:\r\n"));
    QCOMPARE(search.countText(), QStringLiteral("1 of 1"));
    for (int i = 0; i < 9; ++i)
        append(QStringLiteral("line %1 READY:\r\n").arg(i));
    QCOMPARE(search.countText(), QStringLiteral("1 of 10"));
    search.next();
    search.next();
    search.next();  // the match of "line 2"
    // Past the limit and its eighth the oldest lines go (up to "line 1"),
    // their matches too; the current one stays the match it was.
    append(QStringLiteral("line 9 ready:\r\nline 10 ready:\r\n"));
    QVERIFY(model.dropped() > 0);
    const QString kept = model.text().mid(model.noticeSize());
    QCOMPARE(qsizetype(search.matches().size()), kept.count(QStringLiteral("ready:"), Qt::CaseInsensitive));
    for (const qsizetype match : search.matches())
        QCOMPARE(model.text().mid(match, 6).toLower(), QStringLiteral("ready:"));
    QVERIFY(search.matches().front() >= model.noticeSize());
    QCOMPARE(model.text().mid(search.matches()[std::size_t(search.current())] - 7, 6), QStringLiteral("line 2"));
    QCOMPARE(search.countText(), QStringLiteral("1 of 9"));
    // Matching case leaves out "READY:"; hex pairs find the bytes.
    search.setQuery(model, QStringLiteral("ready:"), Qt::CaseSensitive, false);
    search.searchSome(model);
    QCOMPARE(search.countText(), QStringLiteral("1 of 2"));
    search.setQuery(model, QStringLiteral("3a 0d0a"), Qt::CaseSensitive, true);
    search.searchSome(model);
    QCOMPARE(qsizetype(search.matches().size()), kept.count(QStringLiteral(":\r\n")));
}

void ReceiveWindowTest::hexQueryReadings_data()
{
    // What the window holds, the query, and the count before and after the
    // bytes 7f 41 arrive.
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("afterBytes");
    const QString bytes = QStringLiteral("\x7f" "A");
    QTest::newRow("hex digits that came as text")
        << "ab 7f41 7F41" << "7f41" << true << "1 of 2 matches as text" << "1 of 1 match as bytes";
    QTest::newRow("the bytes they stand for")
        << "x" + bytes << "7f 41" << true << "1 of 1 match as bytes" << "1 of 2 matches as bytes";
    QTest::newRow("neither") << "7f 41" << "7f41" << true << "no match as bytes or as text" << "1 of 1 match as bytes";
    QTest::newRow("no hex pairs") << "Ready:\r\nready" << "ready" << true << "1 of 2 matches as text"
                                  << "1 of 2 matches as text";
    QTest::newRow("odd digits") << "7f4" << "7f4" << true << "1 of 1 match as text" << "1 of 1 match as text";
    QTest::newRow("text view") << "7f41 " + bytes << "7f41" << false << "1 of 1" << "1 of 1";
}

void ReceiveWindowTest::hexQueryReadings()
{
    QFETCH(QString, received);
    QFETCH(QString, query);
    QFETCH(bool, hex);
    QFETCH(QString, count);
    QFETCH(QString, afterBytes);
    ReceiveModel model;
    link::ReceiveSearch search;
    const auto append = [&](const QString& text) { search.textAppended(model, model.append(text, 0)); };
    append(received);
    search.setQuery(model, query, Qt::CaseInsensitive, hex);
    search.searchSome(model);
    QCOMPARE(search.countText(), count);
    append(QStringLiteral("\x7f" "A"));
    QCOMPARE(search.countText(), afterBytes);
    // What is marked is what the count says was found.
    const QString found = search.reading() == link::ReceiveSearch::Reading::Bytes
                              ? link::ReceiveSearch::hexBytes(query).value()
                              : query;
    for (const qsizetype match : search.matches())
        QCOMPARE(model.text().mid(match, search.length()).toLower(), found.toLower());
}

void ReceiveWindowTest::findBarCountsAndLeavesTheTextAlone()
{
    Fixture f;
    f.main().show();
    QVERIFY(QTest::qWaitForWindowActive(&f.main()));
    f.openPort();
    receive(f, QStringLiteral("Ready:\r\nx\r\nReady:\r\n"));
    QTest::keyClick(&f.main(), Qt::Key_F, Qt::ControlModifier);
    auto* field = f.find<QLineEdit>(QStringLiteral("txtFind"));
    QVERIFY(field->isVisible());
    QTest::keyClicks(field, QStringLiteral("ready"));
    QCOMPARE(count(f), QStringLiteral("1 of 2"));
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(count(f), QStringLiteral("2 of 2"));
    receive(f, QStringLiteral("Ready:\r\n"));
    QCOMPARE(count(f), QStringLiteral("2 of 3"));
    QTest::keyClick(field, Qt::Key_F3, Qt::ShiftModifier);
    QCOMPARE(count(f), QStringLiteral("1 of 3"));
    f.find<QCheckBox>(QStringLiteral("chkMatchCase"))->click();
    QCOMPARE(count(f), QStringLiteral("no match"));
    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(!field->isVisible());
    f.click(QStringLiteral("Command7"));
    QCOMPARE(f.desktop.clipboard, QStringLiteral("Ready:\r\nx\r\nReady:\r\nReady:\r\n"));
}

void ReceiveWindowTest::arrivingTextLeavesTheMatchInView()
{
    Fixture f;
    f.main().show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.main()));
    f.openPort();
    QString lines;
    for (int i = 0; i < 200; ++i)
        lines += QStringLiteral("line %1\r\n").arg(i);
    receive(f, lines);
    QScrollBar* bar = f.rcvText()->verticalScrollBar();
    QCOMPARE(bar->value(), bar->maximum());
    f.main().terminal().openFind();
    QTest::keyClicks(f.find<QLineEdit>(QStringLiteral("txtFind")), QStringLiteral("line 199"));
    QCOMPARE(count(f), QStringLiteral("1 of 1"));
    const int atMatch = bar->value();
    receive(f, lines);
    QCOMPARE(bar->value(), atMatch);
    QVERIFY(bar->value() < bar->maximum());
    QCOMPARE(count(f), QStringLiteral("1 of 2"));
    // Closed, the window follows the end again.
    QTest::keyClick(f.find<QLineEdit>(QStringLiteral("txtFind")), Qt::Key_Escape);
    bar->setValue(bar->maximum());
    receive(f, lines);
    QCOMPARE(bar->value(), bar->maximum());
}

void ReceiveWindowTest::timesAreTheLogs()
{
    QTemporaryDir dir;
    Fixture f;
    f.openPort();
    QDateTime clock(QDate(2025, 1, 31), QTime(9, 15, 0, 7));
    f.main().sessionLog().setClock([&] { return clock; });
    const QString path = dir.filePath(QStringLiteral("times.log"));
    QVERIFY(f.main().startLog(path));
    // The second line comes in two pieces: it carries its first one's time.
    const QStringList reads{"first\r\nsec", "ond\r\n", "third\r\n"};
    for (const QString& read : reads) {
        clock = clock.addMSecs(1234);
        receive(f, read);
    }
    f.main().sessionLog().stop();
    f.find<QCheckBox>(QStringLiteral("chkTimes"))->click();

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList logged;
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.mid(12, 3) == " < ")
            logged << QString::fromLatin1(line);
    const ReceiveModel& model = f.main().terminal().received();
    QStringList shown;
    for (qsizetype line = 0; line < model.lineCount(); ++line)
        shown << QDateTime::fromMSecsSinceEpoch(model.lineTime(line)).toString(QStringLiteral("HH:mm:ss.zzz"))
                     + QStringLiteral(" < ")
                     + f.rcvText()->document()->findBlockByNumber(int(line)).text();
    QCOMPARE(shown, logged);
    QCOMPARE(logged.join(u'|'), QStringLiteral("09:15:01.241 < first|09:15:01.241 < second|09:15:03.709 < third"));
}

void ReceiveWindowTest::clockTexts_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<QString>("shown");
    constexpr qint64 kHour = 3600 * 1000;
    constexpr qint64 kMorning = 1738314901241; // 2025-01-31 09:15:01.241 UTC
    QTest::newRow("epoch") << qint64(0) << qint64(0) << "00:00:00.000";
    QTest::newRow("UTC") << kMorning << qint64(0) << "09:15:01.241";
    QTest::newRow("east") << kMorning << kHour << "10:15:01.241";
    QTest::newRow("west") << kMorning << -5 * kHour << "04:15:01.241";
    QTest::newRow("into the next day") << kMorning << 14 * kHour << "23:15:01.241";
    QTest::newRow("last of a day") << qint64(24 * kHour - 1) << qint64(0) << "23:59:59.999";
    QTest::newRow("into the day before") << qint64(0) << qint64(-1000) << "23:59:59.000";
    QTest::newRow("before the epoch") << -3 * 24 * kHour + 7 << qint64(0) << "00:00:00.007";
}

void ReceiveWindowTest::clockTexts()
{
    QFETCH(qint64, ms);
    QFETCH(qint64, offset);
    QFETCH(QString, shown);
    QCOMPARE(link::clockText(ms, offset), shown);
    QCOMPARE(link::clockText(ms, offset),
             QDateTime::fromMSecsSinceEpoch(ms, QTimeZone(int(offset / 1000)))
                 .toString(QStringLiteral("HH:mm:ss.zzz")));
}

void ReceiveWindowTest::timesGoWithDroppedLines()
{
    ReceiveModel model;
    model.setLimit(40);
    for (int i = 0; i < 30; ++i)
        model.append(QStringLiteral("line %1\r\n").arg(i, 2, 10, QChar(u'0')), 1000 + i);
    // What is held: the dropped line without a time, then lines 0 to 29's
    // newest with their own times; no more lines than the text has.
    QVERIFY(model.dropped() > 0);
    QCOMPARE(model.lineCount(), model.text().count(QStringLiteral("\r\n")));
    QCOMPARE(model.lineTime(0), ReceiveModel::kNoTime);
    for (qsizetype line = 1; line < model.lineCount(); ++line) {
        const int number = model.text().mid(model.lineStart(line) + 5, 2).toInt();
        QCOMPARE(model.lineTime(line), 1000 + number);
    }
    // A line longer than the limit keeps its time for what is left of it.
    model.append(QString(100, u'x'), 5000);
    model.append(QStringLiteral("y"), 6000);
    QCOMPARE(model.lineTime(model.lineCount() - 1), 5000);
}

void ReceiveWindowTest::floodKeepsViewAndModelAlike_data()
{
    QTest::addColumn<int>("reads");
    QTest::addColumn<qsizetype>("size");
    QTest::newRow("one read") << 1 << Terminal::kReceiveLimit * 3 / 2;
    QTest::newRow("reads waiting, thrice the window") << 4 << Terminal::kReceiveLimit * 3 / 4;
}

void ReceiveWindowTest::floodKeepsViewAndModelAlike()
{
    QFETCH(int, reads);
    QFETCH(qsizetype, size);
    Fixture f;
    f.openPort();
    // More than the window keeps comes, then a little more: what would go
    // at once is never shown, and the count of it stays right.
    QString flood;
    for (int read = 0, i = 0; read < reads; ++read) {
        QString part;
        while (part.size() < size)
            part += QStringLiteral("line %1\r\n").arg(i++);
        // The poll takes each read; they wait to be shown together.
        f.port.incoming = part;
        f.main().terminal().Timer1_Timer();
        flood += part;
    }
    f.main().terminal().showReceived();
    receive(f, QStringLiteral("last\r\n"));
    const ReceiveModel& model = f.main().terminal().received();
    QCOMPARE(model.text(), f.rcvText()->exactText());
    QCOMPARE(model.dropped(), f.rcvText()->dropped());
    const QString kept = model.text().mid(model.noticeSize());
    QCOMPARE(model.dropped() + kept.size(), flood.size() + 6);
    QVERIFY(kept.startsWith(QStringLiteral("line ")));
    QVERIFY(kept.size() <= Terminal::kReceiveLimit + Terminal::kReceiveLimit / 8);
    QCOMPARE(f.rcvText()->document()->blockCount(), model.lineCount() + 1);
}

void ReceiveWindowTest::hexDumpOfControlCharacters_data()
{
    QTest::addColumn<QStringList>("reads");
    QTest::addColumn<QString>("row");
    QTest::newRow("controls as dots")
        << QStringList{QString::fromLatin1("\x01" "A\x1b\x7f\xe9~")}
        << "00000000  01 41 1b 7f e9 7e                                 .A...~";
    QTest::newRow("CR LF split over two reads")
        << QStringList{"ok\r", "\nReady:"}
        << "00000000  6f 6b 0d 0a 52 65 61 64  79 3a                    ok..Ready:";
    QTest::newRow("a lone LF goes, a lone CR gets one")
        << QStringList{"a\nb\rc"} << "00000000  61 62 0d 0a 63                                    ab..c";
}

void ReceiveWindowTest::hexDumpOfControlCharacters()
{
    QFETCH(QStringList, reads);
    QFETCH(QString, row);
    Fixture f;
    f.openPort();
    for (const QString& read : reads)
        receive(f, read);
    f.find<QCheckBox>(QStringLiteral("chkHex"))->click();
    QVERIFY(f.find<QWidget>(QStringLiteral("rcvHex"))->isVisibleTo(&f.main()));
    QVERIFY(!f.rcvText()->isVisibleTo(&f.main()));
    QCOMPARE(f.main().terminal().received().hexRow(0), row);
    QCOMPARE(f.main().terminal().received().hexRowCount(), 1);
}

void ReceiveWindowTest::arrivingTextLeavesNoStalePixels()
{
    // Only what arrival changed is painted anew; what the window shows must
    // still be what a paint of all of it shows, in each view.
    Fixture f;
    f.main().show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.main()));
    f.openPort();
    const auto shownAsPainted = [&](QWidget* view) {
        QApplication::processEvents();
        const QPoint at = view->mapTo(&f.main(), QPoint(0, 0));
        const QImage shown = f.main().screen()
                                 ->grabWindow(f.main().winId(), at.x(), at.y(), view->width(), view->height())
                                 .toImage()
                                 .convertToFormat(QImage::Format_RGB32);
        return shown == view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    QString lines;
    for (int i = 0; i < 60; ++i)
        lines += QStringLiteral("reply %1: 00 11 22 33 44 55 66 77 88 99 aa bb cc dd ee ff\r\n").arg(i);
    receive(f, lines);
    for (const QString& more : {QStringLiteral("half a li"), QStringLiteral("ne\r"), QStringLiteral("\nnext\r\n")}) {
        receive(f, more);
        QVERIFY(shownAsPainted(f.rcvText()));
    }
    // The margin narrows the text; the view still follows the end.
    f.find<QCheckBox>(QStringLiteral("chkTimes"))->click();
    QScrollBar* bar = f.rcvText()->verticalScrollBar();
    QCOMPARE(bar->value(), bar->maximum());
    receive(f, lines);
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(shownAsPainted(f.rcvText()));
    f.find<QCheckBox>(QStringLiteral("chkHex"))->click();
    receive(f, lines + QStringLiteral("\x1b tail"));
    QVERIFY(shownAsPainted(f.find<QWidget>(QStringLiteral("rcvHex"))));
}

void ReceiveWindowTest::readsWhileSearchingAndFlipping()
{
    // EEPROM reads with the find bar open: each read empties the window,
    // which holds marked matches and stands back from its end, and the long
    // answers come in many reads while "Times" and "Hex" are flipped.
    PtyFixture f;
    f.main().show();
    QVERIFY(QTest::qWaitForWindowActive(&f.main()));
    f.click(QStringLiteral("cmdCom"));
    QVERIFY(f.port.isOpen());
    auto* read = f.find<QPushButton>(QStringLiteral("cmderead"));
    f.tabs()->setCurrentIndex(f.tabs()->indexOf(read->parentWidget()));
    auto* find = f.find<QLineEdit>(QStringLiteral("txtFind"));
    auto* hex = f.find<QCheckBox>(QStringLiteral("chkHex"));
    QScrollBar* bar = f.rcvText()->verticalScrollBar();
    const auto readBlock = [&](const QString& option, int bytes, const std::function<void(int)>& meanwhile) {
        f.find<QRadioButton>(option)->setChecked(true);
        f.setField(QStringLiteral("txtebytes"), QString::number(bytes));
        read->setFocus();
        QTest::keyClick(read, Qt::Key_Space);
        feedAnswer(f, eepromAnswer(bytes), eepromAnswer(bytes).size(), meanwhile);
        QCOMPARE(f.rcvText()->exactText(), QString::fromLatin1(eepromAnswer(bytes)));
    };
    for (int round = 0; round < 2; ++round) {
        readBlock(QStringLiteral("optxeep2"), 256, [&](int step) {
            if (step == 2) {
                f.main().terminal().openFind();
                find->clear();
                QTest::keyClicks(find, QStringLiteral("7f41"));
            }
        });
        // The focus leaving "Read" takes the answer over; Copy copies it.
        read->setFocus();
        f.find<QPushButton>(QStringLiteral("cmdecopy"))->setFocus();
        f.click(QStringLiteral("cmdecopy"));
        QCOMPARE(f.desktop.clipboard, QString::fromLatin1(eepromAnswer(256).chopped(8)));
        readBlock(QStringLiteral("optxeep1"), 6000, [&](int step) {
            bar->setValue(bar->maximum() / 2);
            f.find<QCheckBox>(step % 3 ? QStringLiteral("chkTimes") : QStringLiteral("chkHex"))->click();
        });
        QVERIFY2(count(f).endsWith(hex->isChecked() ? QStringLiteral(" of 1500 matches as text")
                                                    : QStringLiteral(" of 1500")),
                 qPrintable(count(f)));
        if (hex->isChecked())
            hex->click();
        bar->setValue(bar->maximum() / 2);
        QVERIFY(markedPixels(f.rcvText()) > 0);
    }
}

void ReceiveWindowTest::searchInSlicesFindsWhatOneGoFinds_data()
{
    // A line repeated as text arrives, the query, and how many characters
    // a slice looks through.
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<int>("slice");
    QTest::newRow("a letter on every other line") << "f\r\n\r\n" << "F" << false << false << 30;
    QTest::newRow("matches over the slices' edges") << "abcabcab\r\n" << "cab" << true << false << 7;
    QTest::newRow("a query that overlaps itself") << "aaaaaaa\r\n" << "aa" << true << false << 5;
    QTest::newRow("hex pairs, as bytes and as text") << "7f41 \x7f" "A\r\n" << "7f41" << false << true << 3;
    QTest::newRow("over the line break") << "ok\r\nReady:" << "0d 0a 52" << true << true << 1;
    QTest::newRow("case told apart") << "Ready:\r\nREADY:\r\n" << "ready" << true << false << 4;
    QTest::newRow("nothing") << "xyz\r\n" << "q" << false << false << 40;
}

void ReceiveWindowTest::searchInSlicesFindsWhatOneGoFinds()
{
    QFETCH(QString, line);
    QFETCH(QString, query);
    QFETCH(bool, matchCase);
    QFETCH(bool, hex);
    QFETCH(int, slice);
    const Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    ReceiveModel model;
    model.setLimit(1000);
    link::ReceiveSearch search;
    const auto receive = [&] { search.textAppended(model, model.append(line, 0)); };
    while (model.text().size() + line.size() < 1100)
        receive();
    // Text arrives, and the oldest goes, while the search goes through it.
    search.setQuery(model, query, cs, hex);
    for (int i = 0; !search.complete(); ++i) {
        QVERIFY(search.countText().endsWith(u'\u2026'));
        search.searchSome(model, slice);
        if (i % 3 == 0 && i < 300)
            receive();
    }
    QVERIFY(model.dropped() > 0);
    // Once through, what arrives is searched as it comes.
    for (int i = 0; i < 20; ++i)
        receive();
    link::ReceiveSearch once;
    once.setQuery(model, query, cs, hex);
    once.searchSome(model, model.text().size());
    QVERIFY(once.complete());
    QCOMPARE(search.matches(), once.matches());
    QCOMPARE(search.reading(), once.reading());
    QVERIFY(!search.countText().endsWith(u'\u2026'));
}

void ReceiveWindowTest::stepsWaitForTheSearch()
{
    ReceiveModel model;
    model.append(QString(300, u'f'), 0);
    link::ReceiveSearch search;
    // From the middle: no current match until the search comes that far.
    search.setQuery(model, QStringLiteral("f"), Qt::CaseSensitive, false, 150);
    search.searchSome(model, 100);
    QCOMPARE(search.countText(), QStringLiteral("at least 100 matches\u2026"));
    QVERIFY(!search.next());
    search.searchSome(model, 100);
    QCOMPARE(search.countText(), QStringLiteral("152 of at least 200 matches\u2026"));
    // Back from the first around to the last waits for the end.
    search.setQuery(model, QStringLiteral("f"), Qt::CaseSensitive, false, 0);
    search.searchSome(model, 100);
    QVERIFY(!search.previous());
    QCOMPARE(search.current(), 0);
    QVERIFY(search.searchSome(model, 1000));
    QCOMPARE(search.countText(), QStringLiteral("300 of 300"));
    QVERIFY(search.next());
    QCOMPARE(search.countText(), QStringLiteral("1 of 300"));
}

void ReceiveWindowTest::aKeyReturnsBeforeTheCountIsWhole()
{
    Fixture f;
    f.main().show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.main()));
    f.openPort();
    QString full;
    for (int i = 0; full.size() < Terminal::kReceiveLimit; ++i)
        full += QStringLiteral("Reply %1: 7f 41 80 ff 0d\r\n").arg(i);
    receive(f, full);
    f.main().terminal().openFind();
    QTest::keyClicks(f.find<QLineEdit>(QStringLiteral("txtFind")), QStringLiteral("F"));
    // The key is back before the search is through; the count then grows,
    // slice by slice, to the whole of it.
    QStringList counts{count(f)};
    while (counts.back().endsWith(u'\u2026')) {
        QApplication::processEvents();
        if (count(f) != counts.back())
            counts << count(f);
        QVERIFY(counts.size() < 1000);
    }
    QVERIFY2(counts.size() >= 3, qPrintable(counts.join(u'|')));
    qsizetype last = 0;
    for (QString shown : counts.mid(0, counts.size() - 1)) {
        shown.remove(u',');
        const qsizetype atLeast = shown.section(QStringLiteral("at least "), 1).section(u' ', 0, 0).toLongLong();
        QVERIFY2(atLeast > last, qPrintable(counts.join(u'|')));
        last = atLeast;
    }
    const QString& text = f.main().terminal().received().text();
    QVERIFY2(counts.back().endsWith(QStringLiteral(" of %1").arg(text.count(u'f', Qt::CaseInsensitive))),
             qPrintable(counts.back()));
    QVERIFY(markedPixels(f.rcvText()) > 0);
}

void ReceiveWindowTest::anAnswerIntoAnEmptyWindowEndsAtItsEnd()
{
    PtyFixture f;
    f.main().show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.main()));
    f.click(QStringLiteral("cmdCom"));
    QVERIFY(f.port.isOpen());
    // A block of 32,768 bytes read from the EEPROM, as hex digits.
    const QByteArray read = eepromAnswer(32768);
    QCOMPARE(read.size(), 65544);
    feedAnswer(f, read, read.size());
    QVERIFY(showsEnd(f));
}

void ReceiveWindowTest::togglesKeepThePlaceWhileTextArrives()
{
    PtyFixture f;
    f.main().show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.main()));
    f.click(QStringLiteral("cmdCom"));
    auto* hex = f.find<QCheckBox>(QStringLiteral("chkHex"));
    auto* times = f.find<QCheckBox>(QStringLiteral("chkTimes"));
    const ReceiveModel& model = f.main().terminal().received();
    // Answers arrive while "Hex" and "Times" are ticked and unticked; each
    // toggle is checked as text goes on arriving.
    const auto answerWhile = [&](int bytes, const std::function<void()>& toggled) {
        const QByteArray read = eepromAnswer(bytes);
        feedAnswer(f, read, model.text().size() + read.size(), [&](int step) {
            if (step % 4 == 3) {
                (step % 8 == 3 ? hex : times)->click();
                toggled();
            }
        });
    };
    f.pty.send("Ready:\r\n");
    QTRY_VERIFY(model.text().endsWith(QStringLiteral("Ready:\r\n")));
    hex->click();
    hex->click();
    // A view at the end follows the end.
    answerWhile(20000, [&] { QVERIFY(showsEnd(f)); });
    QVERIFY(showsEnd(f));
    if (hex->isChecked())
        hex->click();
    // A view in the middle keeps the byte at its top.
    QScrollBar* bar = f.rcvText()->verticalScrollBar();
    bar->setValue(bar->maximum() / 2 + 3);
    const qsizetype top = topByte(f);
    QVERIFY(top > 1000);
    answerWhile(6000, [&] { QVERIFY2(atTop(f, top), qPrintable(QString::number(topByte(f) - top))); });
    QVERIFY(atTop(f, top));
}

VARNIX_TEST_MAIN(ReceiveWindowTest)
#include "tst_receivewindow.moc"
