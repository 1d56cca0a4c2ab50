// SPDX-License-Identifier: GPL-3.0-or-later
// The screen editor in the window: a screen drawn, followed live by a
// virtual board, saved, reopened and run; the panel refusing what the pages
// refuse; the mouse and the keys; files kept byte for byte; a copy restored
// after the editor was killed; a burst of edits behind ser2net.
#include "editor/canvas.h"
#include "editor/live.h"
#include "editor/propertypanel.h"
#include "editor/screeneditor.h"
#include "hostcode/exportdialog.h"
#include "screens/screens.h"
#include "support/boardfixture.h"
#include "support/fixture.h"
#include "support/screens.h"
#include "support/ser2net.h"
#include "support/testmain.h"
#include "transfer/picturedriver.h"
#include "widgets/fields.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace varnix;
using editor::Kind;

namespace {

constexpr char kChildFolder[] = "VARNIX_EDITOR_CHILD";

ScreenEditor* openEditor(test::WindowFixture& f, test::AnsweringDialogs* dialogs, const QString& folder)
{
    f.main().setScreenSetup(dialogs, folder);
    f.click(QStringLiteral("cmdScreen"));
    return f.main().screenEditor();
}

// The editor on a virtual board through its pty, Live on; null when the
// board does not answer or Live does not start.
ScreenEditor* liveEditor(test::BoardFixture& f, test::AnsweringDialogs* dialogs, const QString& folder)
{
    f.open();
    if (!f.settle())
        return nullptr;
    // A short pacing: the virtual board keeps up with any.
    f.setField(QStringLiteral("xmitdelay"), QStringLiteral("2"));
    ScreenEditor* editor = openEditor(f, dialogs, folder);
    if (editor)
        editor->findChild<QCheckBox*>(QStringLiteral("chkLive"))->click();
    return editor && editor->live().isOn() ? editor : nullptr;
}

void press(ScreenEditor* editor, const char* button)
{
    auto* found = editor->findChild<QPushButton*>(QLatin1String(button));
    QVERIFY2(found, button);
    found->click();
}

void trigger(ScreenEditor* editor, const char* name)
{
    auto* found = editor->findChild<QAction*>(QLatin1String(name));
    QVERIFY2(found, name);
    found->trigger();
}

// Types into a field of the panel and presses Enter.
void enter(ScreenEditor* editor, const QString& field, const QString& text)
{
    LineField* shown = editor->properties()->field(field);
    QVERIFY2(shown, qPrintable(field));
    shown->setExactText(text);
    QTest::keyClick(shown, Qt::Key_Return);
}

// The mouse on the canvas at a dot of the display.
void mouse(ScreenEditor* editor, QEvent::Type type, QPoint dot, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    ScreenCanvas* canvas = editor->canvas();
    const QPointF at((dot.x() + 0.5) * canvas->zoom(), (dot.y() + 0.5) * canvas->zoom());
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, canvas->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      held, modifiers);
    QApplication::sendEvent(canvas, &event);
}

void drag(ScreenEditor* editor, QPoint from, QPoint to)
{
    mouse(editor, QEvent::MouseButtonPress, from);
    mouse(editor, QEvent::MouseMove, (from + to) / 2);
    mouse(editor, QEvent::MouseMove, to);
    mouse(editor, QEvent::MouseButtonRelease, to);
}

QStringList frames(const ScreenEditor* editor)
{
    return editor->screen().frames();
}

QString undoText(ScreenEditor* editor)
{
    return editor->findChild<QAction*>(QStringLiteral("actUndo"))->text();
}

} // namespace

class ScreenEditorTest : public QObject
{
    Q_OBJECT
private slots:
    void titleValueAndBarFollowedLiveSavedReopenedAndRun();
    void bitmapTextFollowedLiveAndReopenedWithoutItsFont();
    void panelRefusesWhatThePagesRefuse_data();
    void panelRefusesWhatThePagesRefuse();
    void mouseAndKeysEditTheObjects();
    void filesKeepEveryLineAndAskBeforeWorkIsLost();
    void picturesAreNamedFromTheScriptsFolder();
    void restoresWhatAKilledEditorLeft();
    void killedEditorChild();
    void burstOfEditsBehindSer2netAndALostPort();
};

