// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testmain.h"
#include "widgets/fields.h"
#include "widgets/pagelayout.h"
#include "support/fixture.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <algorithm>
#include <set>

using namespace varnix;

namespace {

// Pages the page families build; 17 ("INFO") is the window's own.
const QList<int> kPages = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 18, 19, 20};

struct FieldRow {
    int page;
    const char* name;
    const char* start;
    int limit;
};

const FieldRow kFields[] = {
    {0, "txtCx", "64", 0},
    {0, "txtCy", "32", 0},
    {0, "txtcr", "20", 0},
    {1, "txtSx1", "64", 3},
    {1, "txtSy1", "32", 2},
    {1, "txtSr", "20", 2},
    {2, "txtX1", "0", 3},
    {2, "txtY1", "0", 2},
    {2, "txtX2", "127", 3},
    {2, "txtY2", "63", 2},
    {2, "txtrs1", "1", 0},
    {3, "txtDx", "64", 0},
    {3, "txtDy", "32", 0},
    {3, "txtDr", "20", 0},
    {4, "txtStarx", "64", 0},
    {4, "txtStary", "32", 0},
    {4, "txtStarr", "20", 0},
    {5, "txtLx1", "00", 0},
    {5, "txtLy1", "00", 0},
    {5, "txtLx2", "127", 0},
    {5, "txtLy2", "40", 0},
    {6, "txtbarx", "20", 3},
    {6, "txtbary", "20", 2},
    {6, "txtbarwidth", "5", 3},
    {6, "txtbarheight", "36", 2},
    {7, "txtXaxisx", "16", 3},
    {7, "txtXaxisy", "56", 2},
    {7, "txtXaxisLen", "100", 3},
    {8, "txtYAxisx", "16", 3},
    {8, "txtYAxisy", "10", 2},
    {8, "txtYAxisLen", "46", 3},
    {9, "txtDotSingX", "64", 3},
    {9, "txtDotSingy", "32", 2},
    {9, "txtDotManyx", "10", 3},
    {9, "txtDotManyy", "30", 2},
    {9, "txtDotnum", "20", 3},
    {10, "txtResetx", "64", 3},
    {10, "txtResety", "32", 2},
    {11, "txtPutBytex", "10", 3},
    {11, "txtPutBytey", "10", 2},
    {11, "txtPutByte", "124", 3},
    {12, "txtPutChrx", "10", 3},
    {12, "txtPutchry", "10", 2},
    {12, "txtPutChr", "A", 1},
    {15, "txtH", "A;TESSEL;DEMO;BY;ORVANTA", 26},
    {15, "txtHStrX", "1", 0},
    {15, "txtHStrY", "32", 0},
    {16, "txtV", "ORVANTA1", 8},
    {16, "txtVStrX", "64", 3},
    {16, "txtVStrY", "0", 2},
    {18, "txteraddr", "0000", 4},
    {18, "txtebytes", "0000", 4},
    {19, "txtewaddr", "0000", 4},
    {20, "txtlcdx1", "000", 3},
    {20, "txtlcdy1", "00", 2},
    {20, "txtlcdx2", "000", 3},
    {20, "txtlcdy2", "00", 2},
};

struct AreaRow {
    int page;
    const char* name;
};

const AreaRow kAreas[] = {{18, "txteread"}, {19, "txtewrite"}, {20, "txtlcd"}};

struct ListRow {
    int page;
    const char* name;
    int count;  // entries "1" to count
    int selected;
};

const ListRow kLists[] = {
    {6, "List3", 5, 0},
    {7, "lsttickx", 10, 3},
    {8, "lstticky", 10, 3},
    {13, "List2", 9, 0},
};

struct OptionRow {
    int page;
    const char* name;
    const char* caption;
    bool checked;
};

const OptionRow kOptions[] = {
    {6, "optbarh", "Horiz", false},
    {6, "optbarv", "Vert", false},
    {9, "optHoriz", "Horzontal", true},
    {9, "optVert", "Vertical", false},
    {18, "optxeep1", "External", true},
    {18, "optxeep2", "Internal", false},
    {19, "optWeep1", "Ext I2C", false},
    {19, "optweep2", "Internal", false},
};

struct ButtonRow {
    int page;
    const char* name;
    const char* caption;
    bool enabled;
};

