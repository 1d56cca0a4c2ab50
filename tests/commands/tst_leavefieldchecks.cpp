// SPDX-License-Identifier: GPL-3.0-or-later
// The leave-field checks of the drawing fields, run by moving the focus as a
// person would.
#include "support/testmain.h"
#include "support/pagedriver.h"
#include "widgets/fields.h"
#include "widgets/tabrows.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

using namespace varnix;

namespace {

enum class Leave { Tab, Backtab, OtherField, Button, PageTab };

// Types a text into the field as a person would: click into it, clear it, type.
void typeInto(LineField* field, const QString& text)
{
    QTest::mouseClick(field, Qt::LeftButton);
    QVERIFY(field->hasFocus());
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
    QCOMPARE(field->exactText(), text);
}

QPushButton* buttonOf(QWidget* page)
{
    return page->findChildren<QPushButton*>().value(0);
}

void leave(test::WindowFixture& f, LineField* field, Leave how)
{
    QWidget* page = f.page(test::pageOf(f, field));
    switch (how) {
    case Leave::Tab:
        QTest::keyClick(field, Qt::Key_Tab);
        break;
    case Leave::Backtab:
        QTest::keyClick(field, Qt::Key_Tab, Qt::ShiftModifier);
        break;
    case Leave::OtherField: {
        LineField* other = nullptr;
        for (LineField* candidate : page->findChildren<LineField*>())
            if (candidate != field && !other)
                other = candidate;
        QTest::mouseClick(other, Qt::LeftButton);
        break;
    }
    case Leave::Button:
        QTest::mouseClick(buttonOf(page), Qt::LeftButton);
        break;
    case Leave::PageTab: {
        // A neighbouring page's caption, as a person clicks it.
        auto* rows = f.find<TabRows>(QStringLiteral("tabRows"));
        const int current = f.tabs()->currentIndex();
        const int target = current > 0 ? current - 1 : current + 1;
        QTest::mouseClick(rows, Qt::LeftButton, Qt::NoModifier, rows->tabRect(target).center());
        QCOMPARE(f.tabs()->currentIndex(), target);
        break;
    }
    }
}

} // namespace

Q_DECLARE_METATYPE(Leave)

class LeaveFieldChecksTest : public QObject
{
    Q_OBJECT
private slots:
    void checkOnLeaving_data();
    void checkOnLeaving();
    void buttonFromRefusedFieldSendsReplacement_data();
    void buttonFromRefusedFieldSendsReplacement();
    void checkDuringATransmissionWaitsForItsEnd();
};