void ScreenEditorTest::titleValueAndBarFollowedLiveSavedReopenedAndRun()
{
    QTemporaryDir dir;
    test::BoardFixture f;
    test::AnsweringDialogs dialogs;
    ScreenEditor* editor = liveEditor(f, &dialogs, dir.path());
    QVERIFY(editor);

    // A title, a value in large digits and a bar, each seen on the board as
    // it is made.
    press(editor, "cmdAddHorizontalString");
    enter(editor, QStringLiteral("txtH"), QStringLiteral("tank"));
    enter(editor, QStringLiteral("txtHStrX"), QStringLiteral("40"));
    enter(editor, QStringLiteral("txtHStrY"), QStringLiteral("2"));
    render::TextChoice value;
    value.text = QStringLiteral("42");
    value.pixelSize = 16;
    dialogs.text = value;
    dialogs.block = render::BlockChoice{{48, 127, 2, 3}, false, true};
    press(editor, "cmdAddText");
    press(editor, "cmdAddBar");
    enter(editor, QStringLiteral("txtbarx"), QStringLiteral("10"));
    enter(editor, QStringLiteral("txtbary"), QStringLiteral("40"));
    enter(editor, QStringLiteral("txtbarwidth"), QStringLiteral("100"));
    enter(editor, QStringLiteral("txtbarheight"), QStringLiteral("12"));
    QCOMPARE(undoText(editor), QStringLiteral("&Undo Change Bar Height"));
    QTRY_VERIFY_WITH_TIMEOUT(!editor->live().sending() && f.settle()
                                 && f.board.firmware().display() == editor->canvas()->display(),
                             20000);
    QVERIFY(f.desktop.messages.isEmpty());
    QVERIFY(frames(editor).contains(QStringLiteral("]h]2802]T]A]N]K]@")));

    // Saved, and opened again: the same objects, the text still a text.
    const QByteArray saved = editor->screen().text();
    f.desktop.savePath = dir.filePath(QStringLiteral("tank"));
    trigger(editor, "actSave");
    QCOMPARE(editor->path(), dir.filePath(QStringLiteral("tank.vnx")));
    QVERIFY(!editor->isModified());
    QVERIFY(editor->openFile(editor->path()));
    QCOMPARE(editor->screen().text(), saved);
    QStringList kinds;
    for (const editor::Item& item : editor->screen().items())
        if (item.isObject())
            kinds << item.shape->name();
    QCOMPARE(kinds, (QStringList{"Horizontal String", "Text", "Bar"}));

    // Run as a script on the board through its pty, after clearing it.
    editor->findChild<QCheckBox*>(QStringLiteral("chkLive"))->click();
    f.click(QStringLiteral("Command1"));
    QVERIFY(f.settle());
    press(editor, "cmdRun");
    QVERIFY(f.settle());
    QCOMPARE(f.desktop.questions.size(), 1);
    QCOMPARE(f.board.firmware().display(), editor->canvas()->display());

    // Kept as the picture a screen line compares the board with.
    f.desktop.savePath = dir.filePath(QStringLiteral("tank"));
    trigger(editor, "actSaveReference");
    QTRY_VERIFY(QFile::exists(dir.filePath(QStringLiteral("tank.png"))));
    QCOMPARE(std::get<screens::Picture>(screens::readPicture(dir.filePath(QStringLiteral("tank.png")))).display,
             std::optional(f.board.firmware().display()));
}

