// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/mainwindow.h"

#include "display/displayview.h"
#include "app/window/helpwindow.h"
#include "app/window/infopage.h"
#include "app/window/scriptpanel.h"
#include "app/window/screenhost.h"
#include "app/window/logcontrol.h"
#include "board/boardshadow.h"
#include "commands/bar.h"
#include "commands/centredshapes.h"
#include "commands/chartaxes.h"
#include "commands/dots.h"
#include "commands/fillclear.h"
#include "commands/putitems.h"
#include "commands/rectangleline.h"
#include "commands/strings.h"
#include "editor/screeneditor.h"
#include "link/core/connection.h"
#include "link/core/linesettings.h"
#include "link/core/serialport.h"
#include "link/portpanel.h"
#include "link/receiveview.h"
#include "link/sender.h"
#include "link/terminal.h"
#include "link/core/portmap.h"
#include "link/core/reconnector.h"
#include "monitor/monitorwindow.h"
#include "script/sessionlog.h"
#include "transfer/eepromread.h"
#include "transfer/eepromwrite.h"
#include "transfer/lcdmemory.h"
#include "widgets/desktop.h"
#include "widgets/accesskeys.h"
#include "widgets/fields.h"
#include "widgets/pagelayout.h"
#include "widgets/tabrows.h"

#include "varnixversion.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace varnix {

namespace {
// The pages of the tab control, in their order.
enum Page {
    Circle, Square, RectangleLines, Square45, Star4, Line, Bar, XAxis, YAxis, SetDot, ResetDot, PutByte,
    PutChar, FillScreen, ClearScreen, HorizString, VertString, Info, ReadEeprom, WriteEeprom, LcdReadWrite,
    PageCount
};

const char* const kPageCaptions[PageCount] = {
    "Circle",        "Square",       " Rectangle / Lines", "Square45",    "Star4",
    "Line",          "Bar",          "X-Axis",             "Y-Axis",      "SetDot",
    "ResetDot",      "PutByte",      "PutChar",            "FillScreen",  "ClearScreen",
    "Horiz String",  "Vert String",  "INFO",               "Read EEprom", "Write EEprom",
    "LCD Read/Write",
};
} // namespace

Main::Main(const Platform& platform, QWidget* parent)
    : QMainWindow(parent), m_platform(platform),
      m_connection(std::make_unique<link::Connection>(platform.port, platform.pause)),
      m_log(std::make_unique<script::SessionLog>(*m_connection))
{
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("Varnix Ver %1").arg(QLatin1String(kVersion)));
    buildWindow();
    Form_Load();
}

Main::~Main()
{
    // The widgets go first, while the window they call back into is whole;
    // nothing they report from now on is acted upon.
    m_sender->shutDown();
    m_log->stop();
    if (m_help)
        delete m_help.data();
    if (m_about)
        delete m_about.data();
    delete takeCentralWidget();
}

