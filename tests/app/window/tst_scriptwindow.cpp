// SPDX-License-Identifier: GPL-3.0-or-later
// Scripts in the window, against a virtual board in this process: a run
// previewed and then drawn, Stop with a click held for after it, the
// comparison of the board's display memory with the model, and the read of
// it into the view when the board says it started again.
#include "display/displayview.h"
#include "board/displaycheck.h"
#include "screens/screens.h"
#include "script/runner.h"
#include "support/behind.h"
#include "support/boardfixture.h"
#include "support/pagedriver.h"
#include "support/scriptstandins.h"
#include "support/testmain.h"
#include "widgets/fields.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace varnix;

namespace {

DisplayView* scriptView(test::BoardFixture& f)
{
    return f.find<DisplayView>(QStringLiteral("displayView"));
}

} // namespace

class ScriptWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void runShowsWhatItWillDrawThenDrawsIt();
    void stopEndsTheRunAndHeldClickFollows();
    void compareFindsPixelsChangedBehindTheProgramsBack();
    void compareRightAfterAFrameTakesTheWholeDump();
    void startLineReadsTheBoardIntoTheView();
    void aScreenThatDiffersStopsTheRunAndIsKeptAsTheReference();
    void checkScreenHereRecordsAScreenLine();
};

void ScriptWindowTest::runShowsWhatItWillDrawThenDrawsIt()
{
    test::BoardFixture f;
    f.open();
    QVERIFY(f.settle());
    f.click(QStringLiteral("cmdCirc"));  // drawn before the script: its toggle clears a dot of it
    QVERIFY(f.settle());
    QTemporaryDir dir;
    const QStringList frames{"]r]007f003f]1", "]h]0A04]V]A]R]N]I]X]@", "]e]5420", "]e]0202"};
    f.desktop.openPath = test::writeScriptFile(dir, "# a screen\ndelay 2\n" + frames.join(u'\n').toLatin1() + '\n');

    std::optional<board::Display> shownWhileAsked;
    qsizetype receivedWhileAsked = -1;
    f.desktop.whileAsked = [&] {
        QCoreApplication::processEvents();
        shownWhileAsked = scriptView(f)->preview();
        receivedWhileAsked = f.board.received().size();
    };
    const qsizetype before = f.board.received().size();
    const QString readyBefore = f.rcvText()->exactText();
    f.click(QStringLiteral("cmdRunScript"));
    QVERIFY(f.settle());

    QCOMPARE(f.desktop.questions.size(), 1);
    QVERIFY2(f.desktop.questions[0].contains(QStringLiteral("It sends 4 frames; the line will take about")),
             qPrintable(f.desktop.questions[0]));
    // Asked before anything went out, with the model's picture of the result.
    QCOMPARE(receivedWhileAsked, before);
    QVERIFY(shownWhileAsked);
    QCOMPARE(*shownWhileAsked, board::drawn(frames, board::drawn({"]c]402014"})).display());
    QCOMPARE(f.board.firmware().display(), *shownWhileAsked);
    QCOMPARE(f.board.received().mid(before), frames.join(QString()).toLatin1());
    QCOMPARE(f.desktop.texts(), QStringList());
    QCOMPARE(f.rcvText()->exactText().count(QStringLiteral("Ready:")), readyBefore.count(u"Ready:") + 4);
    QCOMPARE(f.txmText()->exactText(), frames.last());

    // Declined, nothing is sent and the preview goes.
    f.desktop.answer = false;
    f.click(QStringLiteral("cmdRunScript"));
    QVERIFY(f.settle());
    QCOMPARE(f.board.received().size(), before + frames.join(QString()).size());
    QCOMPARE(f.desktop.questions.size(), 2);
    QTRY_VERIFY(scriptView(f)->preview() != shownWhileAsked);
}

void ScriptWindowTest::stopEndsTheRunAndHeldClickFollows()
{
    test::BoardFixture f;
    f.open();
    QVERIFY(f.settle());
    test::showActive(f);
    QTemporaryDir dir;
    QString all;
    QByteArray file = "delay 25\n";
    for (int i = 0; i < 60; ++i) {
        const QString frame = QStringLiteral("]d]%1%2").arg(i, 2, 16, QLatin1Char('0')).arg(10, 2, 16, QLatin1Char('0'));
        all += frame;
        file += frame.toLatin1() + '\n';
    }
    f.desktop.openPath = test::writeScriptFile(dir, file);
    auto* runner = f.main().findChild<script::Runner*>();
    int answered = 0;
    QObject::connect(runner, &script::Runner::answered, [&] {
        if (++answered != 3)
            return;
        // A click on "Clear LCD" waits for the run; Stop ends it.
        QTimer::singleShot(30, [&] {
            QTest::mouseClick(f.find<QPushButton>(QStringLiteral("Command1")), Qt::LeftButton);
            QTest::mouseClick(f.find<QPushButton>(QStringLiteral("cmdStop")), Qt::LeftButton);
        });
    });
    const qsizetype before = f.board.received().size();
    f.click(QStringLiteral("cmdRunScript"));
    QVERIFY(f.settle());

    const QByteArray sent = f.board.received().mid(before);
    QVERIFY2(sent.endsWith("]k"), sent.constData());
    const QByteArray ofScript = sent.chopped(2);
    // At least the three answered frames; on a loaded machine the fourth may not have begun.
    QVERIFY2(ofScript.size() >= 3 * 7 && ofScript.size() < all.size() / 2, sent.constData());
    QVERIFY(all.toLatin1().startsWith(ofScript));
    QVERIFY(!f.find<QPushButton>(QStringLiteral("cmdStop"))->isEnabled());
    QVERIFY(f.find<QPushButton>(QStringLiteral("cmdRunScript"))->isEnabled());
    QCOMPARE(f.desktop.texts(), QStringList());
}

