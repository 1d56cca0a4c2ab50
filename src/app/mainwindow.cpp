#include "app/mainwindow.h"

#include "app/desktop.h"
#include "app/helpwindow.h"
#include "app/infopage.h"
#include "app/widgets.h"
#include "commands/bar.h"
#include "commands/centredshapes.h"
#include "commands/chartaxes.h"
#include "commands/dots.h"
#include "commands/fillclear.h"
#include "commands/putitems.h"
#include "commands/rectangleline.h"
#include "commands/strings.h"
#include "link/core/connection.h"
#include "link/core/serialport.h"
#include "link/portpanel.h"
#include "link/sender.h"
#include "link/terminal.h"
#include "protocol/frames.h"
#include "transfer/eepromread.h"
#include "transfer/eepromwrite.h"
#include "transfer/lcdmemory.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace varnix {

namespace {
const char* const kPageCaptions[Main::kPageCount] = {
    "Circle",        "Square",       " Rectangle / Lines", "Square45",    "Star4",
    "Line",          "Bar",          "X-Axis",             "Y-Axis",      "SetDot",
    "ResetDot",      "PutByte",      "PutChar",            "FillScreen",  "ClearScreen",
    "Horiz String",  "Vert String",  "INFO",               "Read EEprom", "Write EEprom",
    "LCD Read/Write",
};

// The six options that stand on the tab control itself form one choice.
const char* const kPageOptionNames[] = {"optbarh", "optbarv", "optxeep1", "optxeep2", "optWeep1", "optweep2"};
} // namespace

Main::Main(const Platform& platform, QWidget* parent)
    : QMainWindow(parent), m_platform(platform),
      m_connection(std::make_unique<link::Connection>(platform.port, platform.pause))
{
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("Varnix Ver 1.2"));
    buildWindow();
    Form_Load();
}

Main::~Main()
{
    // Pages refer to the window's widgets; let them go before the widgets do.
    m_lcdMemory.reset();
    m_eepromWrite.reset();
    m_eepromRead.reset();
    m_fillClear.reset();
    m_strings.reset();
    m_putItems.reset();
    m_dots.reset();
    m_axes.reset();
    m_bar.reset();
    m_rectangleLine.reset();
    m_centredShapes.reset();
    if (m_help)
        delete m_help.data();
    if (m_about)
        delete m_about.data();
}

void Main::buildWindow()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);

    m_tabs = new QTabWidget(central);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    m_tabs->setUsesScrollButtons(true);
    for (int i = 0; i < kPageCount; ++i) {
        auto* pageWidget = new QWidget;
        pageWidget->setObjectName(QStringLiteral("page%1").arg(i));
        m_tabs->addTab(pageWidget, QString::fromUtf8(kPageCaptions[i]));
    }
    m_tabs->tabBar()->installEventFilter(this);

    m_terminal = std::make_unique<Terminal>(*this);
    m_portPanel = std::make_unique<PortPanel>(*this);
    m_sender = std::make_unique<Sender>(*this);

    m_centredShapes = std::make_unique<CentredShapes>(*this);
    m_rectangleLine = std::make_unique<RectangleLine>(*this);
    m_bar = std::make_unique<BarPage>(*this);
    m_axes = std::make_unique<ChartAxes>(*this);
    m_dots = std::make_unique<Dots>(*this);
    m_putItems = std::make_unique<PutItems>(*this);
    m_fillClear = std::make_unique<FillClear>(*this);
    m_strings = std::make_unique<Strings>(*this);
    buildInfoPage(page(17));
    m_eepromRead = std::make_unique<EepromRead>(*this);
    m_eepromWrite = std::make_unique<EepromWrite>(*this);
    m_lcdMemory = std::make_unique<LcdMemory>(*this);

    m_pageOptions = new QButtonGroup(this);
    m_pageOptions->setExclusive(true);
    for (const char* name : kPageOptionNames) {
        if (auto* option = m_tabs->findChild<QRadioButton*>(QString::fromLatin1(name)))
            m_pageOptions->addButton(option);
    }

    // The window's own frame: Help, About and the program's name.
    auto* aboutFrame = new QGroupBox(central);
    auto* Command6 = new QPushButton(QStringLiteral("&Help"), aboutFrame);
    Command6->setObjectName(QStringLiteral("Command6"));
    auto* Command5 = new QPushButton(QStringLiteral("&About"), aboutFrame);
    Command5->setObjectName(QStringLiteral("Command5"));
    auto* Label1 = new QLabel(QStringLiteral("Varnix Ver 1.2"), aboutFrame);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    auto* aboutLayout = new QHBoxLayout(aboutFrame);
    aboutLayout->addWidget(Label1, 1);
    aboutLayout->addWidget(Command6);
    aboutLayout->addWidget(Command5);
    connect(Command6, &QPushButton::clicked, this, &Main::Command6_Click);
    connect(Command5, &QPushButton::clicked, this, &Main::Command5_Click);

    auto* cmdExit = new QPushButton(QStringLiteral("E&xit"), central);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    connect(cmdExit, &QPushButton::clicked, this, &Main::cmdExit_Click);

    auto* left = new QVBoxLayout;
    left->addWidget(m_tabs, 1);
    left->addWidget(m_sender->progressWidget());
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_terminal->clearLcdButton());
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

    auto* columns = new QHBoxLayout(central);
    columns->addLayout(left, 3);
    columns->addLayout(right, 2);
    // Wide enough to show most page captions without scrolling the tab row.
    resize(1240, 640);
}

