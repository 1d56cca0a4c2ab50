// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of Varnix at work, made offscreen against a virtual board:
//   varnix_pictures pages DIR   the board's display after each drawing
//                               page's button, with the page's start values
//   varnix_pictures readme DIR  the main window and the virtual board's
//                               window after a few drawing commands
//   varnix_pictures dialogs DIR the Load Text and Load Picture dialogs with
//                               a screen in each and their blocks chosen, a
//                               picture written to the board and exported as
//                               an Arduino sketch, and the monitor with a
//                               refused frame chosen; the screen editor
//                               with a screen on it, followed live by the
//                               board
#include "app/virtualboard/boardwindow.h"
#include "display/displayview.h"
#include "editor/canvas.h"
#include "editor/live.h"
#include "editor/screeneditor.h"
#include "display/icon.h"
#include "hostcode/exportdialog.h"
#include "monitor/core/capture.h"
#include "monitor/monitorwindow.h"
#include "render/picture.h"
#include "support/boardfixture.h"
#include "support/pagedriver.h"
#include "transfer/picturedriver.h"
#include "transfer/picturedialogs.h"
#include "widgets/fields.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>

using namespace varnix;

namespace {

struct Page {
    const char* file;
    QStringList buttons;
};

// The drawing pages in their order, each with the buttons that draw.
const Page kPages[] = {
    {"01-circle", {"cmdCirc"}},       {"02-square", {"cmdSquare"}},     {"03-rectangle", {"cmdRect"}},
    {"04-square45", {"cmdDiam"}},    {"05-star4", {"Command2"}},       {"06-line", {"cmdLine"}},
    {"07-bar", {"cmdbar"}},           {"08-x-axis", {"cmdXaxis"}},      {"09-y-axis", {"cmdyaxis"}},
    {"10-setdot", {"Command3", "Command4"}}, {"11-resetdot", {"cmdResetDot"}}, {"12-putbyte", {"cmdPutByte"}},
    {"13-putchar", {"cmdPutChr"}},    {"14-fillscreen", {"cmdFill"}},   {"15-horiz-string", {"cmdH"}},
    {"16-vert-string", {"cmdVs"}},
};

// The window on a virtual board, port 1 open.
class Session : public test::BoardFixture
{
public:
    Session()
    {
        if (board.devicePath().isEmpty()) {
            std::fprintf(stderr, "varnix_pictures: %s\n", qPrintable(board.errorString()));
            std::exit(1);
        }
        click(QStringLiteral("cmdCom"));
    }