void Main::buildWindow()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);

    m_tabs = new QTabWidget(central);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    QWidget* pages[PageCount];
    for (int i = 0; i < PageCount; ++i) {
        pages[i] = new QWidget;
        pages[i]->setObjectName(QStringLiteral("page%1").arg(i));
        m_tabs->addTab(pages[i], QString::fromUtf8(kPageCaptions[i]));
    }
    // All captions in view at once, in rows; made before the pages' widgets
    // so that Tab reaches it before them.
    m_tabRows = new TabRows(m_tabs, central);
    m_tabRows->setObjectName(QStringLiteral("tabRows"));
    connect(m_tabRows, &TabRows::doubleClicked, this, &Main::SSTab1_DblClick);

    m_terminal = new Terminal(*this, *m_connection, this);
    m_terminal->setClock([this] { return m_log->now(); });
    m_portPanel = new PortPanel(*this, m_platform.desktop, *m_connection, m_platform.ports, *m_terminal, this);
    m_sender = new Sender(*this, *m_connection, *m_terminal, *m_portPanel, this);
    m_logControl = new LogControl(this, *this, m_platform.desktop, *m_log, [this] { return logDevice(); }, this);
    m_terminal->addToButtonRow(m_logControl->widget());
    // The terminal's windows and its find field have no captions; without
    // names of their own a screen reader would call them all "Terminal", after
    // their group.
    pagelayout::nameControl(m_terminal->rcvText(), QStringLiteral("Receive window"));
    pagelayout::nameControl(m_terminal->rcvHex(), QStringLiteral("Receive window in hex"));
    pagelayout::nameControl(m_terminal->txmText(), QStringLiteral("Transmit window"));
    if (auto* find = m_terminal->group()->findChild<QLineEdit*>(QStringLiteral("txtFind")))
        pagelayout::nameControl(find, QStringLiteral("Find"));
    // The log has already said the port opened; this says why it did.
    connect(&m_portPanel->reconnector(), &link::Reconnector::reconnected, this, [this](const QString& device) {
        m_log->note(QStringLiteral("reconnected: %1 came back").arg(device));
    });
    // The note may be cut to the window's width; the log keeps it whole.
    connect(m_portPanel, &PortPanel::noted, m_log.get(), &script::SessionLog::note);

    // The six options standing on the tab control itself form one choice.
    m_pageOptions = new QButtonGroup(this);
    m_pageOptions->setExclusive(true);

    m_centredShapes =
        new CentredShapes(*this, {pages[Circle], pages[Square], pages[Square45], pages[Star4]}, this);
    m_drawingPages = {m_centredShapes,
                      new RectangleLine(*this, pages[RectangleLines], pages[Line], this),
                      new BarPage(*this, pages[Bar], *m_pageOptions, this),
                      new ChartAxes(*this, {pages[XAxis], pages[YAxis]}, this),
                      new Dots(*this, pages[SetDot], pages[ResetDot], this),
                      new PutItems(*this, pages[PutByte], pages[PutChar], this),
                      new FillClear(*this, pages[FillScreen], pages[ClearScreen], this),
                      new Strings(*this, {pages[HorizString], pages[VertString]}, this)};
    buildInfoPage(pages[Info]);
    new EepromRead(*this, pages[ReadEeprom], *m_pageOptions, this);
    new EepromWrite(*this, pages[WriteEeprom], *m_pageOptions, this);
    new LcdMemory(*this, pages[LcdReadWrite], this);

    // A page's own access key wins over the window's on that page.
    new AccessKeys(this, m_tabs);

    // The window's own frame: Help, About and the program's name.
    auto* aboutFrame = new QGroupBox(central);
    auto* Label1 = new QLabel(QStringLiteral("Varnix Ver %1").arg(QLatin1String(kVersion)), aboutFrame);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    auto* Command6 = new QPushButton(QStringLiteral("&Help"), aboutFrame);
    Command6->setObjectName(QStringLiteral("Command6"));
    auto* Command5 = new QPushButton(QStringLiteral("&About"), aboutFrame);
    Command5->setObjectName(QStringLiteral("Command5"));
    auto* aboutLayout = new QHBoxLayout(aboutFrame);
    aboutLayout->addWidget(Label1, 1);
    aboutLayout->addWidget(Command6);
    aboutLayout->addWidget(Command5);
    connect(Command6, &QPushButton::clicked, this, &Main::Command6_Click);
    connect(Command5, &QPushButton::clicked, this, &Main::Command5_Click);

    auto* cmdExit = new QPushButton(QStringLiteral("E&xit"), central);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    connect(cmdExit, &QPushButton::clicked, this, &Main::cmdExit_Click);

    // Left the tab control, its captions over its pages, and the window's
    // buttons; right the terminal, which takes the room the window grows by,
    // over the port settings.
    auto* tabControl = new QVBoxLayout;
    tabControl->setSpacing(0);
    tabControl->addWidget(m_tabRows);
    tabControl->addWidget(m_tabs, 1);
    auto* left = new QVBoxLayout;
    left->addLayout(tabControl, 1);
    // The script's controls beside the display they preview and check.
    auto* displayRow = new QHBoxLayout;
    displayRow->addWidget(buildDisplayPanel(), 1);
    m_scriptPanel = new ScriptPanel({*this, m_platform.desktop, *m_sender, *m_connection, m_platform.pause, *m_terminal, *m_portPanel,
                                     *m_shadow, this, *m_log},
                                    this);
    connect(m_scriptPanel, &ScriptPanel::overDisplayChanged, m_previewTimer, qOverload<>(&QTimer::start));
    displayRow->addWidget(m_scriptPanel->group());
    left->addLayout(displayRow);
    left->addWidget(m_sender->progressWidget());
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_terminal->clearLcdButton());
    bottom->addWidget(m_displayToggle);
    auto* cmdMonitor = new QPushButton(QStringLiteral("&Monitor\u2026"), central);
    cmdMonitor->setObjectName(QStringLiteral("cmdMonitor"));
    cmdMonitor->setToolTip(QStringLiteral("Shows, decoded, what another host sends the board"));
    connect(cmdMonitor, &QPushButton::clicked, this, &Main::cmdMonitor_Click);
    bottom->addWidget(cmdMonitor);
    auto* cmdScreen = new QPushButton(QStringLiteral("Scree&n\u2026"), central);
    cmdScreen->setObjectName(QStringLiteral("cmdScreen"));
    cmdScreen->setToolTip(QStringLiteral("Designs a whole screen, which the board can follow as you edit"));
    connect(cmdScreen, &QPushButton::clicked, this, &Main::cmdScreen_Click);
    bottom->addWidget(cmdScreen);
    bottom->addStretch(1);
    bottom->addWidget(aboutFrame);
    bottom->addWidget(cmdExit);
    left->addLayout(bottom);

    auto* right = new QVBoxLayout;
    right->addWidget(m_terminal->group(), 1);
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(m_portPanel->ioGroup());
    portRow->addWidget(m_portPanel->settingsGroup(), 1);
    right->addLayout(portRow);
    // One line of its own under the port settings, kept whether the note
    // says anything or not, so that nothing above it moves as it changes.
    right->addWidget(m_portPanel->noteLabel());

    auto* columns = new QHBoxLayout(central);
    columns->addLayout(left);
    columns->addLayout(right, 1);
    resize(kDefaultSize.expandedTo(minimumSizeHint()));
}

