// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/portpanel.h"

#include "link/core/connection.h"
#include "link/core/networkaddress.h"
#include "link/core/portmap.h"
#include "link/core/reconnector.h"
#include "link/core/serialport.h"
#include "link/terminal.h"
#include "widgets/desktop.h"
#include "widgets/elidedlabel.h"
#include "widgets/fields.h"
#include "widgets/pagelayout.h"
#include "widgets/pagehost.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTime>
#include <QVBoxLayout>

#include <utility>

namespace varnix {

namespace {
// The network addresses used, kept across starts.
QSettings addressSettings()
{
    return QSettings(QStringLiteral("varnix"), QStringLiteral("varnix"));
}
constexpr char kRecentKey[] = "network/recent";

QString timeNow()
{
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}
} // namespace

PortPanel::PortPanel(PageHost& host, Desktop& desktop, link::Connection& connection, link::PortMap& ports,
                     Terminal& terminal, QObject* parent)
    : QObject(parent), m_host(host), m_desktop(desktop), m_connection(connection), m_ports(ports),
      m_terminal(terminal), m_ioGroup(new QGroupBox(QStringLiteral("I/O Port"))),
      m_settingsGroup(new QGroupBox(QStringLiteral("Comm Settings"))),
      // Made before the panel hears of losses, so that it knows by then
      // whether the lost device is waited for.
      m_reconnector(new link::Reconnector(connection, ports, this))
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
    m_chkReconnect = new QCheckBox(QStringLiteral("Reconnect"), m_ioGroup);
    m_chkReconnect->setObjectName(QStringLiteral("chkReconnect"));
    m_chkReconnect->setChecked(true);
    m_chkReconnect->setToolTip(
        QStringLiteral("Open the port again on its own when a device that was lost comes back"));
    // Laid out by the window; a child here until then.
    m_note = new ElidedLabel(m_ioGroup);
    m_note->setObjectName(QStringLiteral("lblPortNote"));
    QSizePolicy notePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    notePolicy.setRetainSizeWhenHidden(true);
    m_note->setSizePolicy(notePolicy);
    m_note->hide();
    auto* ioLayout = new QVBoxLayout(m_ioGroup);
    ioLayout->addWidget(m_cmdCom);
    ioLayout->addWidget(m_comm);
    ioLayout->addWidget(m_chkReconnect);
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
    m_optNetwork = new QRadioButton(QStringLiteral("Network"), m_settingsGroup);
    m_optNetwork->setObjectName(QStringLiteral("optNetwork"));
    m_cboAddress = new QComboBox(m_settingsGroup);
    m_cboAddress->setObjectName(QStringLiteral("cboAddress"));
    m_cboAddress->setEditable(true);
    m_cboAddress->setInsertPolicy(QComboBox::NoInsert);
    m_cboAddress->setToolTip(QStringLiteral("%1, or a device path").arg(QLatin1String(link::kAddressForms)));
    m_cboAddress->addItems(addressSettings().value(QLatin1String(kRecentKey)).toStringList());
    m_cboAddress->lineEdit()->setPlaceholderText(QStringLiteral("rfc2217://host:port"));
    // The option button beside it says "Network" already.
    pagelayout::nameControl(m_cboAddress, QStringLiteral("Network address"));
    grid->addWidget(m_optNetwork, 5, 0);
    grid->addWidget(m_cboAddress, 5, 1, 1, 2);
    m_List1 = new ListBox(QStringLiteral("List1"), {}, m_settingsGroup);
    grid->addWidget(pagelayout::captionFor(QStringLiteral("Baud rate"), m_List1), 0, 2);
    m_List1->setMaximumHeight(90);
    grid->addWidget(m_List1, 1, 2, 4, 1);
    m_cmdComSet = new QPushButton(QStringLiteral("S&et"), m_settingsGroup);
    m_cmdComSet->setObjectName(QStringLiteral("cmdComSet"));
    grid->addWidget(m_cmdComSet, 6, 2, Qt::AlignLeft);
    // Their start values are set by the window's start-up.
    m_waitchr = new LineField(QStringLiteral("waitchr"), QString(), 0, m_settingsGroup);
    m_xmitdelay = new LineField(QStringLiteral("xmitdelay"), QString(), 0, m_settingsGroup);
    m_waitchr->setMaximumWidth(60);
    m_xmitdelay->setMaximumWidth(60);
    grid->addWidget(pagelayout::captionFor(QStringLiteral("WaitChar"), m_waitchr), 6, 0);
    grid->addWidget(m_waitchr, 6, 1);
    grid->addWidget(pagelayout::captionFor(QStringLiteral("XmitDelay"), m_xmitdelay), 7, 0);
    grid->addWidget(m_xmitdelay, 7, 1);