void ScriptWindowTest::compareFindsPixelsChangedBehindTheProgramsBack()
{
    test::BoardFixture f;
    // Opened before the program takes the device for itself.
    const int behind = ::open(QFile::encodeName(f.board.devicePath()).constData(), O_WRONLY | O_NOCTTY);
    QVERIFY(behind >= 0);
    f.open();
    QVERIFY(f.settle());
    f.click(QStringLiteral("cmdCirc"));
    QVERIFY(f.settle());
    const board::Display model = scriptView(f)->display();

    f.click(QStringLiteral("cmdCompare"));
    QVERIFY(f.settle());
    QCOMPARE(f.desktop.texts(), QStringList{"The board shows what was sent: no pixel differs."});
    QVERIFY2(f.rcvText()->exactText().startsWith(QStringLiteral("0000")), qPrintable(f.rcvText()->exactText()));

    // A dot set and one of the circle toggled off, behind the program's back.
    const QByteArray sneaked = "]d]0506]e]402c";
    QCOMPARE(::write(behind, sneaked.constData(), size_t(sneaked.size())), ssize_t(sneaked.size()));
    ::close(behind);
    QVERIFY(f.settle());
    f.desktop.messages.clear();
    f.click(QStringLiteral("cmdCompare"));
    QVERIFY(f.settle());
    QCOMPARE(f.desktop.texts().size(), 1);
    QVERIFY2(f.desktop.texts()[0].startsWith(
                 QStringLiteral("Compared with what was sent, 2 pixels differ; the first at column 5, row 6.")),
             qPrintable(f.desktop.texts()[0]));
    // Shown over what the board should be showing: the board's own display.
    QCOMPARE(scriptView(f)->display(), model);
    QCOMPARE(scriptView(f)->preview(), std::optional(f.board.firmware().display()));
    // Read into the view, the board's display is what the view shows.
    f.click(QStringLiteral("cmdReadBoard"));
    QVERIFY(f.settle());
    QTRY_COMPARE(scriptView(f)->display(), f.board.firmware().display());
    QVERIFY(scriptView(f)->display() != model);
    QCOMPARE(f.desktop.texts().size(), 1);
    // Gone with the next change.
    f.click(QStringLiteral("Command1"));
    QVERIFY(f.settle());
    QTRY_VERIFY(scriptView(f)->preview() != std::optional(f.board.firmware().display()));
}

void ScriptWindowTest::compareRightAfterAFrameTakesTheWholeDump()
{
    test::BoardFixture f;
    f.open();
    QVERIFY(f.settle());
    // The circle's prompt comes only once the line has been quiet, after the
    // compare has begun.
    f.click(QStringLiteral("cmdCirc"));
    f.click(QStringLiteral("cmdCompare"));
    QVERIFY(f.settle());
    QCOMPARE(f.desktop.texts(), QStringList{"The board shows what was sent: no pixel differs."});
}