void Main::Form_Load()
{
    ListBox* list1 = m_portPanel->List1();
    list1->clear();
    list1->addItems({QStringLiteral("56000,n,8,1"), QStringLiteral("38400,n,8,1"), QStringLiteral("28800,n,8,1"),
                     QStringLiteral("19200,n,8,1"), QStringLiteral("14400,n,8,1"), QStringLiteral("9600,n,8,1"),
                     QStringLiteral("2400,n,8,1"), QStringLiteral("1200,n,8,1"), QStringLiteral("600,n,8,1")});
    list1->selectRow(3);
    for (const auto& [name, row] : {std::pair{"List2", 0}, {"List3", 0}, {"lsttickx", 3}, {"lstticky", 3}}) {
        if (auto* list = findChild<ListBox*>(QString::fromLatin1(name)))
            list->selectRow(row);
    }
    m_portPanel->xmitdelay()->setText(QStringLiteral("20"));
    m_portPanel->waitchr()->setText(QStringLiteral("]"));
    m_platform.port.setSettings(QStringLiteral("19200,n,8,1"));
    m_platform.port.setPortNumber(1);
    m_writeEndAddress = 0;
}

QWidget* Main::page(int index) const
{
    return m_tabs->widget(index);
}

LineField* Main::txmText() const
{
    return m_terminal->txmText();
}

TextArea* Main::rcvText() const
{
    return m_terminal->rcvText();
}

LineField* Main::xmitdelay() const
{
    return m_portPanel->xmitdelay();
}

void Main::send()
{
    m_sender->send();
}

bool Main::portGuard()
{
    return m_sender->portGuard();
}

bool Main::sendFrame(const protocol::FrameResult& frame)
{
    if (m_closing)
        return false;
    if (!frame.ok()) {
        message(frame.message());
        return false;
    }
    txmText()->setText(frame.frame);
    send();
    return true;
}

void Main::message(const QString& text)
{
    m_platform.desktop.message(this, text, QString::fromLatin1(kTitle), {QStringLiteral("OK")});
}

void Main::cmdExit_Click()
{
    if (m_platform.port.isOpen()) {
        m_connection->close();
        m_terminal->setPolling(false);
    }
    endSystem();
}

void Main::endSystem()
{
    m_closing = true;
    if (m_ended)
        return;
    m_ended = true;
    m_terminal->setPolling(false);
    if (m_help)
        m_help->close();
    if (m_about)
        m_about->close();
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

void Main::SSTab1_DblClick()
{
    if (m_centredShapes)
        m_centredShapes->cmdCirc_Click();
}

void Main::closeEvent(QCloseEvent* event)
{
    if (m_sender->sending()) {
        // The transmission is still on the stack below us: end it, and end
        // the system once it has unwound.
        m_closing = true;
        m_sender->cancel();
        event->ignore();
        QTimer::singleShot(0, this, [this] {
            if (!m_sender->sending())
                cmdExit_Click();
            else
                close();
        });
        return;
    }
    if (!m_ended)
        cmdExit_Click();
    event->accept();
}

bool Main::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_tabs->tabBar() && event->type() == QEvent::MouseButtonDblClick) {
        SSTab1_DblClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace varnix