const ButtonRow kButtons[] = {
    {0, "cmdCirc", "&Draw Circle", true},
    {1, "cmdSquare", "&Draw Square", true},
    {2, "cmdRect", "&Draw Rectangle", true},
    {3, "cmdDiam", "&Draw Diamond", true},
    {4, "Command2", "&Draw Star4", true},
    {5, "cmdLine", "&Draw Line", true},
    {6, "cmdbar", "&Draw Bar", true},
    {7, "cmdXaxis", "&Draw X-Axis", true},
    {8, "cmdyaxis", "&Draw Y-Axis", true},
    {9, "Command3", "&Set Dot", true},
    {9, "Command4", "&Draw Dots", true},
    {10, "cmdResetDot", "&Reset Dot", true},
    {11, "cmdPutByte", "&Put Byte", true},
    {12, "cmdPutChr", "&Put Character", true},
    {13, "cmdFill", "&FILL", true},
    {14, "cmdClearLCD", "Clear &Display", true},
    {15, "cmdH", "&Send", true},
    {16, "cmdVs", "&Send", true},
    {18, "cmderead", "&Read", true},
    {18, "cmdecopy", "&Copy", true},
    {18, "cmdereadclr", "Clear", true},
    {19, "cmdewrite", "&Write", false},
    {19, "cmdepaste", "&Paste", true},
    {19, "cmdechk", "Reformat", true},
    {19, "cmdeclr", "Clear", true},
    {20, "cmdwritelcd", "&Write", false},
    {20, "cmdlcdread", "&Read", true},
    {20, "cmdlcdpaste", "&Paste", true},
    {20, "cdmlcdcopy", "&Copy", true},
    {20, "lcrlcdtxt", "Clear", true},
    {20, "cmdlcdfmt", "Reformat to Send", true},
    {20, "cmdlcdloadpic", "Load Pic&ture…", true},
    {20, "cmdlcdloadtext", "Loa&d Text…", true},
    {20, "cmdlcdsavepic", "Save P&icture…", true},
};

// Labels that actions read or change, by name.
const ButtonRow kNamedLabels[] = {
    {6, "Label70", "Height", true},
    {18, "readeep", "0000", true},
    {19, "lbleend", "0000", true},
    {20, "xybytes", "0000", true},
    {20, "txtbytes", "0000", true},
};

struct TextRow {
    int page;
    const char* text;
};

// Captions and explanations, each shown by a label of its page exactly so.
const TextRow kTexts[] = {
    {0, "Draws a circle given the center  (x,y) and the radius  in pixels"},
    {0, "Circle Center"},
    {0, "X value"},
    {0, "Y value"},
    {0, "Circle Radius"},
    {0, "Pixels"},
    {1, "Draws a square given the center location (x,y) and 1/2 the length of a side in pixels"},
    {1, "Center X           Y"},
    {1, "Diag Length"},
    {2, "Draws a rectangle given the x,y coordinates of the top left and bottom right locations. Step value "
        "creates a dashed lines. For straight lines, keep both the top and bottom x or y values the same"},
    {2, "Top Left  X     Y"},
    {2, "Bottom Rt X     Y"},
    {2, "Step 1-9"},
    {3, "Draws a diamond shape"},
    {3, "Diamond Center XY"},
    {3, "Center-to-side in pixels"},
    {4, "Draws Four Point Star (dashed lines)"},
    {4, "Center of Star XY"},
    {4, "Center-to-Point in pixels"},
    {5, "Experimental"},
    {5, "* I'm still working on the math!"},
    {5, "This has limitations due to the aspect ratio of the LCD. Line must extend from the left to the right "
        "and from top to bottom It cannot run a complete diagonal of the display unless the Y value < 63 .*"},
    {5, "Begin"},
    {5, "X1"},
    {5, "Y1"},
    {5, "End"},
    {5, "X2"},
    {5, "Y2"},
    {6, "Draws a filled bar from x,y with a given height or length and width. Step determines the pattern"},
    {6, "Top Left"},
    {6, "X"},
    {6, "Y"},
    {6, "Width"},
    {6, "Pixels"},
    {6, "Step by"},
    {6, "pixels"},
    {7, "Draw the x-axis of a chart with tick marks"},
    {7, "Starting Point"},
    {7, "X"},
    {7, "Y"},
    {7, "Length in pixels"},
    {7, "Tick every"},
    {7, "Pixels"},
    {8, "Draw the y-axis of a chart with tick marks"},
    {8, "Starting Point"},
    {8, "X"},
    {8, "Y"},
    {8, "Length in pixels"},
    {8, "Tick every"},
    {8, "Pixels"},
    {9, "X"},
    {9, "Y"},
    {9, "Number"},
    {10, "An XOR function, if the dot is set it will clear it else it will set it"},
    {10, "X"},
    {10, "Y"},
    {11, "Places a vertical byte at X,Y location"},
    {11, "X"},
    {11, "Y"},
    {11, "Byte value 0-255"},
    {12, "Places a character at X,Y location"},
    {12, "Position"},
    {12, "X"},
    {12, "Y"},
    {12, "Charcter A-Z, 0-9 ONLY"},
    {13, "Fills the LCD display with pixels, step value can be set for different designs (grids)"},
    {13, "Step Value"},
    {14, "Clears the LCD Display"},
    {15, "Place a string horizontally, maximum 26 characters. For a space enter a ;"},
    {15, "String"},
    {15, "X-Y Location"},
    {16, "Place a string of characters vertically, maximum 8 characters. For a space enter a ;"},
    {16, "String"},
    {16, "X"},
    {16, "Y"},
    {18, "Address"},
    {18, "Number"},
    {18, "End Addr"},
    {19, "Start Address"},
    {19, "End Address"},
    {19, "Enter hex format (hh) only"},
    {20, "LCD map X, Y coordinates"},
    {20, "Start at:"},
    {20, "End at:"},
    {20, "X1"},
    {20, "Y1"},
    {20, "X2"},
    {20, "Y2"},
    {20, "Bytes:"},
    {20, "Text area Bytes:"},
};