    connect(m_cmdCom, &QPushButton::clicked, this, &PortPanel::cmdCom_Click);
    connect(m_cmdComSet, &QPushButton::clicked, this, &PortPanel::cmdComSet_Click);
    connect(&m_ports, &link::PortMap::changed, this, &PortPanel::showDevices);
    connect(&m_connection, &link::Connection::lost, this, &PortPanel::portLost);
    connect(&m_connection, &link::Connection::opened, this, [this] { openFinished(true); });
    connect(&m_connection, &link::Connection::openFailed, this, [this] { openFinished(false); });
    connect(m_chkReconnect, &QCheckBox::toggled, m_reconnector, &link::Reconnector::setEnabled);
    connect(m_reconnector, &link::Reconnector::waitingChanged, this, [this] {
        if (!m_lossText.isEmpty() && !m_connection.isOpen())
            showLossNote();
    });
    connect(m_reconnector, &link::Reconnector::reconnected, this, &PortPanel::reconnected);
    connect(m_reconnector, &link::Reconnector::reopenFailed, this,
            [this](const QString&, const QString& reason) { reopenFailed(reason); });
    for (QRadioButton* option : {m_optCom[0], m_optCom[1], m_optCom[2], m_optCom[3], m_optNetwork}) {
        connect(option, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                stopWaiting();
        });
    }
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

void PortPanel::applySettings()
{
    link::SerialPort& port = m_connection.port();
    port.setSettings(m_List1->selectedText());
    // Each option is tested on its own; with none chosen the number stays.
    for (int i = 0; i < 4; ++i) {
        if (m_optCom[i]->isChecked())
            port.setPortNumber(i + 1);
    }
    if (m_optNetwork->isChecked()) {
        m_ports.setAddress(m_cboAddress->currentText().trimmed());
        port.setPortNumber(link::PortMap::kNetwork);
    }
}

void PortPanel::openGiven(const QString& name)
{
    m_cboAddress->setCurrentText(name);
    m_optNetwork->setChecked(true);
    if (m_connection.isOpen())
        closePort();
    openPort();
}

QString PortPanel::portName(int number) const
{
    return number == link::PortMap::kNetwork ? m_ports.address() : QStringLiteral("Comm:%1").arg(number);
}

void PortPanel::rememberAddress(const QString& address)
{
    QStringList recent = addressSettings().value(QLatin1String(kRecentKey)).toStringList();
    recent.removeAll(address);
    recent.prepend(address);
    while (recent.size() > kRecentAddresses)
        recent.removeLast();
    addressSettings().setValue(QLatin1String(kRecentKey), recent);
    m_cboAddress->clear();
    m_cboAddress->addItems(recent);
    m_cboAddress->setCurrentText(address);
}

void PortPanel::cmdCom_Click()
{
    if (m_opening) {
        // Given up at once, whatever the server is doing.
        cancelOpening();
    } else if (m_connection.isOpen()) {
        closePort();
        clearNote();
    } else if (!m_lossUnseen) {
        openPort();
    }
}

void PortPanel::cancelOpening()
{
    m_opening = false;
    m_connection.close();
    endConnecting();
    showDevices();
}

void PortPanel::endConnecting()
{
    if (m_captionBeforeOpen.isEmpty())
        return;
    clearNote();
    showStatus(Status::Off);
    m_cmdCom->setText(std::exchange(m_captionBeforeOpen, {}));
}

void PortPanel::cmdComSet_Click()
{
    stopWaiting();
    m_ports.refresh();
    if (m_connection.isOpen()) {
        // A serial device takes new settings at its next Open. A server is
        // asked again at once, and says whether it takes them.
        const bool network = link::isNetworkAddress(m_connection.port().device());
        if (network && m_List1->selectedText() != m_connection.port().settings()) {
            closePort();
            openPort();
        }
        return;
    }
    applySettings();
}

void PortPanel::openPort()
{
    m_reconnector->forget();
    m_lossText.clear();
    clearNote();
    m_terminal.rcvText()->setExactText(QString::fromLatin1(Terminal::kWaiting));
    applySettings();
    // A background attempt of the reconnector's gives way to the person's.
    if (m_connection.state() == link::Connection::State::Opening)
        m_connection.close();
    m_opening = true;
    m_connection.beginOpen();
    if (m_opening) {
        // A server is being reached: the window goes on, and Close gives up.
        m_captionBeforeOpen = m_cmdCom->text();
        showStatus(Status::Busy);
        m_cmdCom->setText(QStringLiteral("Close"));
        showNote(timeNow(), QStringLiteral("Connecting to %1…").arg(portName(m_connection.port().portNumber())));
    }
}

void PortPanel::openFinished(bool ok)
{
    if (!std::exchange(m_opening, false))
        return;
    endConnecting();
    const int number = m_connection.port().portNumber();
    const QString address = m_ports.address();
    if (!ok) {
        const bool network = number == link::PortMap::kNetwork && link::isNetworkAddress(address);
        const QString hint = m_connection.port().failureHint();
        // A network port's hint names the address and the reason.
        QString text = network && !hint.isEmpty() ? hint : QStringLiteral("Error opening %1").arg(portName(number));
        if (!network && !hint.isEmpty())
            text += QStringLiteral("\n\n") + hint;
        m_host.message(text);
        showDevices();
        return;
    }
    if (number == link::PortMap::kNetwork)
        rememberAddress(address);
    showOpen();
}