void LeaveFieldChecksTest::checkOnLeaving_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Leave>("how");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("focusBack");
    auto row = [](const char* name, const char* field, const char* typed, Leave how, const char* message,
                  const char* after, bool focusBack = false) {
        QTest::newRow(name) << QString::fromLatin1(field) << QString::fromLatin1(typed) << how
                            << QString::fromLatin1(message) << QString::fromLatin1(after) << focusBack;
    };
    const char* invalid = "Invalid Value";
    const char* bounds = "Out of Bounds Value";
    const char* length = "Out of bounds value!";
    const char* range = "Out of range";
    const char* putX = "Invalid Entry. Number must be between 3 and 124";
    const char* putY = "Invalid Entry. Number must be between 4 and 60";

    row("step 0", "txtrs1", "0", Leave::Tab, "Must be between 1 and 9", "1");
    row("step 9", "txtrs1", "9", Leave::Backtab, "", "9");
    row("step 9.5", "txtrs1", "9.5", Leave::OtherField, "Must be between 1 and 9", "1");
    row("bar x 256", "txtbarx", "256", Leave::Button, invalid, "20");
    row("bar x empty", "txtbarx", "", Leave::Tab, "", "");
    row("bar x letters", "txtbarx", "abc", Leave::Backtab, "", "abc");
    row("bar y -1", "txtbary", "-1", Leave::PageTab, invalid, "20");
    row("x axis x 300", "txtXaxisx", "300", Leave::Tab, invalid, "16");
    row("x axis x 255", "txtXaxisx", "255", Leave::OtherField, "", "255");
    row("x axis x -1", "txtXaxisx", "-1", Leave::Button, invalid, "16");
    row("x axis x 12a", "txtXaxisx", "12a", Leave::Tab, "", "12a");
    row("x axis y -1", "txtXaxisy", "-1", Leave::Backtab, invalid, "56");
    row("x length 240", "txtXaxisLen", "240", Leave::Button, length, "0");
    row("x length 239", "txtXaxisLen", "239", Leave::Tab, "", "239");
    row("x length -50", "txtXaxisLen", "-50", Leave::OtherField, "", "-50");
    row("y axis x 256", "txtYAxisx", "256", Leave::PageTab, invalid, "16");
    row("y axis y -1", "txtYAxisy", "-1", Leave::Tab, invalid, "10");
    row("y length 246", "txtYAxisLen", "246", Leave::Backtab, length, "0");
    row("y length 245", "txtYAxisLen", "245", Leave::Button, "", "245");
    row("single x 256", "txtDotSingX", "256", Leave::Button, bounds, "64");
    row("single y -1", "txtDotSingy", "-1", Leave::Tab, bounds, "32");
    row("many x 999", "txtDotManyx", "999", Leave::OtherField, bounds, "10");
    row("many y -1", "txtDotManyy", "-1", Leave::PageTab, bounds, "30");
    row("reset x 256", "txtResetx", "256", Leave::Backtab, bounds, "64");
    row("reset y -1", "txtResety", "-1", Leave::Button, bounds, "32");
    row("byte 256", "txtPutByte", "256", Leave::Tab, "Value out of range 0-255 only", "255");
    row("byte -1", "txtPutByte", "-1", Leave::Button, "Value out of range 0-255 only", "255");
    row("char x empty", "txtPutChrx", "", Leave::Tab, "", "");
    row("char x 2", "txtPutChrx", "2", Leave::Tab, putX, "10", true);
    row("char x 124", "txtPutChrx", "124", Leave::Backtab, "", "124");
    row("char x 125", "txtPutChrx", "125", Leave::Button, putX, "10", true);
    row("char x 1a", "txtPutChrx", "1a", Leave::OtherField, putX, "10", true);
    row("char y 3", "txtPutchry", "3", Leave::OtherField, putY, "10", true);
    row("char y 4", "txtPutchry", "4", Leave::Tab, "", "4");
    row("char y 60", "txtPutchry", "60", Leave::Button, "", "60");
    // On a page no longer shown the focus cannot come back.
    row("char y 61", "txtPutchry", "61", Leave::PageTab, putY, "10");
    row("v string x 256", "txtVStrX", "256", Leave::Tab, range, "32");
    row("v string x letters", "txtVStrX", "ab", Leave::Backtab, range, "32");
    row("v string x 255", "txtVStrX", "255", Leave::PageTab, "", "255");
    row("v string y -1", "txtVStrY", "-1", Leave::Button, range, "0");
    row("v string y empty", "txtVStrY", "", Leave::OtherField, range, "0");
}

void LeaveFieldChecksTest::checkOnLeaving()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(Leave, how);
    QFETCH(QString, message);
    QFETCH(QString, after);
    QFETCH(bool, focusBack);

    test::Fixture f;
    f.openPort();
    test::showPageOf(f, field);
    auto* edit = f.find<LineField>(field);
    typeInto(edit, typed);
    // Every other field but the transmit window, which a button fills.
    const QStringList others = test::fieldTexts(f, {edit, f.txmText()});
    f.desktop.messages.clear();
    QString textDuringMessage;
    f.desktop.onMessage = [&](const test::Message&) { textDuringMessage = edit->exactText(); };

    leave(f, edit, how);

    if (message.isEmpty()) {
        QVERIFY2(f.desktop.messages.isEmpty(), qPrintable(f.desktop.texts().join(u'|')));
    } else {
        QCOMPARE(f.desktop.texts(), QStringList{message});
        QCOMPARE(f.desktop.messages[0].title, QStringLiteral("Varnix"));
        QCOMPARE(f.desktop.messages[0].buttons, QStringList{QStringLiteral("OK")});
        // The refused text stays while the message is up.
        QCOMPARE(textDuringMessage, typed);
    }
    QCOMPARE(edit->exactText(), after);
    QCOMPARE(QApplication::focusWidget() == edit, focusBack);
    test::verifyState(f, others);
}

