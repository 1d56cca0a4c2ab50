#include "support/pagedriver.h"

#include "widgets/fields.h"

#include <QLabel>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

namespace varnix::test {

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
        const QString name = expectation.section(u'=', 0, 0);
        const QString value = expectation.section(u'=', 1);
        QString shown;
        if (auto* field = f.find<LineField>(name))
            shown = field->exactText();
        else if (auto* label = f.find<QLabel>(name))
            shown = label->text();
        else if (auto* option = f.find<QRadioButton>(name))
            shown = option->isChecked() ? QStringLiteral("on") : QStringLiteral("off");
        else
            QFAIL(qPrintable(QStringLiteral("nothing called %1").arg(name)));
        QVERIFY2(shown == value, qPrintable(QStringLiteral("%1 shows \"%2\"").arg(expectation, shown)));
    }
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

} // namespace varnix::test
