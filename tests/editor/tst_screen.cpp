// SPDX-License-Identifier: GPL-3.0-or-later
// The screen editor's core: scripts of every kind of line opened and saved
// byte for byte, frames read into objects and written back, random edits
// undone and redone to the same text and display, what Live sends, and the
// copy kept for a crash.
#include "board/displaycheck.h"
#include "editor/core/content.h"
#include "editor/core/edits.h"
#include "editor/core/liveplan.h"
#include "editor/core/note.h"
#include "editor/core/recovery.h"
#include "editor/core/screen.h"
#include "support/screens.h"
#include "support/testmain.h"
#include "transfer/picturedriver.h"

#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace varnix;
using editor::Kind;
using editor::Screen;

namespace {

// Each item as "Circle", "Circle hidden locked", or what a kept line is.
QStringList described(const Screen& screen)
{
    static const char* const kept[] = {"blank", "comment", "step", "frames", "damaged"};
    QStringList out;
    for (const editor::Item& item : screen.items()) {
        if (!item.isObject()) {
            out << QString::fromLatin1(kept[int(item.kept)]);
            continue;
        }
        QString text = item.shape->name();
        if (item.shape->hidden)
            text += QStringLiteral(" hidden");
        if (item.shape->locked)
            text += QStringLiteral(" locked");
        out << text;
    }
    return out;
}

QStringList everyKindDescribed()
{
    return {"comment", "blank", "step", "frames", "Circle", "Square", "Diamond", "Star", "Rectangle", "Line",
            "Bar", "Fill", "Dot", "Toggled Dot", "Byte", "Character", "Horizontal String", "Vertical String",
            "X-Axis", "Y-Axis", "Block", "Text", "Picture", "Circle hidden locked", "Character hidden", "step",
            "step", "step", "frames", "frames", "frames", "frames", "frames", "comment", "comment", "Dot",
            "comment", "comment", "Circle", "damaged", "damaged", "damaged", "step"};
}

// The screen's text and what it draws, as the canvas shows it.
struct Seen {
    QByteArray text;
    board::Display display;
    bool operator==(const Seen&) const = default;
};

Seen seen(const Screen& screen)
{
    return {screen.text(), screen.drawn().display()};
}

} // namespace

class ScreenTest : public QObject
{
    Q_OBJECT
private slots:
    void everyKindOfLineOpensAndSavesUnchanged_data();
    void everyKindOfLineOpensAndSavesUnchanged();
    void framesReadIntoObjectsAndBack_data();
    void framesReadIntoObjectsAndBack();
    void anEditRewritesOnlyItsOwnLines();
    void textNotesKeepEveryChoice();
    void bitmapTextReopensAsMadeAndWithoutItsFont();
    void editsAreNamedAndLeaveLockedObjects();
    void randomEditsUndoAndRedoExactly_data();
    void randomEditsUndoAndRedoExactly();
    void livePlanBringsAnyBoardToTheScreen();
    void livePlanSendsWhatChanged();
    void recoveryCopyIsLeftOnlyByEditorsThatEnded();
};

void ScreenTest::everyKindOfLineOpensAndSavesUnchanged_data()
{
    QTest::addColumn<QByteArray>("file");
    const QByteArrayList lines = test::everyKindOfLine();
    QTest::newRow("LF, a last line without a break") << lines.join('\n');
    QTest::newRow("CR LF, a byte order mark") << "\xef\xbb\xbf" + lines.join("\r\n") + "\r\n";
}

void ScreenTest::everyKindOfLineOpensAndSavesUnchanged()
{
    QFETCH(QByteArray, file);
    const Screen screen = Screen::read(file);
    QCOMPARE(screen.text(), file);
    QCOMPARE(described(screen), everyKindDescribed());
    // What the notes keep comes back as the same text and picture.
    const editor::Shape& text = *screen.items()[21].shape;
    QCOMPARE(text.textOrigin.choice.text, QStringLiteral("H\"\u00e9\nI"));
    QVERIFY(text.textOrigin.choice.inverted);
    const editor::Shape& picture = *screen.items()[22].shape;
    QCOMPARE(picture.pictureOrigin.file, QStringLiteral("logo.png"));
    QCOMPARE(picture.pictureOrigin.choice.rotation, 90);
    QCOMPARE(picture.pictureOrigin.choice.fit, render::Fit::Fill);
    // The canvas draws what a run sends: hidden objects left out.
    QVERIFY(!screen.frames().contains(QStringLiteral("]c]101005")));
    QCOMPARE(screen.damagedCount(), 3);
}

