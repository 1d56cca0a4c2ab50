// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testmain.h"
#include "link/terminal.h"
#include "support/fixture.h"
#include "support/pagedriver.h"
#include "widgets/fields.h"
#include "widgets/tabrows.h"

#include <QApplication>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using namespace varnix;

namespace {

// A screen of 1280 x 800 less a desktop's panel and the window's frame.
constexpr QSize kRoomOnScreen{1280 - 16, 800 - 48 - 40};

QRect placeOn(const QWidget* widget, const QWidget* within)
{
    return QRect(widget->mapTo(within, QPoint(0, 0)), widget->size());
}

} // namespace

class WindowLayoutTest : public QObject
{
    Q_OBJECT
private slots:
    void defaultSizeFitsTheScreen();
    void receiveWindowTakesTheRoomTheWindowGrows();
    void scriptControlsInViewWithTheirWholeCaptions();
    void everyCaptionInViewAndChoosesItsPage();
    void accessKeyOfThePageInViewPressesItsButton_data();
    void accessKeyOfThePageInViewPressesItsButton();
    void tabOrderRunsFromTopLeftToBottomRight();
};

void WindowLayoutTest::defaultSizeFitsTheScreen()
{
    test::Fixture f;
    const QSize size = f.main().size();
    QVERIFY2(size.width() <= kRoomOnScreen.width() && size.height() <= kRoomOnScreen.height(),
             qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())));
    // Everything the window holds has room at that size.
    QCOMPARE(size.expandedTo(f.main().minimumSizeHint()), size);
}

void WindowLayoutTest::receiveWindowTakesTheRoomTheWindowGrows()
{
    test::Fixture f;
    f.main().show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.main()));
    const QSize before = f.rcvText()->size();
    const QSize page = f.page(0)->size();
    f.main().resize(f.main().size() + QSize(200, 100));
    QTRY_COMPARE(f.rcvText()->size(), before + QSize(200, 100));
    QCOMPARE(f.page(0)->width(), page.width());
}

void WindowLayoutTest::scriptControlsInViewWithTheirWholeCaptions()
{
    test::Fixture f;
    f.main().show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.main()));
    QList<QRect> taken{placeOn(f.find<QWidget>(QStringLiteral("displayView")), &f.main()),
                       placeOn(f.tabs(), &f.main()), placeOn(f.rcvText(), &f.main())};
    for (const char* name : {"cmdRecord", "cmdSaveScript", "cmdExport", "cmdRunScript", "cmdStop", "cmdCompare"}) {
        const auto* button = f.find<QPushButton>(QString::fromLatin1(name));
        QVERIFY2(button && button->isVisible(), name);
        const QRect place = placeOn(button, &f.main());
        QVERIFY2(f.main().rect().contains(place), name);
        QVERIFY2(button->fontMetrics().horizontalAdvance(button->text().remove(u'&')) < button->width(), name);
        for (const QRect& other : taken)
            QVERIFY2(!place.intersects(other), name);
        taken << place;
    }
}

void WindowLayoutTest::everyCaptionInViewAndChoosesItsPage()
{
    test::Fixture f;
    f.main().show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.main()));
    auto* rows = f.find<TabRows>(QStringLiteral("tabRows"));
    QVERIFY(rows);
    QVERIFY(f.main().rect().contains(placeOn(rows, &f.main())));
    QCOMPARE(rows->count(), f.tabs()->count());
    for (int i = 0; i < rows->count(); ++i) {
        const QRect tab = rows->tabRect(i);
        const QString caption = f.tabs()->tabText(i);
        QVERIFY2(rows->rect().contains(tab), qPrintable(caption));
        QVERIFY2(rows->fontMetrics().horizontalAdvance(caption) < tab.width(), qPrintable(caption));
        for (int other = 0; other < i; ++other)
            QVERIFY2(!tab.intersects(rows->tabRect(other)), qPrintable(caption));
    }
    // Clicked in any order, each caption shows its own page.
    for (int i : {20, 0, 18, 7, 13, 1}) {
        QTest::mouseClick(rows, Qt::LeftButton, {}, rows->tabRect(i).center());
        QCOMPARE(f.tabs()->currentIndex(), i);
        QVERIFY(f.page(i)->isVisible());
    }
    // From the keyboard: the next caption, and the one below.
    rows->setFocus(Qt::TabFocusReason);
    QTest::keyClick(rows, Qt::Key_Right);
    QCOMPARE(f.tabs()->currentIndex(), 2);
    QTest::keyClick(rows, Qt::Key_Down);
    QVERIFY(rows->tabRect(f.tabs()->currentIndex()).top() > rows->tabRect(2).bottom());
}