void PortPanel::showOpen()
{
    m_terminal.setPolling(true);
    m_terminal.showPortOpen(true);
    m_desktop.beep();
    showStatus(Status::On);
    m_cmdCom->setText(QStringLiteral("Close"));
    showDevices();
}

void PortPanel::closePort()
{
    if (!m_connection.close()) {
        m_host.message(QStringLiteral("Error opening %1").arg(portName(m_connection.port().portNumber())));
        if (m_connection.isOpen())
            return;
    }
    m_terminal.setPolling(false);
    if (m_terminal.rcvText()->exactText() == QLatin1String(Terminal::kWaiting))
        m_terminal.rcvText()->setExactText(QStringLiteral("Serial Input from PIC"));
    m_terminal.showPortOpen(false);
    m_terminal.txmText()->setExactText(QString());
    m_desktop.beep();
    showStatus(Status::Off);
    m_cmdCom->setText(QStringLiteral("Open"));
}

void PortPanel::portLost(const QString& reason)
{
    // The connection has closed the device already; leave the window as a
    // Close would, and say in the window, not in a box that waits for a
    // click, what happened.
    const int number = m_connection.port().portNumber();
    // What the board said last is shown, not dropped with the port.
    m_terminal.Timer1_Timer();
    closePort();
    // Clicks held back during the send that lost the port are handed on
    // after it, and were aimed at a "Close" button: they open nothing.
    m_lossUnseen = true;
    m_host.whenIdle([this] { m_lossUnseen = false; });
    m_lossTime = timeNow();
    m_lossLogged.clear();
    m_lossText = QStringLiteral("%1 stopped working").arg(portName(number));
    if (!reason.isEmpty())
        m_lossText += QStringLiteral(" (%1)").arg(reason);
    showLossNote();
    showDevices();
}

void PortPanel::showLossNote()
{
    const QString text = m_lossText
        + (m_reconnector->isWaiting() ? QStringLiteral("; it opens again when it is back.")
                                      : QStringLiteral("; press Open when it is back."));
    showNote(m_lossTime, text);
    // Shown again as the waiting changes; logged when it says something new.
    if (text != m_lossLogged) {
        m_lossLogged = text;
        emit noted(text);
    }
}

void PortPanel::reconnected(const QString& device)
{
    m_lossText.clear();
    showOpen();
    const int number = m_connection.port().portNumber();
    QString name = m_ports.label(number);
    if (m_ports.device(number) != device)
        name = device;
    const QString text = number == link::PortMap::kNetwork && device == m_ports.address()
        ? QStringLiteral("%1 reconnected.").arg(device)
        : QStringLiteral("%1 reconnected (%2).").arg(portName(number), name);
    // The log tells of the reconnect itself.
    showNote(timeNow(), text);
}

void PortPanel::reopenFailed(const QString& reason)
{
    const bool network = link::isNetworkAddress(m_ports.device(m_connection.port().portNumber()));
    const QString text = m_lossText
        + (network ? QStringLiteral("; no answer yet, trying again.")
                   : QStringLiteral("; back but it does not open, trying again."));
    showNote(m_lossTime, text, reason);
    emit noted(reason.isEmpty() ? text : text + u' ' + reason);
}

void PortPanel::stopWaiting()
{
    // The loss note follows, through waitingChanged.
    m_reconnector->forget();
}

void PortPanel::shutDown()
{
    m_reconnector->forget();
}

void PortPanel::tellAboutBoard(const QString& sentence, bool afterReconnect)
{
    if (afterReconnect && !m_note->isHidden() && m_lossText.isEmpty())
        showNote(m_noteTime, m_noteSentence + u' ' + sentence);
    else
        showNote(timeNow(), sentence);
    emit noted(sentence);
}

void PortPanel::showNote(const QString& time, const QString& sentence, const QString& detail)
{
    m_noteTime = time;
    m_noteSentence = sentence;
    const QString text = time + u' ' + sentence;
    m_note->setText(text);
    m_note->setToolTip(detail.isEmpty() ? text : text + u'\n' + detail);
    m_note->show();
}

void PortPanel::clearNote()
{
    m_note->clear();
    m_note->setToolTip({});
    m_note->hide();
}

void PortPanel::showDevices()
{
    const link::PortMap& ports = m_ports;
    for (int i = 0; i < 4; ++i) {
        const QString device = ports.device(i + 1);
        m_deviceLabels[i]->setText(device.isEmpty() ? QStringLiteral("(none)") : ports.label(i + 1));
        m_deviceLabels[i]->setToolTip(device.isEmpty() ? QStringLiteral("No serial device for port %1").arg(i + 1)
                                                      : device);
    }
}

} // namespace varnix
