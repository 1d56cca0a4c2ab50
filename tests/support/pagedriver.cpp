// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/pagedriver.h"

#include "widgets/fields.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

namespace varnix::test {

namespace {
void showPageHolding(WindowFixture& f, const QWidget* widget)
{
    f.tabs()->setCurrentIndex(pageOf(f, widget));
    showActive(f);
}
} // namespace

void applySettings(WindowFixture& f, const QStringList& settings)
{
    for (const QString& setting : settings) {
        const QString name = setting.section(u'=', 0, 0);
        const QString value = setting.section(u'=', 1);
        if (auto* field = f.find<LineField>(name)) {
            field->setExactText(value);
        } else if (auto* list = f.find<ListBox>(name)) {
            const auto items = list->findItems(value, Qt::MatchExactly);
            QVERIFY2(items.size() == 1, qPrintable(setting));
            list->selectRow(list->row(items.front()));
        } else if (auto* option = f.find<QRadioButton>(name)) {
            option->click();
        } else {
            QFAIL(qPrintable(QStringLiteral("nothing called %1").arg(name)));
        }
    }
}

void verifyState(WindowFixture& f, const QStringList& expectations)
{
    for (const QString& expectation : expectations) {
        const QString now = shown(f, expectation.section(u'=', 0, 0));
        QVERIFY2(now == expectation.section(u'=', 1),
                 qPrintable(QStringLiteral("%1 shows \"%2\"").arg(expectation, now)));
    }
}

QString shown(WindowFixture& f, const QString& name)
{
    if (auto* field = f.find<LineField>(name))
        return field->exactText();
    if (auto* area = f.find<TextArea>(name))
        return area->exactText();
    if (auto* label = f.find<QLabel>(name))
        return label->text();
    if (auto* option = f.find<QAbstractButton>(name); option && option->isCheckable())
        return option->isChecked() ? QStringLiteral("on") : QStringLiteral("off");
    return QStringLiteral("(nothing called %1)").arg(name);
}

QStringList fieldTexts(WindowFixture& f, const QList<const LineField*>& leftOut)
{
    QStringList fields;
    for (const LineField* field : f.main().findChildren<LineField*>())
        if (!leftOut.contains(field))
            fields << field->objectName() + u'=' + field->exactText();
    return fields;
}

void openPtyPort(PtyFixture& f)
{
    QVERIFY(f.pty.ok());
    f.pty.startReading();
    f.click(QStringLiteral("cmdCom"));
    QVERIFY2(f.port.isOpen(), qPrintable(f.desktop.texts().join(u'|')));
    f.desktop.messages.clear();
}

void expectReceived(PtyFixture& f, const QByteArray& expected)
{
    QVERIFY(f.pty.waitForBytes(std::size_t(expected.size()), 5000));
    QTest::qWait(50);
    QCOMPARE(f.pty.received(), expected);
}

void showActive(WindowFixture& f)
{
    f.main().show();
    f.main().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f.main()));
}

int pageOf(WindowFixture& f, const QWidget* widget)
{
    for (int i = 0; i < f.tabs()->count(); ++i)
        if (f.page(i)->isAncestorOf(widget))
            return i;
    return -1;
}

void showPageOf(WindowFixture& f, const QString& widgetName)
{
    auto* widget = f.find<QWidget>(widgetName);
    QVERIFY2(widget, qPrintable(QStringLiteral("nothing called %1").arg(widgetName)));
    showPageHolding(f, widget);
}

void press(WindowFixture& f, const QString& buttonName)
{
    auto* button = f.find<QPushButton>(buttonName);
    QVERIFY2(button, qPrintable(QStringLiteral("no button called %1").arg(buttonName)));
    showPageHolding(f, button);
    QTest::mouseClick(button, Qt::LeftButton);
}

QString dotRun(int x, int y, int count, bool horizontal)
{
    QString frames;
    for (int i = 0; i < count; ++i)
        frames += QStringLiteral("]d]%1%2")
                      .arg(horizontal ? x + i : x, 2, 16, QChar(u'0'))
                      .arg(horizontal ? y : y + i, 2, 16, QChar(u'0'));
    return frames;
}

} // namespace varnix::test