void ScreenTest::framesReadIntoObjectsAndBack_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("written");
    QTest::newRow("circle") << "]c]402014" << "Circle" << "]c]402014";
    QTest::newRow("capital hex digits") << "]c]4A2014" << "Circle" << "]c]4a2014";
    QTest::newRow("a step with a leading zero") << "]r]007f003f]01" << "Rectangle" << "]r]007f003f]1";
    QTest::newRow("the fill's step follows at once") << "]f]9" << "Fill" << "]f]9";
    QTest::newRow("\"]\" as the character") << "]p]0a0a]]" << "Character" << "]p]0a0a]]";
    QTest::newRow("\"]\" in a string") << "]h]0120]a]@" << "" << "";
    QTest::newRow("string pairs in capitals") << "]h]0a3c]A]]]@" << "Horizontal String" << "]h]0A3C]A]]]@";
    QTest::newRow("a block") << "]m]00010000]ff]81" << "Block" << "]m]00010000]ff]81";
    QTest::newRow("step 0 is refused by the board") << "]r]007f003f]0" << "" << "";
    QTest::newRow("six digits of step") << "]r]007f003f]100000" << "" << "";
    QTest::newRow("a command letter in capitals") << "]C]402014" << "" << "";
    QTest::newRow("a pair short") << "]c]40201" << "" << "";
    QTest::newRow("something after the frame") << "]c]402014]" << "" << "";
    QTest::newRow("character missing") << "]p]0a0a]" << "" << "";
    QTest::newRow("string without its end") << "]h]0120]A" << "" << "";
    QTest::newRow("a block a byte short") << "]m]00010000]ff" << "" << "";
    QTest::newRow("a block off the display") << "]m]80800000]ff" << "" << "";
    QTest::newRow("a block ending before it starts") << "]m]01000000]ff" << "" << "";
    QTest::newRow("a read") << "]n]007f0007" << "" << "";
}

void ScreenTest::framesReadIntoObjectsAndBack()
{
    QFETCH(QString, frame);
    QFETCH(QString, object);
    QFETCH(QString, written);
    const auto shape = editor::shapeOfFrame(frame);
    QCOMPARE(shape ? shape->name() : QString(), object);
    if (!shape)
        return;
    QCOMPARE(editor::frameOf(*shape), written);
    QCOMPARE(board::drawn({written}).display(), board::drawn({frame}).display());
}

void ScreenTest::anEditRewritesOnlyItsOwnLines()
{
    const QByteArray file = "# mine\r\n  ]c]4A2014  \r\n#: circle locked\r\n]c]101005\r\n]d]0101";
    Screen screen = Screen::read(file);
    const quint64 first = screen.items()[1].id, second = screen.items()[2].id;
    // Locking keeps the frame's line as it stood; moving writes it anew, in
    // the file's own line ends.
    editor::toggleLocked(screen, {first});
    QCOMPARE(screen.text(), "# mine\r\n#: circle locked\r\n  ]c]4A2014  \r\n#: circle locked\r\n]c]101005\r\n]d]0101");
    editor::toggleLocked(screen, {first});
    editor::moveObjects(screen, {first}, 1, 0);
    QCOMPARE(screen.text(), "# mine\r\n]c]4b2014\r\n#: circle locked\r\n]c]101005\r\n]d]0101");
    editor::toggleHidden(screen, {second});
    QCOMPARE(screen.text(), "# mine\r\n]c]4b2014\r\n#: circle locked\r\n#- ]c]101005\r\n]d]0101");
}

