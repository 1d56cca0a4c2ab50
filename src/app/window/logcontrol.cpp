// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/logcontrol.h"

#include "widgets/desktop.h"
#include "widgets/pagehost.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace varnix {

LogControl::LogControl(QWidget* window, PageHost& host, Desktop& desktop, script::SessionLog& log,
                       std::function<QString()> device, QObject* parent)
    : QObject(parent), m_window(window), m_host(host), m_desktop(desktop), m_log(log), m_device(std::move(device)),
      m_widget(new QWidget)
{
    // "C&lear" has Alt+L in the terminal already.
    m_cmdLog = new QPushButton(QStringLiteral("Lo&g…"), m_widget);
    m_cmdLog->setObjectName(QStringLiteral("cmdLog"));
    m_cmdLog->setCheckable(true);
    m_cmdLog->setToolTip(QStringLiteral("Write what is sent and received, with times, to a file"));
    m_lblLog = new QLabel(m_widget);
    m_lblLog->setObjectName(QStringLiteral("lblLog"));
    // A long file name must not widen the window.
    m_lblLog->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* layout = new QHBoxLayout(m_widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_cmdLog);
    layout->addWidget(m_lblLog, 1);

    connect(m_cmdLog, &QPushButton::clicked, this, &LogControl::cmdLog_Click);
    connect(&m_log, &script::SessionLog::runningChanged, this, &LogControl::showRunning);
    connect(&m_log, &script::SessionLog::failed, this, [this](const QString& message) {
        // Not inside the receive tick or transmission that found the fault:
        // a modal box there would run them again beneath it.
        QTimer::singleShot(0, this, [this, message] { m_host.whenIdle([this, message] { m_host.message(message); }); });
    });
    showRunning();
}

QString LogControl::proposedPath() const
{
    QString device;
    for (const QChar c : m_device()) {
        if (c.isLetterOrNumber() && c.unicode() < 0x80)
            device += c;
        else if (!device.endsWith(u'-'))
            device += u'-';
    }
    if (device.isEmpty() || device == u'-')
        device = QStringLiteral("no-device");
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    return QDir::home().filePath(QStringLiteral("varnix-%1-%2.log").arg(device, stamp));
}

void LogControl::cmdLog_Click()
{
    if (m_log.running()) {
        m_log.stop();
    } else {
        const QString path = m_desktop.saveFileName(m_window, QStringLiteral("Session Log"), proposedPath(),
                                                    QStringLiteral("Logs (*.log);;All files (*)"));
        if (!path.isEmpty())
            m_log.start(path);
    }
    showRunning();
}

void LogControl::showRunning()
{
    const bool running = m_log.running();
    m_cmdLog->setChecked(running);
    m_lblLog->setText(running ? QFileInfo(m_log.path()).fileName() : QString());
    m_lblLog->setToolTip(running ? m_log.path() : QString());
}

} // namespace varnix
