#include "link/portpanel.h"

#include "app/desktop.h"
#include "app/mainwindow.h"
#include "app/widgets.h"
#include "link/core/connection.h"
#include "link/core/portmap.h"
#include "link/core/serialport.h"
#include "link/terminal.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace varnix {

PortPanel::PortPanel(Main& main)
    : QObject(&main), m_main(main), m_ioGroup(new QGroupBox(QStringLiteral("I/O Port"))),
      m_settingsGroup(new QGroupBox(QStringLiteral("Comm Settings")))
{
    m_cmdCom = new QPushButton(QStringLiteral("&Open"), m_ioGroup);
    m_cmdCom->setObjectName(QStringLiteral("cmdCom"));
    auto* Label6 = new QLabel(QStringLiteral("For use with Lumdra"), m_ioGroup);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setWordWrap(true);
    m_comm = new QLabel(m_ioGroup);
    m_comm->setObjectName(QStringLiteral("comm"));
    m_comm->setAlignment(Qt::AlignCenter);
    m_comm->setAutoFillBackground(true);
    m_comm->setMinimumWidth(60);
    auto* ioLayout = new QVBoxLayout(m_ioGroup);
    ioLayout->addWidget(m_cmdCom);
    ioLayout->addWidget(m_comm);
    ioLayout->addWidget(Label6);
    ioLayout->addStretch(1);
    showStatus(Status::Off);

    auto* grid = new QGridLayout(m_settingsGroup);
    grid->addWidget(new QLabel(QStringLiteral("Port"), m_settingsGroup), 0, 0, 1, 2);
    for (int i = 0; i < 4; ++i) {
        m_optCom[i] = new QRadioButton(QString::number(i + 1), m_settingsGroup);
        m_optCom[i]->setObjectName(QStringLiteral("optCom%1").arg(i + 1));
        m_deviceLabels[i] = new QLabel(m_settingsGroup);
        m_deviceLabels[i]->setObjectName(QStringLiteral("lblDevice%1").arg(i + 1));
        m_deviceLabels[i]->setEnabled(false);
        grid->addWidget(m_optCom[i], i + 1, 0);
        grid->addWidget(m_deviceLabels[i], i + 1, 1);
    }
    m_optCom[0]->setChecked(true);
    grid->addWidget(new QLabel(QStringLiteral("Baud rate"), m_settingsGroup), 0, 2);
    m_List1 = new ListBox(QStringLiteral("List1"), {}, m_settingsGroup);
    m_List1->setMaximumHeight(90);
    grid->addWidget(m_List1, 1, 2, 4, 1);
    m_cmdComSet = new QPushButton(QStringLiteral("S&et"), m_settingsGroup);
    m_cmdComSet->setObjectName(QStringLiteral("cmdComSet"));
    grid->addWidget(m_cmdComSet, 5, 2);
    m_waitchr = new LineField(QStringLiteral("waitchr"), QStringLiteral("]"), 0, m_settingsGroup);
    m_xmitdelay = new LineField(QStringLiteral("xmitdelay"), QStringLiteral("20"), 0, m_settingsGroup);
    m_waitchr->setMaximumWidth(60);
    m_xmitdelay->setMaximumWidth(60);
    grid->addWidget(new QLabel(QStringLiteral("WaitChar"), m_settingsGroup), 5, 0);
    grid->addWidget(m_waitchr, 5, 1);
    grid->addWidget(new QLabel(QStringLiteral("XmitDelay"), m_settingsGroup), 6, 0);
    grid->addWidget(m_xmitdelay, 6, 1);

    connect(m_cmdCom, &QPushButton::clicked, this, &PortPanel::cmdCom_Click);
    connect(m_cmdComSet, &QPushButton::clicked, this, &PortPanel::cmdComSet_Click);
    connect(&m_main.ports(), &link::PortMap::changed, this, &PortPanel::showDevices);
    connect(&m_main.connection(), &link::Connection::lost, this, &PortPanel::portLost);
    showDevices();
}

