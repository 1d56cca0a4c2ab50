// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/terminal.h"

#include "link/core/connection.h"
#include "link/core/receive.h"
#include "protocol/frames.h"
#include "widgets/fields.h"
#include "widgets/pagehost.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace varnix {

namespace {
void setBackground(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
}
} // namespace

Terminal::Terminal(PageHost& host, link::Connection& connection, QObject* parent)
    : QObject(parent), m_host(host), m_connection(connection), m_group(new QGroupBox(QStringLiteral("Terminal")))
{
    m_rcvText = new TextArea(QStringLiteral("rcvText"), m_group);
    m_rcvText->setUndoRedoEnabled(false);
    m_rcvText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_rcvText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_rcvText->setExactText(QString::fromLatin1(kWaiting));
    m_rcvText->setLimit(kReceiveLimit);
    m_txmText = new LineField(QStringLiteral("txmText"), QString(), 0, m_group);
    // Replies and frames line up in columns, as on a terminal.
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_rcvText->setFont(fixed);
    m_txmText->setFont(fixed);
    m_Command7 = new QPushButton(QStringLiteral("Copy"), m_group);
    m_Command7->setObjectName(QStringLiteral("Command7"));
    m_cmdClear = new QPushButton(QStringLiteral("C&lear"), m_group);
    m_cmdClear->setObjectName(QStringLiteral("cmdClear"));
    m_cmdClear->setVisible(false);
    m_lblXmit = new QLabel(QStringLiteral("Transmit Window Active"), m_group);
    m_lblXmit->setObjectName(QStringLiteral("lblXmit"));
    m_lblXmit->setVisible(false);

    auto* layout = new QGridLayout(m_group);
    layout->addWidget(m_rcvText, 0, 0, 1, 3);
    layout->addWidget(m_lblXmit, 1, 0, 1, 3);
    layout->addWidget(m_txmText, 2, 0, 1, 3);
    layout->addWidget(m_Command7, 3, 0);
    layout->addWidget(m_cmdClear, 3, 1);
    layout->setColumnStretch(2, 1);
    layout->setRowStretch(0, 1);

    m_Command1 = new QPushButton(QStringLiteral("&Clear LCD"));
    m_Command1->setObjectName(QStringLiteral("Command1"));

    m_Timer1 = new QTimer(this);
    m_Timer1->setObjectName(QStringLiteral("Timer1"));
    m_Timer1->setInterval(kPollMs);
    connect(m_Timer1, &QTimer::timeout, this, &Terminal::Timer1_Timer);

    connect(m_Command7, &QPushButton::clicked, this, &Terminal::Command7_Click);
    connect(m_cmdClear, &QPushButton::clicked, this, &Terminal::cmdClear_Click);
    connect(m_Command1, &QPushButton::clicked, this, &Terminal::Command1_Click);
    m_txmText->onKeyPress = [this](QChar key) { txmText_KeyPress(key); };
}

void Terminal::setPolling(bool on)
{
    if (on)
        m_Timer1->start();
    else
        m_Timer1->stop();
}

bool Terminal::polling() const
{
    return m_Timer1->isActive();
}

void Terminal::showPortOpen(bool open)
{
    setBackground(m_rcvText, open ? QColor(255, 255, 192) : QColor(255, 255, 255));
    setBackground(m_txmText, open ? QColor(192, 255, 192) : QColor(255, 255, 255));
    m_lblXmit->setVisible(open);
    m_cmdClear->setVisible(open);
}

void Terminal::addToButtonRow(QWidget* control)
{
    static_cast<QGridLayout*>(m_group->layout())->addWidget(control, 3, 2);
}

void Terminal::Timer1_Timer()
{
    if (!m_connection.isOpen())
        return;
    const QString received = m_connection.readAll();
    if (received.isEmpty())
        return;
    if (m_rcvText->exactText() == QLatin1String(kWaiting))
        m_rcvText->setExactText(QString());
    m_rcvText->appendExact(link::normaliseLineEnds(received));
}

void Terminal::txmText_KeyPress(QChar key)
{
    // Only keys that make a character reach here; the key still goes into
    // the field afterwards, so what is typed stays visible.
    if (m_connection.isOpen())
        m_connection.writeCharacter(key);
}

void Terminal::cmdClear_Click()
{
    m_txmText->setExactText(QString());
    m_rcvText->setExactText(QString());
}

void Terminal::Command7_Click()
{
    copyToClipboard(m_host, m_rcvText->exactText());
}

void Terminal::Command1_Click()
{
    guardedSend(m_host, protocol::clearDisplayFrame);
}

} // namespace varnix