void WindowLayoutTest::accessKeyOfThePageInViewPressesItsButton_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QByteArray>("sent");
    // What the window shows afterwards ("name=text") or the message it gives.
    QTest::addColumn<QString>("effect");
    QTest::newRow("Circle D") << 0 << int(Qt::Key_D) << QStringList() << QByteArray("]c]402014") << QString();
    QTest::newRow("Square D") << 1 << int(Qt::Key_D) << QStringList() << QByteArray("]s]402014") << QString();
    QTest::newRow("Rectangle D") << 2 << int(Qt::Key_D) << QStringList() << QByteArray("]r]007f003f]1") << QString();
    QTest::newRow("Square45 D") << 3 << int(Qt::Key_D) << QStringList() << QByteArray("]q]402014") << QString();
    QTest::newRow("Star4 D") << 4 << int(Qt::Key_D) << QStringList() << QByteArray("]t]402014") << QString();
    QTest::newRow("Line D") << 5 << int(Qt::Key_D) << QStringList() << QByteArray("]l]007f0028") << QString();
    QTest::newRow("Bar D") << 6 << int(Qt::Key_D) << QStringList() << QByteArray("]b]14381419]1") << QString();
    QTest::newRow("X-Axis D") << 7 << int(Qt::Key_D) << QStringList() << QByteArray("]x]107438]4") << QString();
    QTest::newRow("Y-Axis D") << 8 << int(Qt::Key_D) << QStringList() << QByteArray("]y]0a3810]4") << QString();
    QTest::newRow("SetDot S") << 9 << int(Qt::Key_S) << QStringList() << QByteArray("]d]4020") << QString();
    QTest::newRow("SetDot D") << 9 << int(Qt::Key_D) << QStringList{"txtDotnum=2"}
                              << QByteArray("]d]0a1e]d]0b1e") << QString();
    QTest::newRow("ResetDot R") << 10 << int(Qt::Key_R) << QStringList() << QByteArray("]e]4020") << QString();
    QTest::newRow("PutByte P") << 11 << int(Qt::Key_P) << QStringList() << QByteArray("]u]0a0a7c") << QString();
    QTest::newRow("PutChar P") << 12 << int(Qt::Key_P) << QStringList() << QByteArray("]p]0a0a]A") << QString();
    QTest::newRow("FillScreen F") << 13 << int(Qt::Key_F) << QStringList() << QByteArray("]f]1") << QString();
    QTest::newRow("ClearScreen D") << 14 << int(Qt::Key_D) << QStringList() << QByteArray("]k") << QString();
    QTest::newRow("Horiz String S") << 15 << int(Qt::Key_S) << QStringList{"txtH=AB"} << QByteArray("]h]0120]A]B]@")
                                    << QString();
    QTest::newRow("Vert String S") << 16 << int(Qt::Key_S) << QStringList{"txtV=AB"} << QByteArray("]v]4000]A]B]@")
                                   << QString();
    QTest::newRow("Read EEprom R") << 18 << int(Qt::Key_R) << QStringList() << QByteArray("]a]00000000")
                                   << QStringLiteral("txteread=CLICK HERE");
    QTest::newRow("LCD Read/Write R") << 20 << int(Qt::Key_R) << QStringList() << QByteArray("]n]00000000")
                                      << QStringLiteral("txtlcd=CLICK HERE");
    // "&Copy" on these pages and the window's "&Clear LCD" share Alt+C.
    QTest::newRow("Read EEprom C") << 18 << int(Qt::Key_C) << QStringList() << QByteArray()
                                   << QStringLiteral("Nothing to there to copy!");
    QTest::newRow("LCD Read/Write C") << 20 << int(Qt::Key_C) << QStringList() << QByteArray()
                                      << QStringLiteral("Nothing to there to copy!");
    QTest::newRow("Write EEprom P") << 19 << int(Qt::Key_P) << QStringList() << QByteArray()
                                    << QStringLiteral("Nothing to paste!");
    // Elsewhere the window's own keys work: "&Record" gives way to "&Read"
    // and "&Reset Dot" on their pages.
    QTest::newRow("Record R") << 0 << int(Qt::Key_R) << QStringList() << QByteArray() << QStringLiteral("cmdRecord=on");
    QTest::newRow("Compare with Board B")
        << 0 << int(Qt::Key_B) << QStringList() << QByteArray("]n]007f0007")
        << QStringLiteral("The board did not send its display memory; it answered \"nothing\".");
    QTest::newRow("Clear LCD C") << 0 << int(Qt::Key_C) << QStringList() << QByteArray("]k") << QString();
    QTest::newRow("terminal's Clear L") << 19 << int(Qt::Key_L) << QStringList{"txmText=]k"} << QByteArray()
                                        << QStringLiteral("txmText=");
}