void ScreenEditorTest::bitmapTextFollowedLiveAndReopenedWithoutItsFont()
{
    QTemporaryDir dir;
    const QString font = dir.filePath(QStringLiteral("6x13.pcf.gz"));
    QVERIFY(QFile::copy(QStringLiteral("/usr/share/fonts/X11/misc/6x13.pcf.gz"), font));
    test::BoardFixture f;
    test::AnsweringDialogs dialogs;
    ScreenEditor* editor = liveEditor(f, &dialogs, dir.path());
    QVERIFY(editor);
    render::TextChoice text;
    text.text = QStringLiteral("Hello");
    text.font = font;
    text.scale = 2;
    dialogs.text = text;
    dialogs.block = render::BlockChoice{{0, 127, 1, 1}, false, true};
    press(editor, "cmdAddText");
    // Made narrower, it is drawn anew in its font, and the board follows.
    QCOMPARE(render::blockPlace(editor->screen().items().back().shape->block()),
             QStringLiteral("columns 0 to 59, rows 1 to 4"));
    enter(editor, QStringLiteral("txtlcdx2"), QStringLiteral("40"));
    const editor::Shape drawn = *editor->screen().items().back().shape;
    QCOMPARE(render::blockPlace(drawn.block()), QStringLiteral("columns 0 to 40, rows 1 to 4"));
    QVERIFY(drawn.bytes.count('\0') < drawn.bytes.size());
    QTRY_VERIFY_WITH_TIMEOUT(!editor->live().sending() && f.settle()
                                 && f.board.firmware().display() == editor->canvas()->display(),
                             20000);

    // Saved, and opened again without its font: the same text object, its
    // dots and its file kept, and the person told.
    f.desktop.savePath = dir.filePath(QStringLiteral("hello.vnx"));
    trigger(editor, "actSave");
    const QByteArray saved = editor->screen().text();
    QVERIFY(QFile::remove(font));
    QVERIFY(editor->openFile(editor->path()));
    QCOMPARE(*editor->screen().items().back().shape, drawn);
    editor->select({editor->screen().items().back().id});
    auto* said = editor->findChild<QLabel*>(QStringLiteral("lblLive"));
    QVERIFY2(said->text().endsWith(QStringLiteral("The text keeps the dots it was saved with.")),
             qPrintable(said->text()));
    // What needs the font says why it cannot be drawn anew; the object
    // stays a text with its choices.
    enter(editor, QStringLiteral("txtlcdx2"), QStringLiteral("30"));
    QVERIFY2(said->text().startsWith(QStringLiteral("The text's font cannot be read")), qPrintable(said->text()));
    QCOMPARE(editor->screen().items().back().shape->textOrigin.choice.font, font);
    trigger(editor, "actUndo");
    QCOMPARE(editor->screen().text(), saved);
    QVERIFY(f.desktop.messages.isEmpty());
}

void ScreenEditorTest::panelRefusesWhatThePagesRefuse_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("frame");
    const auto row = [](const char* name, Kind kind, const char* field, const char* text, const char* message,
                        const char* frame) {
        QTest::newRow(name) << int(kind) << QString::fromLatin1(field) << QString::fromUtf8(text)
                            << QString::fromUtf8(message) << QString::fromLatin1(frame);
    };
    // The pages' own leave-field checks, with their messages.
    row("bar x", Kind::Bar, "txtbarx", "300", "Invalid Value", "]b]14191438]1");
    row("rectangle step", Kind::Rectangle, "txtrs1", "0", "Must be between 1 and 9", "]r]007f003f]1");
    row("axis length past 255", Kind::XAxis, "txtXaxisLen", "240", "Out of bounds value!", "]x]107438]4");
    row("character x", Kind::Character, "txtPutChrx", "2", "Invalid Entry. Number must be between 3 and 124",
        "]p]0a0a]A");
    row("vertical string y", Kind::VerticalString, "txtVStrY", "-1", "Out of range", "]v]4000]O]R]V]A]N]T]A]1]@");
    // What composing the frame refuses, as the pages say it.
    row("not a number", Kind::Circle, "txtCx", "12a", "X must hold one number, not \"12a\".", "]c]402014");
    row("character missing", Kind::Character, "txtPutChr", "", "Character is empty; it must hold one character.",
        "]p]0a0a]A");
    // What the board cannot take, though no page checks it.
    row("radius past a pair", Kind::Circle, "txtcr", "256", "Radius must be from 0 to 255, not \"256\".",
        "]c]402014");
    row("an end in a string", Kind::HorizontalString, "txtH", "A@B",
        "String cannot hold \"@\": the board ends the string there.", "]h]0120]T]E]S]S]E]L]@");
    // Values that pass, as the page would send them.
    row("radius", Kind::Circle, "txtcr", "29.5", "", "]c]40201e");
    row("lower case string", Kind::HorizontalString, "txtH", " ab ", "", "]h]0120]A]B]@");
    row("a block's end", Kind::Block, "txtlcdx2", "57", "", "]m]38390303]00]00");
}