void ScreenTest::textNotesKeepEveryChoice()
{
    // One row a field of what made a text, each away from where a new text
    // starts; test::textFields() names every field of the choice.
    const std::pair<const char*, std::function<void(editor::TextOrigin&)>> rows[] = {
        {"text", [](auto& o) { o.choice.text = QStringLiteral("a \"b\"\\ \u00e9\n\tc"); }},
        {"font file", [](auto& o) { o.choice.font = QStringLiteral("/usr/share/fonts/X11/misc/6x13.pcf.gz"); }},
        {"font name", [](auto& o) { o.choice.font = QStringLiteral("Terminus:pixelsize=16:bold"); }},
        {"size", [](auto& o) { o.choice.pixelSize = 255; }},
        {"bold", [](auto& o) { o.choice.bold = true; }},
        {"italic", [](auto& o) { o.choice.italic = true; }},
        {"across", [](auto& o) { o.choice.across = render::Across::Right; }},
        {"down", [](auto& o) { o.choice.down = render::Down::Bottom; }},
        {"spacing", [](auto& o) { o.choice.lineSpacing = -3; }},
        {"rotation", [](auto& o) { o.choice.rotation = 270; }},
        {"inverted", [](auto& o) { o.choice.inverted = true; }},
        {"scale", [](auto& o) { o.choice.scale = render::kLargestFontScale; }},
        {"fit", [](auto& o) { o.fit = false; }},
    };
    const editor::Shape framed = *editor::shapeOfFrame(QStringLiteral("]m]00000000]00"));
    for (const auto& [name, change] : rows) {
        editor::Shape made = framed;
        made.kind = Kind::Text;
        change(made.textOrigin);
        const QString note = editor::noteLine(made);
        const auto read = editor::withNote(framed, note);
        QVERIFY2(read && test::textFields(read->textOrigin.choice) == test::textFields(made.textOrigin.choice)
                     && read->textOrigin.fit == made.textOrigin.fit,
                 qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(name), note)));
    }
    // Written before bitmap fonts, a note has no scale: 1. One the fonts
    // are not drawn at leaves the note a comment of its own.
    QCOMPARE(editor::withNote(framed, u"#: text size=8")->textOrigin.choice.scale, 1);
    QVERIFY(!editor::withNote(framed, u"#: text scale=0"));
    QVERIFY(!editor::withNote(framed, u"#: text scale=9"));
}

void ScreenTest::bitmapTextReopensAsMadeAndWithoutItsFont()
{
    QTemporaryDir dir;
    const QString font = dir.filePath(QStringLiteral("6x13.pcf.gz"));
    QVERIFY(QFile::copy(QStringLiteral("/usr/share/fonts/X11/misc/6x13.pcf.gz"), font));
    editor::TextOrigin origin;
    origin.choice.text = QStringLiteral("Hi, 6x13");
    origin.choice.font = font;
    origin.choice.scale = 2;
    const editor::Made made = editor::madeText(origin, render::LcdBlock{20, 127, 3, 3});
    QVERIFY2(made.shape, qPrintable(made.error));
    QCOMPARE(made.shape->block().pixelSize(), QSize(96, 32));
    Screen screen = Screen::blank();
    editor::insertItems(screen, {screen.objectItem(*made.shape)}, int(screen.items().size()), QStringLiteral("Add"));

    // Opened again: the same text object, drawn anew to the same dots.
    const Screen reopened = Screen::read(screen.text());
    const editor::Shape& back = *reopened.items().back().shape;
    QCOMPARE(back, *made.shape);
    QVERIFY(test::textFields(back.textOrigin.choice) == test::textFields(origin.choice));
    QCOMPARE(editor::redrawn(back, {}).shape->bytes, made.shape->bytes);
    QVERIFY(editor::unreadableFonts(reopened.items()).isEmpty());

    // Its font gone, it opens as the same text with its dots, and says so.
    QVERIFY(QFile::remove(font));
    const Screen fontless = Screen::read(screen.text());
    QCOMPARE(fontless.text(), screen.text());
    QCOMPARE(*fontless.items().back().shape, *made.shape);
    QCOMPARE(editor::unreadableFonts(fontless.items()),
             QStringLiteral("%1 cannot be read: No such file or directory. The text keeps the dots it was saved with.")
                 .arg(font));
    QVERIFY(!editor::redrawn(back, {}).shape);
}