void WindowLayoutTest::accessKeyOfThePageInViewPressesItsButton()
{
    QFETCH(int, page);
    QFETCH(int, key);
    QFETCH(QStringList, settings);
    QFETCH(QByteArray, sent);
    QFETCH(QString, effect);
    test::PtyFixture f;
    test::openPtyPort(f);
    test::showActive(f);
    f.tabs()->setCurrentIndex(page);
    test::applySettings(f, settings);
    // The focus where a person would have it: in the page's first field or
    // on its first button.
    for (QWidget* widget : f.page(page)->findChildren<QWidget*>()) {
        if (widget->isVisible() && (widget->focusPolicy() & Qt::TabFocus)) {
            widget->setFocus(Qt::TabFocusReason);
            break;
        }
    }
    QVERIFY(QApplication::focusWidget());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::AltModifier);
    if (effect.contains(u'='))
        QTRY_COMPARE(test::shown(f, effect.section(u'=', 0, 0)), effect.section(u'=', 1));
    else if (!effect.isEmpty())
        QTRY_COMPARE(f.desktop.texts(), QStringList{effect});
    if (!sent.isEmpty()) {
        // The key shows its button down for a moment before pressing it.
        QTRY_VERIFY(f.pty.received().size() >= sent.size());
        test::expectReceived(f, sent);
    } else {
        QTest::qWait(50);
        QCOMPARE(f.pty.received(), QByteArray());
    }
    if (!effect.contains(u'='))
        QCOMPARE(f.desktop.texts(), effect.isEmpty() ? QStringList() : QStringList{effect});
}

void WindowLayoutTest::tabOrderRunsFromTopLeftToBottomRight()
{
    test::Fixture f;
    test::showActive(f);
    for (int index = 0; index < f.tabs()->count(); ++index) {
        f.tabs()->setCurrentIndex(index);
        QWidget* page = f.page(index);
        QTRY_VERIFY(page->isVisible());
        // The page's widgets in the order the Tab key visits them.
        QList<QWidget*> order;
        QWidget* widget = &f.main();
        do {
            if (page->isAncestorOf(widget) && widget->isVisible() && (widget->focusPolicy() & Qt::TabFocus))
                order << widget;
            widget = widget->nextInFocusChain();
        } while (widget != &f.main());
        for (int k = 1; k < order.size(); ++k) {
            const QRect before = placeOn(order[k - 1], page);
            const QRect next = placeOn(order[k], page);
            // On the same line further right, or on a line below.
            const bool sameLine = next.top() <= before.bottom() && before.top() <= next.bottom();
            QVERIFY2(sameLine ? next.left() > before.right() : next.top() > before.bottom(),
                     qPrintable(QStringLiteral("page %1: %2 after %3")
                                    .arg(f.tabs()->tabText(index), order[k]->objectName(),
                                         order[k - 1]->objectName())));
        }
    }
}

VARNIX_TEST_MAIN(WindowLayoutTest)
#include "tst_windowlayout.moc"