void ScreenEditorTest::panelRefusesWhatThePagesRefuse()
{
    QFETCH(int, kind);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(QString, frame);
    QTemporaryDir dir;
    test::Fixture f;
    ScreenEditor* editor = openEditor(f, nullptr, dir.path());
    editor->addObject(Kind(kind));
    enter(editor, field, text);
    QCOMPARE(f.desktop.texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(frames(editor).back(), frame);
    // A refused text is replaced by what the object holds.
    if (!message.isEmpty())
        QVERIFY(editor->properties()->field(field)->exactText() != text);
}

void ScreenEditorTest::mouseAndKeysEditTheObjects()
{
    QTemporaryDir dir;
    test::Fixture f;
    ScreenEditor* editor = openEditor(f, nullptr, dir.path());
    // Live needs the port open, as every command does.
    editor->findChild<QCheckBox*>(QStringLiteral("chkLive"))->click();
    QCOMPARE(f.desktop.texts(), QStringList{"Comm Port Not Open"});
    QVERIFY(!editor->findChild<QCheckBox*>(QStringLiteral("chkLive"))->isChecked());
    f.desktop.messages.clear();
    editor->addObject(Kind::Circle);
    editor->addObject(Kind::Dot);
    editor->canvas()->setZoom(4);

    // Found on its ring and dragged; one edit, named.
    drag(editor, {84, 32}, {94, 37});
    QCOMPARE(frames(editor).mid(1), (QStringList{"]c]4a2514", "]d]4020"}));
    QCOMPARE(undoText(editor), QStringLiteral("&Undo Move Circle"));
    // Its radius handle.
    drag(editor, {94, 37}, {99, 37});
    QCOMPARE(frames(editor)[1], QStringLiteral("]c]4a2519"));
    QCOMPARE(undoText(editor), QStringLiteral("&Undo Resize Circle"));
    editor->undo();
    QCOMPARE(frames(editor)[1], QStringLiteral("]c]4a2514"));
    editor->redo();

    // A frame around both selects both; Ctrl+click takes one out again.
    drag(editor, {0, 0}, {127, 63});
    QCOMPARE(editor->selection().size(), 2);
    mouse(editor, QEvent::MouseButtonPress, {64, 32}, Qt::ControlModifier);
    mouse(editor, QEvent::MouseButtonRelease, {64, 32}, Qt::ControlModifier);
    QCOMPARE(editor->selection().size(), 1);

    // The keys: arrows by one dot, with Shift by eight; Tab to the next.
    editor->canvas()->setFocus();
    QTest::keyClick(editor->canvas(), Qt::Key_Right);
    QTest::keyClick(editor->canvas(), Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(frames(editor)[1], QStringLiteral("]c]4b2d19"));
    QTest::keyClick(editor->canvas(), Qt::Key_Tab);
    QCOMPARE(editor->selection(), editor::Ids{editor->screen().items()[3].id});
    // Past the last object, on to the next control.
    QApplication::setActiveWindow(editor);
    editor->canvas()->setFocus();
    QTest::keyClick(editor->canvas(), Qt::Key_Tab);
    QVERIFY(editor->findChild<QCheckBox*>(QStringLiteral("chkLive"))->hasFocus());

    // Copied as script text, pasted a row lower and to the right.
    trigger(editor, "actCopy");
    QCOMPARE(f.desktop.clipboard, QStringLiteral("]d]4020\n"));
    trigger(editor, "actPaste");
    QCOMPARE(frames(editor).back(), QStringLiteral("]d]4828"));
    // Locked, it stays where it is; hidden, it is not drawn.
    trigger(editor, "actLock");
    QTest::keyClick(editor->canvas(), Qt::Key_Left);
    QCOMPARE(frames(editor).back(), QStringLiteral("]d]4828"));
    trigger(editor, "actHide");
    QVERIFY(!frames(editor).contains(QStringLiteral("]d]4828")));
    QCOMPARE(undoText(editor), QStringLiteral("&Undo Hide Dot"));
    QVERIFY(editor->screen().text().endsWith("#: dot locked\n#- ]d]4828\n"));

    // Raised and aligned, deleted, and all of it undone.
    editor->select({editor->screen().items()[2].id});
    trigger(editor, "actRaise");
    QCOMPARE(editor->screen().items()[3].shape->kind, Kind::Circle);
    trigger(editor, "actAlignLeft");
    QCOMPARE(frames(editor)[2], QStringLiteral("]c]192d19"));
    trigger(editor, "actDelete");
    while (editor->history().canUndo())
        editor->undo();
    QCOMPARE(frames(editor), QStringList{"]k"});
    QVERIFY(f.desktop.messages.isEmpty());
}

void ScreenEditorTest::filesKeepEveryLineAndAskBeforeWorkIsLost()
{
    QTemporaryDir dir;
    test::Fixture f;
    ScreenEditor* editor = openEditor(f, nullptr, dir.path());
    const QByteArray every = test::everyKindOfLine().join("\r\n");
    const QString path = dir.filePath(QStringLiteral("every.vnx"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(every) == every.size());
    file.close();

    QVERIFY(editor->openFile(path));
    QCOMPARE(editor->windowTitle(), QStringLiteral("every.vnx[*] - Varnix Screen"));
    QVERIFY(editor->findChild<QLabel*>(QStringLiteral("lblLive"))->text().startsWith(QStringLiteral("3 lines")));
    editor->addObject(Kind::Dot);
    editor->undo();
    trigger(editor, "actSave");
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), every);
    file.close();
    QCOMPARE(ScreenEditor::recentFiles().value(0), path);

    // A file that cannot be read changes nothing, and nothing is written.
    editor->addObject(Kind::Dot);
    QVERIFY(editor->isWindowModified());
    QVERIFY(!editor->openFile(dir.filePath(QStringLiteral("missing.vnx"))));
    QCOMPARE(f.desktop.texts().size(), 1);
    QCOMPARE(editor->path(), path);
    QVERIFY(editor->isModified());
    // Unsaved work is asked about; Cancel keeps it.
    f.desktop.answer = false;
    trigger(editor, "actNew");
    QCOMPARE(f.desktop.questions.size(), 1);
    QCOMPARE(editor->path(), path);
    // A save that fails keeps the mark.
    f.desktop.savePath = dir.filePath(QStringLiteral("no/such/folder/every.vnx"));
    trigger(editor, "actSaveAs");
    QCOMPARE(f.desktop.texts().size(), 2);
    QVERIFY(editor->isModified());
    // Exit asks too, and Cancel keeps the program going.
    f.click(QStringLiteral("cmdExit"));
    QCOMPARE(f.desktop.questions.size(), 2);
    QVERIFY(!f.main().closing());
    QVERIFY(editor->isVisible());
}

void ScreenEditorTest::picturesAreNamedFromTheScriptsFolder()
{
    QTemporaryDir dir;
    QImage logo(40, 40, QImage::Format_RGB32);
    logo.fill(Qt::white);
    QPainter(&logo).fillRect(10, 10, 20, 20, Qt::black);
    const QString picture = dir.filePath(QStringLiteral("logo.png"));
    QVERIFY(logo.save(picture));
    test::Fixture f;
    test::AnsweringDialogs dialogs;
    dialogs.openPath = picture;
    ScreenEditor* editor = openEditor(f, &dialogs, dir.path());
    editor->addObject(Kind::Picture);
    const editor::Shape& added = *editor->screen().items().back().shape;
    QCOMPARE(added.kind, Kind::Picture);
    QCOMPARE(added.pictureOrigin.file, picture);

    // Saved beside it, the script names it from its own folder.
    f.desktop.savePath = dir.filePath(QStringLiteral("tank.vnx"));
    trigger(editor, "actSaveAs");
    QCOMPARE(editor->screen().items().back().shape->pictureOrigin.file, QStringLiteral("logo.png"));
    // Made smaller by a handle, it is drawn anew from the file.
    const QByteArray before = editor->screen().items().back().shape->bytes;
    editor->canvas()->setZoom(4);
    drag(editor, {127, 63}, {63, 31});
    const editor::Shape& smaller = *editor->screen().items().back().shape;
    QCOMPARE(smaller.block().bytes(), 64 * 4);
    QVERIFY(smaller.bytes != editor::reshapedBytes(before, render::LcdBlock{}, smaller.block()));
    trigger(editor, "actSave");
    QVERIFY(editor->openFile(editor->path()));
    QCOMPARE(editor->screen().items().back().shape->kind, Kind::Picture);

    // Preview draws the screen as --preview does; Export takes it as a
    // script.
    dialogs.saveTarget = {dir.filePath(QStringLiteral("tank.png")), false};
    press(editor, "cmdPreview");
    const QImage previewed(dir.filePath(QStringLiteral("tank.png")));
    QCOMPARE(previewed.size(), QSize(128, 64));
    QCOMPARE(qGray(previewed.pixel(32, 16)), 0);
    QCOMPARE(qGray(previewed.pixel(100, 50)), 255);
    press(editor, "cmdExport");
    auto* exported = editor->findChild<hostcode::ExportDialog*>();
    QVERIFY(exported);
    QVERIFY(exported->code().contains(QStringLiteral("varnix_send_tank")));
    QVERIFY(f.desktop.messages.isEmpty());
}

void ScreenEditorTest::restoresWhatAKilledEditorLeft()
{
    QTemporaryDir dir;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(kChildFolder), dir.path());
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("tst_screeneditor"), QStringLiteral("killedEditorChild")});
    QVERIFY(child.waitForStarted());
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += child.readAllStandardOutput()).contains("edited")
                                 || child.state() != QProcess::Running,
                             30000);
    QCOMPARE(child.state(), QProcess::Running);
    child.kill();
    QVERIFY(child.waitForFinished());

    test::Fixture f;
    ScreenEditor* editor = openEditor(f, nullptr, dir.path());
    QCOMPARE(f.desktop.questions.size(), 1);
    QVERIFY2(f.desktop.questions.front().startsWith(QStringLiteral("Varnix ended while a new screen was being edited")),
             qPrintable(f.desktop.questions.front()));
    QCOMPARE(frames(editor), (QStringList{"]k", "]c]402014", "]s]402014"}));
    QVERIFY(editor->isModified());
    // Asked once: the copy is the editor's own now.
    editor->close();
    test::Fixture next;
    openEditor(next, nullptr, dir.path());
    QVERIFY(next.desktop.questions.isEmpty());
}

