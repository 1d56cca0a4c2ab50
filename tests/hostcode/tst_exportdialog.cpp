// SPDX-License-Identifier: GPL-3.0-or-later
// "Export..." in the window: the recording, or a script asked for, made into
// code that is previewed as the name is typed and saved as it was shown.
#include "hostcode/exportdialog.h"
#include "support/fixture.h"
#include "support/pagedriver.h"
#include "support/scriptstandins.h"
#include "support/testmain.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace varnix;

class ExportDialogTest : public QObject
{
    Q_OBJECT
private slots:
    void theRecordingBecomesCodeAsNamed();
    void withoutARecordingAScriptIsAskedFor();
    void theLineTheWindowShows();
};

void ExportDialogTest::theRecordingBecomesCodeAsNamed()
{
    test::Fixture f;
    f.openPort();
    f.click(QStringLiteral("cmdRecord"));
    f.click(QStringLiteral("cmdCirc"));
    f.click(QStringLiteral("cmdRecord"));
    f.click(QStringLiteral("cmdExport"));
    auto* dialog = f.find<hostcode::ExportDialog>(QStringLiteral("exportDialog"));
    QVERIFY(dialog && dialog->isVisible());
    auto* code = dialog->findChild<QPlainTextEdit*>(QStringLiteral("txtCode"));
    QVERIFY(code->toPlainText().contains(QRegularExpression(QStringLiteral("vx_send\\(&r, \\d+, \"\\]c\\]402014\", 9\\);"))));

    auto* language = dialog->findChild<QComboBox*>(QStringLiteral("cboLanguage"));
    language->setCurrentIndex(language->findText(QStringLiteral("Python (pyserial)")));
    QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("txtName")), QStringLiteral(" circle"));
    QVERIFY2(dialog->findChild<QLabel*>(QStringLiteral("lblNote"))
                 ->text()
                 .contains(QStringLiteral("\"recording circle\" is no name a language takes: the function is "
                                          "varnix_send_recording_circle.")),
             qPrintable(dialog->findChild<QLabel*>(QStringLiteral("lblNote"))->text()));
    QVERIFY(code->toPlainText().contains(QStringLiteral("def varnix_send_recording_circle(port):")));
    QVERIFY(code->toPlainText().contains(QRegularExpression(QStringLiteral("r\\.send\\(\\d+, b\"\\]c\\]402014\"\\)"))));

    QTemporaryDir dir;
    f.desktop.savePath = dir.filePath(QStringLiteral("circle.py"));
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("cmdSaveCode")), Qt::LeftButton);
    QCOMPARE(f.desktop.proposedPaths.constLast(), QStringLiteral("recording_circle.py"));
    QFile saved(f.desktop.savePath);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(saved.readAll()), code->toPlainText());
}

void ExportDialogTest::withoutARecordingAScriptIsAskedFor()
{
    test::Fixture f;
    QTemporaryDir dir;
    f.desktop.openPath = test::writeScriptFile(dir, "]k\nfill 3\n");
    f.click(QStringLiteral("cmdExport"));
    QCOMPARE(f.desktop.texts(), QStringList{"Cannot export test.vnx: line 2: unknown word \"fill\" (a frame begins with \"]\")"});
    QVERIFY(!f.find<hostcode::ExportDialog>(QStringLiteral("exportDialog")));

    f.desktop.openPath = test::writeScriptFile(dir, "]k\n");
    f.click(QStringLiteral("cmdExport"));
    auto* dialog = f.find<hostcode::ExportDialog>(QStringLiteral("exportDialog"));
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("lblSource"))->text(),
             QStringLiteral("the script test.vnx (1 frame)"));
    QVERIFY(dialog->findChild<QPlainTextEdit*>(QStringLiteral("txtCode"))
                ->toPlainText()
                .contains(QStringLiteral("int varnix_send_test(int fd)")));
}

// The line chosen under Comm Settings, the port still closed, is the code's,
// and the dialog says where it came from.
void ExportDialogTest::theLineTheWindowShows()
{
    test::Fixture f;
    test::applySettings(f, {QStringLiteral("List1=56000,n,8,1")});
    QTemporaryDir dir;
    f.desktop.openPath = test::writeScriptFile(dir, "]k\n");
    f.click(QStringLiteral("cmdExport"));
    auto* dialog = f.find<hostcode::ExportDialog>(QStringLiteral("exportDialog"));
    QVERIFY(dialog);
    auto* note = dialog->findChild<QLabel*>(QStringLiteral("lblNote"));
    QVERIFY2(note->text().startsWith(QStringLiteral("For the line chosen under Comm Settings, 56000,n,8,1, ")),
             qPrintable(note->text()));
    // C has no such speed; Python has.
    QVERIFY(note->text().contains(QStringLiteral("no speed of 56000 baud")));
    auto* language = dialog->findChild<QComboBox*>(QStringLiteral("cboLanguage"));
    language->setCurrentIndex(language->findText(QStringLiteral("Python (pyserial)")));
    QVERIFY(dialog->code().contains(QStringLiteral("baudrate=56000,")));
}

VARNIX_TEST_MAIN(ExportDialogTest)
#include "tst_exportdialog.moc"