QString rowName(int page, const char* name)
{
    return QStringLiteral("page %1 %2").arg(page).arg(QString::fromLatin1(name));
}

template <typename Widget>
QStringList namesOn(QWidget* page)
{
    QStringList names;
    for (auto* widget : page->findChildren<Widget*>())
        if (!widget->objectName().isEmpty())
            names << widget->objectName();
    names.sort();
    return names;
}

template <typename Row, std::size_t N>
QStringList expectedNames(const Row (&rows)[N], int page)
{
    QStringList names;
    for (const Row& row : rows)
        if (row.page == page)
            names << QString::fromLatin1(row.name);
    names.sort();
    return names;
}

} // namespace

class PagesTest : public QObject
{
    Q_OBJECT
private slots:
    void fields_data();
    void fields();
    void textAreasStartEmpty();
    void lists_data();
    void lists();
    void options_data();
    void options();
    void buttons_data();
    void buttons();
    void namedLabels_data();
    void namedLabels();
    void captionsAndExplanations_data();
    void captionsAndExplanations();
    void eachPageHoldsExactlyItsControls_data();
    void eachPageHoldsExactlyItsControls();
    void everyNameIsUniqueInTheWindow();
    void dotDirectionIsAChoiceOfItsOwn();
    void setDotGroups();
    void pagesFitTheirSpace_data();
    void pagesFitTheirSpace();
    void typingStopsAtTheLimit_data();
    void typingStopsAtTheLimit();
    void drawCircleSendsItsThreeFields();
    void refusalsNameFieldsAsThePageShowsThem_data();
    void refusalsNameFieldsAsThePageShowsThem();
    void everyFieldHasANameOfItsOwn();
};

void PagesTest::fields_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("start");
    QTest::addColumn<int>("limit");
    for (const FieldRow& row : kFields)
        QTest::newRow(qPrintable(rowName(row.page, row.name)))
            << row.page << QString::fromLatin1(row.name) << QString::fromLatin1(row.start) << row.limit;
}

void PagesTest::fields()
{
    QFETCH(int, page);
    QFETCH(QString, name);
    QFETCH(QString, start);
    QFETCH(int, limit);
    test::Fixture f;
    auto* field = f.page(page)->findChild<LineField*>(name);
    QVERIFY2(field, qPrintable(name));
    QCOMPARE(field->exactText(), start);
    QCOMPARE(field->typingLimit(), limit);
    // The limit holds typing only: a text the program sets is never cut.
    QCOMPARE(field->maxLength(), QLineEdit().maxLength());
    QVERIFY(field->isEnabled());
    QVERIFY(!field->isReadOnly());
}

void PagesTest::textAreasStartEmpty()
{
    test::Fixture f;
    for (const AreaRow& row : kAreas) {
        auto* area = f.page(row.page)->findChild<TextArea*>(QString::fromLatin1(row.name));
        QVERIFY2(area, row.name);
        QVERIFY2(area->exactText().isEmpty(), row.name);
        QVERIFY2(!area->isReadOnly(), row.name);
    }
}