void LeaveFieldChecksTest::buttonFromRefusedFieldSendsReplacement_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("bytes");
    QTest::newRow("step") << "txtrs1" << "0" << "cmdRect" << "Must be between 1 and 9" << "]r]007f003f]1";
    QTest::newRow("x axis start") << "txtXaxisx" << "300" << "cmdXaxis" << "Invalid Value" << "]x]107438]4";
    QTest::newRow("x axis length") << "txtXaxisLen" << "240" << "cmdXaxis" << "Out of bounds value!"
                                   << "]x]101038]4";
    QTest::newRow("single dot") << "txtDotSingX" << "256" << "Command3" << "Out of Bounds Value" << "]d]4020";
    QTest::newRow("byte") << "txtPutByte" << "-1" << "cmdPutByte" << "Value out of range 0-255 only"
                          << "]u]0a0aff";
    QTest::newRow("char x, focus back") << "txtPutChrx" << "2" << "cmdPutChr"
                                        << "Invalid Entry. Number must be between 3 and 124" << "]p]0a0a]A";
    QTest::newRow("v string x") << "txtVStrX" << "256" << "cmdVs" << "Out of range"
                                << "]v]2000]O]R]V]A]N]T]A]1]@";
}

void LeaveFieldChecksTest::buttonFromRefusedFieldSendsReplacement()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, button);
    QFETCH(QString, message);
    QFETCH(QString, bytes);

    test::PtyFixture f;
    test::openPtyPort(f);
    f.setField(QStringLiteral("xmitdelay"), QStringLiteral("0"));
    test::showPageOf(f, field);
    typeInto(f.find<LineField>(field), typed);
    test::press(f, button);

    test::expectReceived(f, bytes.toLatin1());
    QCOMPARE(f.desktop.texts(), QStringList{message});
}

void LeaveFieldChecksTest::checkDuringATransmissionWaitsForItsEnd()
{
    test::PtyFixture f;
    test::openPtyPort(f);
    test::showPageOf(f, QStringLiteral("Command4"));
    auto* refused = f.find<LineField>(QStringLiteral("txtDotSingX"));
    typeInto(refused, QStringLiteral("300"));
    // Five dots of two paced characters each: about 400 ms on the line.
    f.setField(QStringLiteral("xmitdelay"), QStringLiteral("40"));
    f.setField(QStringLiteral("txtDotnum"), QStringLiteral("5"));
    const QByteArray run = "]d]0a1e]d]0b1e]d]0c1e]d]0d1e]d]0e1e";

    // The focus moves on while the run is going out, as an action's setFocus would.
    QString statusWhenMoved;
    QTimer::singleShot(100, &f.main(), [&] {
        statusWhenMoved = f.find<QLabel>(QStringLiteral("comm"))->text();
        f.find<LineField>(QStringLiteral("txtDotSingy"))->setFocus(Qt::OtherFocusReason);
    });
    // A message shown inside the run would hold back the rest of it.
    bool wholeRunBeforeMessage = false;
    f.desktop.onMessage = [&](const test::Message&) {
        wholeRunBeforeMessage = f.pty.waitForBytes(std::size_t(run.size()), 2000) && f.pty.received() == run;
    };
    f.click(QStringLiteral("Command4"));

    QTRY_COMPARE(f.desktop.texts(), QStringList{QStringLiteral("Out of Bounds Value")});
    QCOMPARE(statusWhenMoved, QStringLiteral("Busy"));
    QVERIFY(wholeRunBeforeMessage);
    QCOMPARE(refused->exactText(), QStringLiteral("64"));
    test::expectReceived(f, run);
}

VARNIX_TEST_MAIN(LeaveFieldChecksTest)
#include "tst_leavefieldchecks.moc"