void ScreenTest::editsAreNamedAndLeaveLockedObjects()
{
    Screen screen = Screen::read("]c]402014\n]b]14191438]1\n#: square locked\n]s]402014\n]k\n");
    const auto id = [&](int index) { return screen.items()[index].id; };
    QCOMPARE(editor::moveObjects(screen, {id(0)}, 3, -2).name, QStringLiteral("Move Circle"));
    const editor::Edit both = editor::moveObjects(screen, {id(0), id(2)}, 1, 1);
    QCOMPARE(both.name, QStringLiteral("Move 2 Objects"));
    QCOMPARE(both.changes.size(), 1);
    QCOMPARE(screen.items()[2].frame, QStringLiteral("]s]402014"));
    // Moves stop where a number would leave its range, for all together.
    editor::moveObjects(screen, {id(0), id(1)}, -100, 0);
    QCOMPARE(screen.items()[0].frame, QStringLiteral("]c]301f14"));
    QCOMPARE(screen.items()[1].frame, QStringLiteral("]b]00051438]1"));
    QCOMPARE(editor::reorder(screen, {id(0)}, editor::Order::Raise).name, QStringLiteral("Raise Circle"));
    QCOMPARE(screen.items()[1].shape->kind, Kind::Circle);
    editor::reorder(screen, {id(1)}, editor::Order::ToTop);
    QCOMPARE(screen.items().back().shape->kind, Kind::Circle);
    QVERIFY(editor::reorder(screen, {id(3)}, editor::Order::ToTop).isEmpty());
    const editor::Edit aligned = editor::alignObjects(screen, {screen.items()[0].id}, editor::Align::Right, true);
    QCOMPARE(aligned.name, QStringLiteral("Align Right"));
    QCOMPARE(editor::box(*screen.items()[0].shape).right(), 127);
}

void ScreenTest::randomEditsUndoAndRedoExactly_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 36u, 2024u})
        QTest::addRow("seed %u", seed) << seed;
}

void ScreenTest::randomEditsUndoAndRedoExactly()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    Screen screen = test::randomScreen(random, editor::kKindCount);
    editor::History history;
    QList<Seen> states{seen(screen)};
    // Every kind of object is edited, by every kind of edit.
    QSet<int> kinds;
    QSet<QString> verbs;
    for (int i = 0; i < 150; ++i) {
        const editor::Edit edit = test::randomEdit(random, screen);
        if (edit.isEmpty())
            continue;
        verbs << edit.name.section(u' ', 0, 0);
        for (const editor::Change& change : edit.changes) {
            const editor::Item& item = change.op == editor::Change::Op::Insert ? change.after : change.before;
            if (item.isObject())
                kinds << int(item.shape->kind);
        }
        history.push(edit);
        states << seen(screen);
    }
    QCOMPARE(kinds.size(), editor::kKindCount);
    for (const char* verb : {"Add", "Move", "Resize", "Change", "Draw", "Delete", "Duplicate", "Paste", "Raise",
                             "Lower", "Align", "Hide", "Lock"})
        QVERIFY2(verbs.contains(QLatin1String(verb)), verb);
    for (qsizetype i = states.size() - 1; i > 0; --i) {
        QVERIFY(history.undo(screen));
        QVERIFY2(seen(screen) == states[i - 1], qPrintable(QStringLiteral("undo back to %1").arg(i - 1)));
    }
    QVERIFY(!history.canUndo());
    for (qsizetype i = 1; i < states.size(); ++i) {
        QVERIFY(history.redo(screen));
        QVERIFY2(seen(screen) == states[i], qPrintable(QStringLiteral("redo to %1").arg(i)));
    }
    // Saved and opened again, the screen is the same objects.
    const Screen reopened = Screen::read(screen.text());
    QCOMPARE(described(reopened), described(screen));
    QCOMPARE(seen(reopened), seen(screen));
}

void ScreenTest::livePlanBringsAnyBoardToTheScreen()
{
    QRandomGenerator random(7);
    for (int round = 0; round < 30; ++round) {
        const Screen screen = test::randomScreen(random, int(random.bounded(1, 20)));
        const Screen before = test::randomScreen(random, int(random.bounded(0, 20)));
        const editor::LineCost cost{QChar(u']'), int(random.bounded(0, 30)), 19200};
        const board::Display shown = before.drawn().display();
        const editor::LivePlan plan = editor::livePlan(shown, screen, cost);
        QStringList frames;
        for (const editor::LiveFrame& frame : plan.frames)
            frames << frame.frame;
        board::Firmware board = editor::clearBoard();
        board.setDisplay(shown);
        QCOMPARE(board::drawn(frames, board).display(), screen.drawn().display());
        // Never dearer than clearing the display and sending it all.
        qsizetype all = 2;
        for (const QString& frame : screen.frames())
            all += frame.size();
        QVERIFY(plan.way != editor::LivePlan::Way::WholeScreen || plan.characters <= all);
    }
}