void PagesTest::lists_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("selected");
    for (const ListRow& row : kLists) {
        QStringList items;
        for (int i = 1; i <= row.count; ++i)
            items << QString::number(i);
        QTest::newRow(qPrintable(rowName(row.page, row.name)))
            << row.page << QString::fromLatin1(row.name) << items << items[row.selected];
    }
}

void PagesTest::lists()
{
    QFETCH(int, page);
    QFETCH(QString, name);
    QFETCH(QStringList, items);
    QFETCH(QString, selected);
    test::Fixture f;
    auto* list = f.page(page)->findChild<ListBox*>(name);
    QVERIFY2(list, qPrintable(name));
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->item(i)->text();
    QCOMPARE(shown, items);
    QCOMPARE(list->selectedText(), selected);
    QCOMPARE(list->selectedItems().size(), 1);
}

void PagesTest::options_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("checked");
    for (const OptionRow& row : kOptions)
        QTest::newRow(qPrintable(rowName(row.page, row.name)))
            << row.page << QString::fromLatin1(row.name) << QString::fromLatin1(row.caption) << row.checked;
}

void PagesTest::options()
{
    QFETCH(int, page);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, checked);
    test::Fixture f;
    auto* option = f.page(page)->findChild<QRadioButton*>(name);
    QVERIFY2(option, qPrintable(name));
    QCOMPARE(option->text(), caption);
    QCOMPARE(option->isChecked(), checked);
    QVERIFY(option->isEnabled());
}

void PagesTest::buttons_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("enabled");
    for (const ButtonRow& row : kButtons)
        QTest::newRow(qPrintable(rowName(row.page, row.name)))
            << row.page << QString::fromLatin1(row.name) << QString::fromUtf8(row.caption) << row.enabled;
}

void PagesTest::buttons()
{
    QFETCH(int, page);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, enabled);
    test::Fixture f;
    auto* button = f.page(page)->findChild<QPushButton*>(name);
    QVERIFY2(button, qPrintable(name));
    QCOMPARE(button->text(), caption);
    QCOMPARE(button->isEnabled(), enabled);
    QVERIFY(!button->isHidden());
}

void PagesTest::namedLabels_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    for (const ButtonRow& row : kNamedLabels)
        QTest::newRow(qPrintable(rowName(row.page, row.name)))
            << row.page << QString::fromLatin1(row.name) << QString::fromLatin1(row.caption);
}

void PagesTest::namedLabels()
{
    QFETCH(int, page);
    QFETCH(QString, name);
    QFETCH(QString, text);
    test::Fixture f;
    auto* label = f.page(page)->findChild<QLabel*>(name);
    QVERIFY2(label, qPrintable(name));
    QCOMPARE(label->text(), text);
    QCOMPARE(label->textFormat(), Qt::PlainText);
}

void PagesTest::captionsAndExplanations_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("text");
    for (const TextRow& row : kTexts)
        QTest::newRow(qPrintable(QStringLiteral("page %1 \"%2\"").arg(row.page).arg(QString::fromLatin1(row.text))))
            << row.page << QString::fromLatin1(row.text);
}

void PagesTest::captionsAndExplanations()
{
    QFETCH(int, page);
    QFETCH(QString, text);
    test::Fixture f;
    QStringList shown;
    for (QLabel* label : f.page(page)->findChildren<QLabel*>()) {
        shown << label->text();
        // Runs of blanks and characters such as "<" must show as written.
        if (label->text() == text)
            QCOMPARE(label->textFormat(), Qt::PlainText);
    }
    QVERIFY2(shown.contains(text), qPrintable(shown.join(QStringLiteral(" | "))));
}

void PagesTest::eachPageHoldsExactlyItsControls_data()
{
    QTest::addColumn<int>("page");
    for (int page : kPages)
        QTest::newRow(qPrintable(QStringLiteral("page %1").arg(page))) << page;
}

void PagesTest::eachPageHoldsExactlyItsControls()
{
    QFETCH(int, page);
    test::Fixture f;
    QWidget* widget = f.page(page);
    QCOMPARE(namesOn<LineField>(widget), expectedNames(kFields, page));
    QCOMPARE(namesOn<TextArea>(widget), expectedNames(kAreas, page));
    QCOMPARE(namesOn<ListBox>(widget), expectedNames(kLists, page));
    QCOMPARE(namesOn<QRadioButton>(widget), expectedNames(kOptions, page));
    QCOMPARE(namesOn<QPushButton>(widget), expectedNames(kButtons, page));
    QCOMPARE(namesOn<QLabel>(widget), expectedNames(kNamedLabels, page));
    // Every control has a name, so actions can find each one.
    for (auto* control : widget->findChildren<QAbstractButton*>())
        QVERIFY2(!control->objectName().isEmpty(), qPrintable(control->text()));
    for (auto* control : widget->findChildren<QLineEdit*>())
        QVERIFY2(!control->objectName().isEmpty(), qPrintable(control->text()));
}