QWidget* Main::buildDisplayPanel()
{
    m_shadow = new board::BoardShadow(*m_connection, this);
    m_displayPanel = new QGroupBox(QStringLiteral("What the board should be showing"));
    m_displayPanel->setObjectName(QStringLiteral("displayPanel"));
    m_displayView = new DisplayView(2, m_displayPanel);
    m_displayView->setObjectName(QStringLiteral("displayView"));
    m_displayView->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_displayView->setToolTip(QStringLiteral("Every frame sent so far, drawn as the board draws it; in red what "
                                             "the button of the page in view would add"));
    auto* layout = new QVBoxLayout(m_displayPanel);
    layout->addWidget(m_displayView, 0, Qt::AlignCenter);

    // Shown or hidden for as long as the program runs.
    m_displayToggle = new QPushButton(QStringLiteral("Display &view"));
    m_displayToggle->setObjectName(QStringLiteral("cmdDisplayView"));
    m_displayToggle->setCheckable(true);
    m_displayToggle->setChecked(true);
    connect(m_displayToggle, &QPushButton::toggled, m_displayPanel, &QWidget::setVisible);

    // A preview follows every change of the page in view, coalesced into one
    // redraw when an action changes several fields at once.
    m_previewTimer = new QTimer(this);
    m_previewTimer->setSingleShot(true);
    m_previewTimer->setInterval(0);
    connect(m_previewTimer, &QTimer::timeout, this, &Main::showPreview);
    auto preview = [this] {
        // A comparison with the board is out of date once anything changes.
        if (m_scriptPanel)
            m_scriptPanel->dropComparison();
        m_previewTimer->start();
    };
    connect(m_shadow, &board::BoardShadow::changed, this, preview);
    connect(m_tabs, &QTabWidget::currentChanged, this, preview);
    for (int i = 0; i < m_tabs->count(); ++i) {
        const QWidget* page = m_tabs->widget(i);
        for (LineField* field : page->findChildren<LineField*>())
            connect(field, &LineField::changed, this, preview);
        for (ListBox* list : page->findChildren<ListBox*>())
            connect(list, &ListBox::itemSelectionChanged, this, preview);
        for (QAbstractButton* option : page->findChildren<QRadioButton*>())
            connect(option, &QAbstractButton::toggled, this, preview);
    }
    showPreview();
    return m_displayPanel;
}

void Main::showPreview()
{
    m_displayView->setDisplay(
        m_scriptPanel && m_scriptPanel->underDisplay() ? *m_scriptPanel->underDisplay() : m_shadow->firmware().display());
    m_displayView->setUncertain(m_scriptPanel ? m_scriptPanel->uncertainty() : QString());
    if (const auto over = m_scriptPanel ? m_scriptPanel->overDisplay() : std::nullopt) {
        m_displayView->setPreview(over);
        return;
    }
    QStringList frames;
    for (const DrawingPages* family : m_drawingPages) {
        frames = family->previewFrames(m_tabs->currentWidget());
        if (!frames.isEmpty())
            break;
    }
    m_displayView->setPreview(frames.isEmpty() ? std::nullopt
                                               : std::optional(m_shadow->after(frames).display()));
}

void Main::Form_Load()
{
    ListBox* list1 = m_portPanel->List1();
    list1->clear();
    list1->addItems(link::offeredLineSettings());
    list1->selectRow(link::kStartLineSettings);
    // The step and tick lists of the pages come with their start entries
    // selected, and the EEPROM write end address starts at 0 with its page.
    m_portPanel->xmitdelay()->setExactText(QStringLiteral("20"));
    m_portPanel->waitchr()->setExactText(QStringLiteral("]"));
    m_platform.port.setSettings(QStringLiteral("19200,n,8,1"));
    m_platform.port.setPortNumber(1);
}