void PortPanel::showStatus(Status status)
{
    QString caption;
    QColor colour;
    switch (status) {
    case Status::Off:
        caption = QStringLiteral("OFF");
        colour = QColor(192, 0, 0);
        break;
    case Status::On:
        caption = QStringLiteral("ON");
        colour = QColor(0, 192, 0);
        break;
    case Status::Busy:
        caption = QStringLiteral("Busy");
        colour = QColor(255, 128, 0);
        break;
    }
    QPalette palette = m_comm->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::WindowText, Qt::white);
    m_comm->setPalette(palette);
    m_comm->setText(caption);
}

int PortPanel::chosenPortNumber() const
{
    int number = 0;
    for (int i = 0; i < 4; ++i) {
        if (m_optCom[i]->isChecked())
            number = i + 1;
    }
    return number;
}

void PortPanel::applySettings()
{
    link::SerialPort& port = m_main.connection().port();
    port.setSettings(m_List1->selectedText());
    // Each option is tested on its own; with none chosen the number stays.
    for (int i = 0; i < 4; ++i) {
        if (m_optCom[i]->isChecked())
            port.setPortNumber(i + 1);
    }
}

void PortPanel::cmdCom_Click()
{
    if (m_main.connection().isOpen())
        closePort();
    else
        openPort();
}

void PortPanel::cmdComSet_Click()
{
    m_main.ports().refresh();
    if (m_main.connection().isOpen())
        return;
    applySettings();
}

void PortPanel::openPort()
{
    Terminal& terminal = m_main.terminal();
    terminal.rcvText()->setText(QString::fromLatin1(Terminal::kWaiting));
    applySettings();
    link::Connection& connection = m_main.connection();
    if (!connection.open()) {
        QString text = QStringLiteral("Error opening Comm:%1").arg(connection.port().portNumber());
        if (const QString hint = connection.port().failureHint(); !hint.isEmpty())
            text += QStringLiteral("\n\n") + hint;
        m_main.message(text);
        showDevices();
        return;
    }
    terminal.setPolling(true);
    terminal.showPortOpen(true);
    m_main.desktop().beep();
    showStatus(Status::On);
    m_cmdCom->setText(QStringLiteral("Close"));
    showDevices();
}

void PortPanel::closePort()
{
    link::Connection& connection = m_main.connection();
    if (!connection.close()) {
        m_main.message(QStringLiteral("Error opening Comm:%1").arg(connection.port().portNumber()));
        if (connection.isOpen())
            return;
    }
    Terminal& terminal = m_main.terminal();
    terminal.setPolling(false);
    if (terminal.rcvText()->text() == QLatin1String(Terminal::kWaiting))
        terminal.rcvText()->setText(QStringLiteral("Serial Input from PIC"));
    terminal.showPortOpen(false);
    terminal.txmText()->setText(QString());
    m_main.desktop().beep();
    showStatus(Status::Off);
    m_cmdCom->setText(QStringLiteral("Open"));
}

void PortPanel::portLost(const QString& reason)
{
    // The connection has closed the device already; leave the window as a
    // Close would, and say once what happened.
    const int number = m_main.connection().port().portNumber();
    closePort();
    QString text = QStringLiteral("Comm:%1 stopped working and has been closed.").arg(number);
    if (!reason.isEmpty())
        text += QStringLiteral("\n(%1)").arg(reason);
    text += QStringLiteral("\nReconnect the device and press Open.");
    m_main.message(text);
    showDevices();
}

void PortPanel::showDevices()
{
    const link::PortMap& ports = m_main.ports();
    for (int i = 0; i < 4; ++i) {
        const QString device = ports.device(i + 1);
        m_deviceLabels[i]->setText(device.isEmpty() ? QStringLiteral("(none)") : QFileInfo(device).fileName());
        m_deviceLabels[i]->setToolTip(device.isEmpty() ? QStringLiteral("No serial device for port %1").arg(i + 1)
                                                      : device);
    }
}

} // namespace varnix