void PagesTest::everyNameIsUniqueInTheWindow()
{
    test::Fixture f;
    QStringList names;
    for (const FieldRow& row : kFields)
        names << QString::fromLatin1(row.name);
    for (const AreaRow& row : kAreas)
        names << QString::fromLatin1(row.name);
    for (const ListRow& row : kLists)
        names << QString::fromLatin1(row.name);
    for (const OptionRow& row : kOptions)
        names << QString::fromLatin1(row.name);
    for (const ButtonRow& row : kButtons)
        names << QString::fromLatin1(row.name);
    for (const ButtonRow& row : kNamedLabels)
        names << QString::fromLatin1(row.name);
    for (const QString& name : names)
        QVERIFY2(f.main().findChildren<QObject*>(name).size() == 1, qPrintable(name));
}

void PagesTest::dotDirectionIsAChoiceOfItsOwn()
{
    test::Fixture f;
    auto* horizontal = f.find<QRadioButton>(QStringLiteral("optHoriz"));
    auto* vertical = f.find<QRadioButton>(QStringLiteral("optVert"));
    auto* external = f.find<QRadioButton>(QStringLiteral("optxeep1"));
    QVERIFY(!f.pageOptions()->buttons().contains(horizontal));
    QVERIFY(!f.pageOptions()->buttons().contains(vertical));

    vertical->click();
    QVERIFY(vertical->isChecked());
    QVERIFY(!horizontal->isChecked());
    QVERIFY(external->isChecked());

    f.find<QRadioButton>(QStringLiteral("optbarh"))->click();
    QVERIFY(vertical->isChecked());
    horizontal->click();
    QVERIFY(horizontal->isChecked());
    QVERIFY(!vertical->isChecked());
    QVERIFY(f.find<QRadioButton>(QStringLiteral("optbarh"))->isChecked());
}

void PagesTest::setDotGroups()
{
    test::Fixture f;
    QWidget* page = f.page(9);
    auto groupOf = [&](const char* name) -> QString {
        for (QObject* parent = f.find<QWidget>(QString::fromLatin1(name))->parent(); parent && parent != page;
             parent = parent->parent())
            if (auto* box = qobject_cast<QGroupBox*>(parent))
                return box->title();
        return QString();
    };
    for (const char* name : {"txtDotSingX", "txtDotSingy", "Command3"})
        QCOMPARE(groupOf(name), QStringLiteral("Single"));
    for (const char* name : {"txtDotManyx", "txtDotManyy", "txtDotnum", "optHoriz", "optVert", "Command4"})
        QCOMPARE(groupOf(name), QStringLiteral("Many"));
    // The line's fields sit in their group too.
    QWidget* line = f.page(5);
    auto* box = line->findChild<QGroupBox*>();
    QVERIFY(box);
    QCOMPARE(box->title(), QStringLiteral("Line Parameters"));
    for (const char* name : {"txtLx1", "txtLy1", "txtLx2", "txtLy2"})
        QVERIFY2(box->findChild<LineField*>(QString::fromLatin1(name)), name);
}

void PagesTest::pagesFitTheirSpace_data()
{
    eachPageHoldsExactlyItsControls_data();
}

void PagesTest::pagesFitTheirSpace()
{
    QFETCH(int, page);
    test::Fixture f;
    const QSize needed = f.page(page)->minimumSizeHint();
    QVERIFY2(needed.width() <= 520 && needed.height() <= 330,
             qPrintable(QStringLiteral("%1x%2").arg(needed.width()).arg(needed.height())));
}

void PagesTest::typingStopsAtTheLimit_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    const QString thirty = QStringLiteral("123456789012345678901234567890");
    QTest::newRow("three") << 1 << "txtSx1" << "1234" << "123";
    QTest::newRow("two") << 1 << "txtSy1" << "123" << "12";
    QTest::newRow("one") << 12 << "txtPutChr" << "12" << "1";
    QTest::newRow("four") << 18 << "txteraddr" << "12345" << "1234";
    QTest::newRow("eight") << 16 << "txtV" << "123456789" << "12345678";
    QTest::newRow("twenty-six") << 15 << "txtH" << thirty << thirty.left(26);
    QTest::newRow("unlimited") << 0 << "txtCx" << thirty << thirty;
    QTest::newRow("unlimited step") << 2 << "txtrs1" << "12345" << "12345";
}