QString Main::logDevice() const
{
    // The open port's device, or the one the chosen number would open.
    int number = m_platform.port.portNumber();
    if (!m_connection->isOpen()) {
        for (int i = 1; i <= 4; ++i) {
            const auto* option = findChild<QRadioButton*>(QStringLiteral("optCom%1").arg(i));
            if (option && option->isChecked())
                number = i;
        }
    }
    // A device the map has a name for ("virtual board") goes by it, any
    // other by its path under /dev ("ttyUSB0", "pts-3").
    const QString path = m_platform.ports.device(number);
    const QString label = m_platform.ports.label(number);
    if (path.isEmpty() || label != QFileInfo(path).fileName())
        return label;
    return path.startsWith(QStringLiteral("/dev/")) ? path.mid(5) : label;
}

bool Main::startLog(const QString& path)
{
    return m_log->start(path, script::SessionLog::Mode::Append);
}

void Main::openPort(const QString& name)
{
    m_portPanel->openGiven(name);
}

void Main::send()
{
    m_sender->send();
}

bool Main::closing() const
{
    return m_sender->closing();
}

bool Main::portGuard()
{
    return m_sender->portGuard();
}

bool Main::sendFrame(const protocol::FrameResult& frame)
{
    return m_sender->sendFrame(frame);
}

void Main::message(const QString& text)
{
    m_platform.desktop.message(this, text, QString::fromLatin1(kTitle), {QStringLiteral("OK")});
}

void Main::setPacingDelay(const QString& milliseconds)
{
    m_portPanel->xmitdelay()->setExactText(milliseconds);
}

QString Main::receivedText() const
{
    m_terminal->showReceived();
    return m_terminal->rcvText()->exactText();
}

void Main::clearReceived()
{
    m_terminal->clearReceived();
}

QString Main::clipboardText()
{
    return m_platform.desktop.clipboardText();
}

void Main::setClipboardText(const QString& text)
{
    m_platform.desktop.setClipboardText(text);
}

void Main::whenIdle(std::function<void()> action)
{
    m_sender->whenIdle(std::move(action));
}

void Main::cmdExit_Click()
{
    // A screen with unsaved changes is asked about first.
    if (m_editor && !m_ended && !m_editor->mayEnd())
        return;
    if (m_platform.port.isOpen()) {
        m_connection->close();
        m_terminal->setPolling(false);
    }
    endSystem();
}

void Main::endSystem()
{
    m_sender->shutDown();
    m_portPanel->shutDown();
    if (m_ended)
        return;
    m_ended = true;
    m_terminal->setPolling(false);
    if (m_help)
        m_help->close();
    if (m_about)
        m_about->close();
    if (m_monitor)
        m_monitor->close();
    if (m_editor)
        m_editor->close();
    hide();
    QCoreApplication::exit(0);
}

void Main::Command5_Click()
{
    if (!m_about)
        m_about = new AboutWindow(this);
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void Main::Command6_Click()
{
    if (!m_help)
        m_help = new HelpWindow(this);
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

MonitorWindow* Main::monitorWindow() const
{
    return m_monitor;
}

void Main::cmdMonitor_Click()
{
    if (!m_monitor)
        m_monitor = new MonitorWindow(m_platform.desktop, m_platform.ports, this);
    m_monitor->show();
    m_monitor->raise();
    m_monitor->activateWindow();
}

void Main::cmdScreen_Click()
{
    if (!m_editor) {
        if (!m_editorHost)
            m_editorHost = std::make_unique<WindowEditorHost>(WindowEditorHost::Parts{
                *this, m_platform.desktop, *m_connection, *m_sender, m_platform.pause, *m_shadow, *m_portPanel,
                *m_scriptPanel});
        m_editor = new ScreenEditor({*m_editorHost, m_screenDialogs, m_screenRecovery}, this);
        m_editor->setWindowFlag(Qt::Window);
        m_editor->setAttribute(Qt::WA_DeleteOnClose);
        m_editor->show();
        m_editor->offerRecovery();
    }
    m_editor->show();
    m_editor->raise();
    m_editor->activateWindow();
}

void Main::editScreen(const QString& file)
{
    cmdScreen_Click();
    if (!file.isEmpty() && m_editor)
        m_editor->openAsking(file);
}

ScreenEditor* Main::screenEditor() const
{
    return m_editor;
}

void Main::SSTab1_DblClick()
{
    m_centredShapes->cmdCirc_Click();
}

void Main::closeEvent(QCloseEvent* event)
{
    if (m_sender->sending()) {
        // The transmission is still on the stack below us: end it, and end
        // the system once it has unwound.
        m_scriptPanel->stop();
        m_sender->shutDown();
        event->ignore();
        QTimer::singleShot(0, this, [this] {
            if (!m_sender->sending())
                cmdExit_Click();
            else
                close();
        });
        return;
    }
    if (m_editor && !m_ended && !m_editor->mayEnd()) {
        event->ignore();
        return;
    }
    if (!m_ended)
        cmdExit_Click();
    event->accept();
}

} // namespace varnix