void ScriptWindowTest::startLineReadsTheBoardIntoTheView()
{
    test::PtyFixture f;
    f.pty.startReading();
    f.click(QStringLiteral("cmdCom"));
    QVERIFY(f.port.isOpen());
    auto* view = f.find<DisplayView>(QStringLiteral("displayView"));
    auto* note = f.find<QLabel>(QStringLiteral("lblPortNote"));
    f.click(QStringLiteral("cmdCirc"));
    const board::Display circle = board::drawn({QStringLiteral("]c]402014")}).display();
    QTRY_COMPARE(view->display(), circle);
    const QByteArray readFrame(board::kWholeDisplayRead);

    // The circle answered, then started again and silent: the view is
    // marked as not known.
    QVERIFY(f.pty.send("Ready:\r\n" + board::Firmware().banner()));
    QTRY_VERIFY_WITH_TIMEOUT(f.pty.received().contains(readFrame), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!view->uncertainNote().isEmpty(), 5000);
    QCOMPARE(view->display(), circle);
    QVERIFY2(note->text().contains(QStringLiteral("did not answer")), qPrintable(note->text()));
    f.click(QStringLiteral("Command1"));
    QTRY_VERIFY(view->uncertainNote().isEmpty());

    // Started again and answering, a late prompt well ahead of the dump: the
    // view is what it sent. The read waits with the event loop running.
    board::Firmware started = board::drawn({QStringLiteral("]d]0506")});
    const QByteArray dump = started.feed(readFrame);
    const qsizetype before = f.pty.received().size();
    QElapsedTimer sincePrompt;
    QTimer board;
    QObject::connect(&board, &QTimer::timeout, [&] {
        if (!sincePrompt.isValid() && f.pty.received().mid(before).contains(readFrame)) {
            f.pty.send("Ready:\r\n");
            sincePrompt.start();
        } else if (sincePrompt.isValid() && sincePrompt.elapsed() > 150) {
            f.pty.send(dump);
            board.stop();
        }
    });
    board.start(10);
    QVERIFY(f.pty.send(started.banner()));
    QTRY_COMPARE_WITH_TIMEOUT(view->display(), started.display(), 5000);
    QVERIFY(view->uncertainNote().isEmpty());
    QVERIFY2(note->text().contains(QStringLiteral("The board started again. The display view shows what the "
                                                  "board shows.")),
             qPrintable(note->text()));
    // Drawn on from there.
    f.click(QStringLiteral("cmdCirc"));
    QTRY_COMPARE(view->display(), board::drawn({QStringLiteral("]c]402014")}, started).display());
    QCOMPARE(f.desktop.texts(), QStringList());
}

// A dot the picture does not have stops the run at its screen line, the
// board's display shown over the picture; kept as the reference, the next
// run passes.
void ScriptWindowTest::aScreenThatDiffersStopsTheRunAndIsKeptAsTheReference()
{
    test::BoardFixture f;
    QVERIFY(test::writeBehind(f.board, "]d]0506"));
    f.open();
    QVERIFY(f.settle());
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("circle.png"));
    const board::Display circle = board::drawn({"]c]402014"}).display();
    QVERIFY(screens::writePicture(circle, picture).isEmpty());
    f.desktop.openPath = test::writeScriptFile(dir, "delay 0\n]c]402014\nscreen circle.png\n]d]0101\n");

    f.click(QStringLiteral("cmdRunScript"));
    QVERIFY(f.settle());
    QCOMPARE(f.desktop.texts().size(), 1);
    QVERIFY2(f.desktop.texts()[0].startsWith(
                 QStringLiteral("test.vnx line 3: 1 pixel differs (first at 5, 6); the script stopped there.")),
             qPrintable(f.desktop.texts()[0]));
    QVERIFY(!f.board.received().contains("]d]0101"));
    QTRY_COMPARE(scriptView(f)->display(), circle);
    QCOMPARE(scriptView(f)->preview(), std::optional(f.board.firmware().display()));

    f.desktop.savePath = picture;
    f.click(QStringLiteral("cmdSaveReference"));
    QCOMPARE(std::get<screens::Picture>(screens::readPicture(picture)).display, std::optional(f.board.firmware().display()));
    f.desktop.messages.clear();
    f.click(QStringLiteral("cmdRunScript"));
    QVERIFY(f.settle());
    QCOMPARE(f.desktop.texts(), QStringList());
    QVERIFY(f.board.received().endsWith("]d]0101"));
}

// Check screen here keeps the board's display as a picture and records the
// screen line that compares with it, named from the script's folder.
void ScriptWindowTest::checkScreenHereRecordsAScreenLine()
{
    test::BoardFixture f;
    f.open();
    QVERIFY(f.settle());
    QTemporaryDir dir;
    f.click(QStringLiteral("cmdRecord"));
    f.click(QStringLiteral("cmdCirc"));
    QVERIFY(f.settle());
    f.desktop.savePath = dir.filePath(QStringLiteral("shots/circle"));
    f.click(QStringLiteral("cmdCheckScreen"));
    QVERIFY(f.settle());
    f.click(QStringLiteral("cmdRecord"));
    QCOMPARE(std::get<screens::Picture>(screens::readPicture(dir.filePath(QStringLiteral("shots/circle.png")))).display,
             std::optional(f.board.firmware().display()));
    f.desktop.savePath = dir.filePath(QStringLiteral("check.vnx"));
    f.click(QStringLiteral("cmdSaveScript"));
    QFile saved(f.desktop.savePath);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray text = saved.readAll();
    QVERIFY2(text.endsWith("]c]402014\nscreen shots/circle.png\n"), text.constData());
    QCOMPARE(f.desktop.texts(), QStringList());
}

VARNIX_TEST_MAIN(ScriptWindowTest)
#include "tst_scriptwindow.moc"