void PagesTest::typingStopsAtTheLimit()
{
    QFETCH(int, page);
    QFETCH(QString, name);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    test::Fixture f;
    f.main().show();
    QVERIFY(QTest::qWaitForWindowActive(&f.main()));
    f.tabs()->setCurrentIndex(page);
    auto* field = f.page(page)->findChild<LineField*>(name);
    QVERIFY2(field, qPrintable(name));
    field->setExactText(QString());
    field->setFocus();
    QTest::keyClicks(field, typed);
    QCOMPARE(field->exactText(), kept);
}

void PagesTest::drawCircleSendsItsThreeFields()
{
    test::Fixture f;
    f.openPort();
    f.desktop.messages.clear();
    f.click(QStringLiteral("cmdCirc"));
    QCOMPARE(f.port.written, QStringLiteral("]c]402014"));

    f.port.written.clear();
    f.find<LineField>(QStringLiteral("txtCx"))->setExactText(QStringLiteral("5"));
    f.find<LineField>(QStringLiteral("txtCy"))->setExactText(QStringLiteral("9"));
    f.find<LineField>(QStringLiteral("txtcr"))->setExactText(QStringLiteral("256"));
    f.click(QStringLiteral("cmdCirc"));
    QCOMPARE(f.port.written, QStringLiteral("]c]0509100"));
    QCOMPARE(f.find<LineField>(QStringLiteral("txmText"))->exactText(), QStringLiteral("]c]0509100"));
    QVERIFY(f.desktop.messages.isEmpty());
}

void PagesTest::refusalsNameFieldsAsThePageShowsThem_data()
{
    QTest::addColumn<QStringList>("settings"); // "name=text", or an option button to click
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("message");
    auto row = [](const char* name, const QStringList& settings, const char* button, const char* message) {
        QTest::newRow(name) << settings << QString::fromLatin1(button) << QString::fromUtf8(message);
    };
    // "X" stands on several pages, "Circle Radius" on one only.
    row("caption on several pages", {"txtPutBytex=abc"}, "cmdPutByte", "X on \"PutByte\" must hold one number, not \"abc\".");
    row("caption on one page", {"txtcr=abc"}, "cmdCirc", "Circle Radius must hold one number, not \"abc\".");
    row("caption as shown now", {"optbarh", "txtbarheight=-100"}, "cmdbar",
        "X + Length on \"Bar\" must give a number of 0 or more, not \"-80\".");
    // A long paste is cut, its line breaks shown as pictures.
    row("long paste", {"txtcr=Ready:\r\n" + QString(2000, u'7')}, "cmdCirc",
        "Circle Radius must hold one number, not \"Ready:\u240d\u240a7777777777777777777777777777777\u2026\".");
    row("whole number field", {"txteraddr=abc"}, "cmderead", "Address must hold one whole number, not \"abc\".");
}

void PagesTest::refusalsNameFieldsAsThePageShowsThem()
{
    QFETCH(QStringList, settings);
    QFETCH(QString, button);
    QFETCH(QString, message);
    test::Fixture f;
    f.openPort();
    f.desktop.messages.clear();
    for (const QString& setting : settings) {
        if (setting.contains(u'='))
            f.setField(setting.section(u'=', 0, 0), setting.section(u'=', 1));
        else
            f.find<QRadioButton>(setting)->click();
    }
    f.click(button);
    QCOMPARE(f.desktop.texts(), QStringList{message});
    QVERIFY(f.port.written.isEmpty());
}

void PagesTest::everyFieldHasANameOfItsOwn()
{
    test::Fixture f;
    for (int page : kPages) {
        QList<QWidget*> fields;
        for (auto* field : f.page(page)->findChildren<LineField*>())
            fields << field;
        for (auto* area : f.page(page)->findChildren<TextArea*>())
            fields << area;
        for (const QWidget* field : fields) {
            const QString named = pagelayout::fieldName(field).named();
            QVERIFY2(named != QStringLiteral("A field") && !named.contains(field->objectName()),
                     qPrintable(field->objectName() + QStringLiteral(": ") + named));
        }
    }
}

VARNIX_TEST_MAIN(PagesTest)
#include "tst_pages.moc"