void ScreenEditorTest::killedEditorChild()
{
    // Run by restoresWhatAKilledEditorLeft in a process of its own, killed
    // once the copy has been kept.
    const QString folder = qEnvironmentVariable(kChildFolder);
    if (folder.isEmpty())
        QSKIP("the editor that restoresWhatAKilledEditorLeft kills");
    test::Fixture f;
    ScreenEditor* editor = openEditor(f, nullptr, folder);
    editor->addObject(Kind::Circle);
    editor->addObject(Kind::Square);
    QTRY_VERIFY(!QDir(folder).entryList({QStringLiteral("*.vnxrecovery")}).isEmpty());
    std::fputs("edited\n", stdout);
    std::fflush(stdout);
    QTest::qWait(60000);
}

void ScreenEditorTest::burstOfEditsBehindSer2netAndALostPort()
{
    if (!test::Ser2net::installed())
        QSKIP("ser2net is not installed");
    QTemporaryDir dir;
    test::BoardFixture f;
    test::Ser2net server(f.board.devicePath());
    QVERIFY2(server.start(), qPrintable(server.error()));
    QVERIFY2(f.openNetwork(server.rawAddress()), qPrintable(f.desktop.texts().join(u'|')));
    QVERIFY(f.settle());
    ScreenEditor* editor = openEditor(f, nullptr, dir.path());
    editor->canvas()->setZoom(2);
    editor->findChild<QCheckBox*>(QStringLiteral("chkLive"))->click();
    QVERIFY(editor->live().isOn());
    const qint64 before = f.board.receivedCount();

    // A hundred edits as fast as they come, the board taking what it can:
    // objects added, dragged step by step, nudged, undone.
    QRandomGenerator random(36);
    static const Kind kinds[] = {Kind::Circle, Kind::Bar, Kind::Dot, Kind::Line, Kind::Star, Kind::Byte,
                                 Kind::HorizontalString, Kind::Block, Kind::Rectangle};
    int made = 0;
    std::optional<QPoint> dragging;
    QTimer burst;
    burst.setInterval(0);
    connect(&burst, &QTimer::timeout, editor, [&] {
        if (made == 100) {
            burst.stop();
            return;
        }
        ++made;
        if (dragging) {
            const QPoint next = *dragging + QPoint(int(random.bounded(-3, 4)), int(random.bounded(-3, 4)));
            const bool last = random.bounded(4) == 0;
            mouse(editor, last ? QEvent::MouseButtonRelease : QEvent::MouseMove, next);
            dragging = last ? std::nullopt : std::optional(next);
            return;
        }
        const auto& items = editor->screen().items();
        switch (random.bounded(4)) {
        case 0:
            editor->addObject(kinds[random.bounded(int(std::size(kinds)))]);
            break;
        case 1:
            if (const editor::Item& item = items[random.bounded(int(items.size()))]; item.isObject()) {
                const QPoint at = editor::handles(*item.shape).value(0, editor::box(*item.shape).topLeft());
                editor->select({item.id});
                mouse(editor, QEvent::MouseButtonPress, at);
                dragging = at;
            }
            break;
        case 2:
            QTest::keyClick(editor->canvas(), Qt::Key_Right, Qt::ShiftModifier);
            break;
        default:
            editor->undo();
            break;
        }
    });
    burst.start();
    QTRY_VERIFY_WITH_TIMEOUT(!burst.isActive() && !editor->live().sending(), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(f.settle() && f.board.firmware().display() == editor->canvas()->display(), 20000);
    qint64 screenFrames = 0;
    for (const QString& frame : frames(editor))
        screenFrames += frame.size();
    const qint64 sent = f.board.receivedCount() - before;
    QVERIFY2(sent <= 2 * screenFrames, qPrintable(QStringLiteral("%1 sent for a screen of %2 in %3 updates")
                                                      .arg(sent).arg(screenFrames).arg(editor->live().updatesSent())));
    QVERIFY(editor->live().updatesSent() < 50);
    press(editor, "cmdCompare");
    QVERIFY(f.settle());
    QCOMPARE(f.desktop.texts(), QStringList{"The board shows the screen: no pixel differs."});

    // The port lost: Live stops and says so; back, it goes on from what the
    // board shows.
    server.stop();
    auto* said = editor->findChild<QLabel*>(QStringLiteral("lblLive"));
    QTRY_VERIFY_WITH_TIMEOUT(said->text().startsWith(QStringLiteral("The port was lost: Live stopped")), 10000);
    QVERIFY(!editor->live().isOn());
    QVERIFY2(server.start(), qPrintable(server.error()));
    QTRY_VERIFY_WITH_TIMEOUT(editor->live().isOn(), 20000);
    QCOMPARE(said->text(), QStringLiteral("Live goes on from what the board showed."));
    editor->addObject(Kind::Diamond);
    QTRY_VERIFY_WITH_TIMEOUT(f.settle() && !editor->live().sending()
                                 && f.board.firmware().display() == editor->canvas()->display(),
                             20000);
}

VARNIX_TEST_MAIN(ScreenEditorTest)
#include "tst_screeneditor.moc"