void ScreenTest::livePlanSendsWhatChanged()
{
    Screen screen = Screen::read("]k\n]c]402014\n]b]0a1e0a1e]1\n]c]101005\n");
    const editor::LineCost slow{QChar(u']'), 20, 19200};
    const editor::LineCost quick{QChar(u']'), 0, 19200};
    QCOMPARE(editor::livePlan(screen.drawn().display(), screen, slow).way, editor::LivePlan::Way::Nothing);

    // Drawn on top with nothing to clear: the object's own frame.
    board::Display shown = screen.drawn().display();
    editor::insertItems(screen, {screen.objectItem(editor::startShape(Kind::Dot))}, 4, QStringLiteral("Add"));
    editor::LivePlan plan = editor::livePlan(shown, screen, slow);
    QCOMPARE(plan.way, editor::LivePlan::Way::Objects);
    QCOMPARE(plan.frames.size(), 1);
    QCOMPARE(plan.frames.front().frame, QStringLiteral("]d]4020"));

    // The bar moved: its dots must go, and on a small screen clearing the
    // display and sending it all costs less than the blocks.
    shown = screen.drawn().display();
    const quint64 bar = screen.items()[2].id;
    editor::moveObjects(screen, {bar}, 60, 0);
    plan = editor::livePlan(shown, screen, slow);
    QCOMPARE(plan.way, editor::LivePlan::Way::WholeScreen);
    QCOMPARE(plan.frames.front().frame, QStringLiteral("]k"));

    // Beside a large block the bar is drawn at its new place, the circle
    // over it again, and a block clears its old place.
    editor::Shape large = editor::startShape(Kind::Block);
    large.n = {64, 127, 5, 7};
    large.bytes = QByteArray(64 * 3, '\x55');
    editor::insertItems(screen, {screen.objectItem(large)}, 1, QStringLiteral("Add"));
    shown = screen.drawn().display();
    editor::moveObjects(screen, {bar}, -60, 0);
    plan = editor::livePlan(shown, screen, quick);
    QCOMPARE(plan.way, editor::LivePlan::Way::Objects);
    QCOMPARE(plan.frames.size(), 3);
    QCOMPARE(plan.frames[0].frame, QStringLiteral("]b]0a1e0a1e]1"));
    QCOMPARE(plan.frames[1].frame, QStringLiteral("]c]101005"));
    QVERIFY(plan.frames[2].frame.startsWith(QStringLiteral("]m]465a0103")));
}

void ScreenTest::recoveryCopyIsLeftOnlyByEditorsThatEnded()
{
    QTemporaryDir dir;
    editor::Recovery running(dir.path());
    QVERIFY(running.keep("]c]402014\n", QStringLiteral("/tmp/a.vnx")));
    // A copy whose editor still runs is not offered.
    QVERIFY(editor::Recovery::left(dir.path()).isEmpty());
    {
        auto ended = std::make_unique<editor::Recovery>(dir.path());
        QVERIFY(ended->keep("]k\n", QString()));
        QVERIFY(ended->keep("]k\n]d]0000\n", QString()));
        // Gone without dropping its copy.
        ended.reset();
    }
    const auto left = editor::Recovery::left(dir.path());
    QCOMPARE(left.size(), 1);
    QCOMPARE(left.front().text, QByteArray("]k\n]d]0000\n"));
    QCOMPARE(left.front().file, QString());
    editor::Recovery::discard(left.front());
    QVERIFY(editor::Recovery::left(dir.path()).isEmpty());
    running.drop();
    QVERIFY(editor::Recovery::left(dir.path()).isEmpty());
}

VARNIX_TEST_MAIN(ScreenTest)
#include "tst_screen.moc"
