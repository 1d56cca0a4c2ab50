// SPDX-License-Identifier: GPL-3.0-or-later
// The window's view of what the board should be showing, and the preview
// of what the page in view would draw, against a virtual board.
#include "display/displayview.h"
#include "support/boardfixture.h"
#include "support/pagedriver.h"
#include "support/testmain.h"
#include "widgets/fields.h"

#include <QTest>

using namespace varnix;

namespace {
DisplayView* view(test::BoardFixture& f)
{
    return f.find<DisplayView>(QStringLiteral("displayView"));
}

// The preview follows the page in view on the next turn of the event loop.
void showPage(test::BoardFixture& f, const QString& widget)
{
    test::showPageOf(f, widget);
    QCoreApplication::processEvents();
}
} // namespace

class DisplayViewTest : public QObject
{
    Q_OBJECT
private slots:
    void previewOfEveryDrawingPageIsWhatItsButtonDraws();
    void previewFollowsTheFieldsAndSendsNothing();
    void viewCanBeHiddenAndShownAgain();
};

void DisplayViewTest::previewOfEveryDrawingPageIsWhatItsButtonDraws()
{
    test::BoardFixture f;
    f.open();
    // A grid on the display first, for the pages to draw over.
    test::applySettings(f, {"List2=5"});
    test::press(f, QStringLiteral("cmdFill"));
    QVERIFY(f.settle());
    test::applySettings(f, {"List2=1"});

    const QList<QStringList> pages = {
        {"cmdCirc"},     {"cmdSquare"},   {"cmdRect"},     {"cmdDiam"},     {"Command2"},  {"cmdLine"},
        {"cmdbar"},      {"cmdXaxis"},    {"cmdyaxis"},    {"Command3", "Command4"},       {"cmdResetDot"},
        {"cmdPutByte"},  {"cmdPutChr"},   {"cmdH"},        {"cmdVs"},       {"cmdFill"},   {"cmdClearLCD"},
    };
    for (const QStringList& buttons : pages) {
        const QByteArray name = buttons.front().toLatin1();
        showPage(f, buttons.front());
        const std::optional<board::Display> preview = view(f)->preview();
        QVERIFY2(preview, name.constData());
        QVERIFY2(!(*preview == f.board.firmware().display()), name.constData());
        for (const QString& button : buttons)
            test::press(f, button);
        QVERIFY(f.settle());
        QVERIFY2(*preview == f.board.firmware().display(), name.constData());
        // The view has taken the drawing over, in the board's own colour.
        QVERIFY2(view(f)->display() == f.board.firmware().display(), name.constData());
    }
    QVERIFY(f.desktop.messages.isEmpty());
}

void DisplayViewTest::previewFollowsTheFieldsAndSendsNothing()
{
    test::BoardFixture f;
    f.open();
    QVERIFY(f.settle());
    const QByteArray received = f.board.received();
    showPage(f, QStringLiteral("txtCx"));
    const std::optional<board::Display> before = view(f)->preview();
    QVERIFY(before && before->pixel(84, 32));

    test::applySettings(f, {"txtCx=30"});
    QTRY_VERIFY(view(f)->preview() && view(f)->preview()->pixel(50, 32));
    QVERIFY(!view(f)->preview()->pixel(84, 32));
    // A field with no number makes no frame, and so no preview.
    test::applySettings(f, {"txtcr=abc"});
    QTRY_VERIFY(!view(f)->preview());
    // A page that draws nothing shows the display alone.
    test::applySettings(f, {"txtcr=20"});
    showPage(f, QStringLiteral("txteraddr"));
    QVERIFY(!view(f)->preview());

    QTest::qWait(100);
    QCOMPARE(f.board.received(), received);
    QVERIFY(f.desktop.messages.isEmpty());
}

void DisplayViewTest::viewCanBeHiddenAndShownAgain()
{
    test::BoardFixture f;
    test::showActive(f);
    auto* panel = f.find<QWidget>(QStringLiteral("displayPanel"));
    QVERIFY(panel->isVisible());
    test::press(f, QStringLiteral("cmdDisplayView"));
    QVERIFY(!panel->isVisible());
    test::press(f, QStringLiteral("cmdDisplayView"));
    QVERIFY(panel->isVisible());
}

VARNIX_TEST_MAIN(DisplayViewTest)
#include "tst_displayview.moc"