    // Clicks the button on its own page, and lets the board draw.
    void click(const QString& name)
    {
        auto* button = find<QAbstractButton>(name);
        if (!button) {
            std::fprintf(stderr, "varnix_pictures: no button %s\n", qPrintable(name));
            std::exit(1);
        }
        if (const int page = test::pageOf(*this, button); page >= 0)
            tabs()->setCurrentIndex(page);
        button->click();
        settle();
    }
};

bool save(const QImage& image, const QString& path)
{
    if (image.save(path))
        return true;
    std::fprintf(stderr, "varnix_pictures: cannot write %s\n", qPrintable(path));
    return false;
}

int pages(const QString& dir)
{
    Session session;
    for (const Page& page : kPages) {
        session.click(QStringLiteral("Command1")); // "&Clear LCD"
        for (const QString& button : page.buttons)
            session.click(button);
        const QString path = QStringLiteral("%1/%2.png").arg(dir, QString::fromLatin1(page.file));
        if (!save(renderDisplay(session.board.firmware().display(), 4), path))
            return 1;
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}

int readme(const QString& dir)
{
    Session session;
    for (const char* button : {"cmdRect", "cmdCirc", "cmdXaxis", "cmdyaxis", "cmdH", "cmdbar"})
        session.click(QString::fromLatin1(button));
    session.tabs()->setCurrentIndex(0);
    session.window->show();
    BoardWindow boardWindow(session.board);
    boardWindow.resize(boardWindow.sizeHint());
    boardWindow.show();
    QCoreApplication::processEvents();
    const QString mainPath = dir + QStringLiteral("/main-window.png");
    const QString boardPath = dir + QStringLiteral("/virtual-board.png");
    if (!save(session.window->grab().toImage(), mainPath) || !save(boardWindow.grab().toImage(), boardPath))
        return 1;
    std::printf("%s\n%s\n", qPrintable(mainPath), qPrintable(boardPath));
    return 0;
}

// A picture as Load Picture... puts it into the LCD page, written to the
// board while recording, and the recording in the Export dialog.
int exportPictures(const QString& dir)
{
    QImage picture(128, 64, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setPen(QPen(Qt::black, 3));
    painter.drawEllipse(QPoint(30, 32), 24, 24);
    painter.drawLine(18, 32, 42, 32);
    painter.drawLine(30, 20, 30, 44);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(14);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(58, 8, 70, 48), Qt::AlignCenter, QStringLiteral("BOILER\nON"));
    painter.end();
    const render::LcdBlock block{};
    Session session;
    session.setField(QStringLiteral("txtlcdx2"), QStringLiteral("127"));
    session.setField(QStringLiteral("txtlcdy2"), QStringLiteral("7"));
    session.find<TextArea>(QStringLiteral("txtlcd"))
        ->setExactText(render::blockHex(render::convertPicture(picture, block, {}), block));
    for (const char* button : {"cmdlcdfmt", "cmdRecord", "cmdwritelcd", "cmdRecord", "cmdExport"})
        session.click(QString::fromLatin1(button));
    auto* exported = session.find<hostcode::ExportDialog>(QStringLiteral("exportDialog"));
    if (!exported)
        return 1;
    auto* language = exported->findChild<QComboBox*>(QStringLiteral("cboLanguage"));
    language->setCurrentIndex(language->findText(QStringLiteral("Arduino")));
    exported->findChild<QLineEdit*>(QStringLiteral("txtName"))->setText(QStringLiteral("boiler"));
    exported->resize(720, 560);
    QCoreApplication::processEvents();
    const QString dialogPath = dir + QStringLiteral("/export-dialog.png");
    const QString displayPath = dir + QStringLiteral("/export-display.png");
    if (!save(exported->grab().toImage(), dialogPath)
        || !save(renderDisplay(session.board.firmware().display(), 4), displayPath))
        return 1;
    std::printf("%s\n%s\n", qPrintable(dialogPath), qPrintable(displayPath));
    return 0;
}

// The monitor with a host's session read from its capture, the frame the
// board refused chosen.
int monitorWindow(const QString& dir)
{
    QTemporaryDir work;
    const QString path = work.filePath(QStringLiteral("boiler.log"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        const qint64 start = QDateTime(QDate(2025, 1, 31), QTime(9, 14, 2, 118)).toMSecsSinceEpoch();
        monitor::CaptureWriter capture(file, QStringLiteral("host /dev/ttyUSB0, board /dev/ttyUSB1, 56000,n,8,1"),
                                       start);
        board::Firmware board;
        qint64 at = start;
        capture.add(monitor::Direction::Board, board.banner(), at);
        for (const char* frame : {"]k", "]r]007f003f]1", "]h]1A06]B]O]I]L]E]R];]2]@", "]h]1E18]6]3].]5];]C]@",
                                  "]x]10702e]8", "]b]10603438]1", "]m]78800405]ff]ff]ff", "]d]7c3a"}) {
            at += 180;
            capture.add(monitor::Direction::Host, frame, at);
            at += 6;
            QByteArray answer = board.feed(frame);
            answer += board.silence();
            capture.add(monitor::Direction::Board, answer, at);
        }
    }
    test::RecordingDesktop desktop;
    link::PortMap ports;
    MonitorWindow window(desktop, ports);
    window.resize(1260, 560);
    window.show();
    desktop.openPath = path;
    window.findChild<QAbstractButton*>(QStringLiteral("cmdChooseFile"))->click();
    while (window.running())
        QCoreApplication::processEvents();
    window.showNew();
    // The display as the refused frame left it; the row in its own colours.
    auto* view = window.findChild<QTableView*>(QStringLiteral("tblEvents"));
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        if (view->model()->index(row, 4).data().toString().startsWith(QLatin1String("Error:")))
            window.findChild<QSlider*>(QStringLiteral("sldTime"))->setValue(row);
    }
    view->clearSelection();
    QCoreApplication::processEvents();
    const QString picture = dir + QStringLiteral("/monitor-window.png");
    if (!save(window.grab().toImage(), picture))
        return 1;
    std::printf("%s\n", qPrintable(picture));
    return 0;
}

// The screen editor with a tank's screen on it, as Live has put it on the
// virtual board: a title, a reading in large digits, its bar and a frame.
int screenEditor(const QString& dir)
{
    Session session;
    QTemporaryDir work;
    test::AnsweringDialogs answers;
    session.main().setScreenSetup(&answers, work.path());
    session.main().cmdScreen_Click();
    ScreenEditor* editor = session.main().screenEditor();
    editor->resize(1180, 560);
    editor->live().setOn(true);
    const QString script = work.filePath(QStringLiteral("tank.vnx"));
    QFile file(script);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write("# The tank's screen: its name, the level in large digits and as a bar.\n]k\n"
               "]r]007f003f]1\n]h]0603]T]A]N]K]\\x20]2]@\n]l]007f0b0b\n"
               "]r]0a3c2a35]1\n]b]0c2d2c33]1\n]x]0a3c38]5\n");
    file.close();
    editor->openFile(script);
    render::TextChoice level;
    level.text = QStringLiteral("63 %");
    level.pixelSize = 16;
    answers.text = level;
    answers.block = render::BlockChoice{{72, 127, 4, 5}, false, true};
    editor->addObject(editor::Kind::Text);
    // The bar chosen, with its handles and its numbers.
    editor->select({editor->screen().items()[6].id});
    while (editor->live().sending() || !session.settle())
        QCoreApplication::processEvents();
    editor->show();
    QCoreApplication::processEvents();
    BoardWindow boardWindow(session.board);
    boardWindow.resize(boardWindow.sizeHint());
    boardWindow.show();
    QCoreApplication::processEvents();
    const QString editorPath = dir + QStringLiteral("/screen-editor.png");
    const QString boardPath = dir + QStringLiteral("/screen-editor-board.png");
    if (!save(editor->grab().toImage(), editorPath) || !save(boardWindow.grab().toImage(), boardPath))
        return 1;
    std::printf("%s\n%s\n", qPrintable(editorPath), qPrintable(boardPath));
    return 0;
}

int dialogs(const QString& dir)
{
    // A text in the smallest block it needs, in the middle of the display.
    transfer::TextPreview text(render::BlockChoice{render::LcdBlock{}, true, true});
    text.findChild<QPlainTextEdit*>(QStringLiteral("text"))->setPlainText(QStringLiteral("BOILER\n63.5 °C"));
    text.findChild<QComboBox*>(QStringLiteral("font"))->setCurrentText(QStringLiteral("DejaVu Sans"));
    text.findChild<QSpinBox*>(QStringLiteral("size"))->setValue(22);
    text.findChild<QCheckBox*>(QStringLiteral("bold"))->setChecked(true);
    text.findChild<QComboBox*>(QStringLiteral("across"))->setCurrentIndex(1);
    text.findChild<QComboBox*>(QStringLiteral("down"))->setCurrentIndex(1);
    // The program's icon as a picture on the whole display, chosen from the
    // page's first corners.
    transfer::PicturePreview picture({{programIcon(256), 0}}, render::BlockChoice{render::LcdBlock{0, 0, 0, 0}, true});

    QStringList paths;
    for (const auto& [dialog, name] : {std::pair<QDialog*, const char*>{&text, "load-text.png"},
                                       std::pair<QDialog*, const char*>{&picture, "load-picture.png"}}) {
        dialog->show();
        QCoreApplication::processEvents();
        dialog->adjustSize();
        paths << dir + u'/' + QLatin1String(name);
        if (!save(dialog->grab().toImage(), paths.constLast()))
            return 1;
    }
    std::printf("%s\n", qPrintable(paths.join(u'\n')));
    if (const int failed = exportPictures(dir))
        return failed;
    if (const int failed = monitorWindow(dir))
        return failed;
    return screenEditor(dir);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3 || (args[1] != u"pages" && args[1] != u"readme" && args[1] != u"dialogs")) {
        std::fputs("usage: varnix_pictures pages|readme|dialogs DIR\n", stderr);
        return 2;
    }
    if (!QDir().mkpath(args[2])) {
        std::fprintf(stderr, "varnix_pictures: cannot make %s\n", qPrintable(args[2]));
        return 1;
    }
    if (args[1] == u"dialogs")
        return dialogs(args[2]);
    return args[1] == u"pages" ? pages(args[2]) : readme(args[2]);
}
