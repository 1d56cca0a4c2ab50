// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/window/helpwindow.h"
#include "widgets/pagehost.h"

#include <QMainWindow>
#include <QPointer>
#include <QSize>

#include <memory>
#include <vector>

class QButtonGroup;
class QGroupBox;
class QPushButton;
class QTabWidget;
class QTimer;

namespace varnix {

class Desktop;
class LogControl;
class Terminal;
class PortPanel;
class Sender;
class TabRows;
class CentredShapes;
class DisplayView;
class DrawingPages;
class ScriptPanel;
class MonitorWindow;
class ScreenEditor;
class EditorHost;

namespace board {
class BoardShadow;
}

namespace script {
class SessionLog;
}

namespace transfer {
class PictureDialogs;
}

namespace link {
class Connection;
class Pause;
class PortMap;
class SerialPort;
} // namespace link

// What the window works with beyond its own widgets. The program hands it
// the real desktop, devices, port and pause; tests hand it their own.
struct Platform {
    Desktop& desktop;
    link::PortMap& ports;
    link::SerialPort& port;
    link::Pause& pause;
};

// The main window: the tab control with one page per board command, the
// terminal, the port settings and the window's own buttons. It builds the
// parts and serves them as their PageHost; everything the user sets lives in
// their widgets, read by the actions when they run.
class Main : public QMainWindow, public PageHost
{
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Varnix";
    // Fits a 1280 x 800 screen with room for a desktop's panel and the
    // window's frame.
    static constexpr QSize kDefaultSize{1180, 680};

    explicit Main(const Platform& platform, QWidget* parent = nullptr);
    ~Main() override;

    // Sends the text of txmText to the port, paced.
    void send();

    bool portGuard() override;
    bool sendFrame(const protocol::FrameResult& frame) override;
    void message(const QString& text) override;
    void setPacingDelay(const QString& milliseconds) override;
    QString receivedText() const override;
    void clearReceived() override;
    QString clipboardText() override;
    void setClipboardText(const QString& text) override;
    void whenIdle(std::function<void()> action) override;

    link::Connection& connection() { return *m_connection; }
    script::SessionLog& sessionLog() { return *m_log; }
    // Starts the session log into the file, adding to what it holds; a
    // failure is told as a message.
    bool startLog(const QString& path);
    // Opens the port on a network address or device path, as "Network" with
    // that in its field and Open would; a failure is told as a message.
    void openPort(const QString& name);
    // True once the system is ending.
    bool closing() const;
    Terminal& terminal() { return *m_terminal; }

    HelpWindow* helpWindow() const { return m_help; }
    MonitorWindow* monitorWindow() const;
    // Opens the line monitor's window, made on first use.
    void cmdMonitor_Click();
    // Opens the screen editor, made on first use (and offering a copy a
    // crash left behind); with a file, opens the file in it.
    void cmdScreen_Click();
    void editScreen(const QString& file);
    ScreenEditor* screenEditor() const;
    // The dialogs of the editor's text and pictures (Qt's when null) and
    // where it keeps its copy against a crash (its own folder when empty).
    void setScreenSetup(transfer::PictureDialogs* dialogs, const QString& recoveryFolder)
    {
        m_screenDialogs = dialogs;
        m_screenRecovery = recoveryFolder;
    }
    AboutWindow* aboutWindow() const { return m_about; }

    void cmdExit_Click();
    void Command5_Click();
    void Command6_Click();
    // The tab control's own event: a double-click on the page captions.
    void SSTab1_DblClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    QWidget* buildDisplayPanel();
    void showPreview();
    // What the session log's file is named after.
    QString logDevice() const;
    void Form_Load();
    void endSystem();

    Platform m_platform;
    std::unique_ptr<link::Connection> m_connection;
    std::unique_ptr<script::SessionLog> m_log;
    // The parts are children of the window, which owns them.
    QTabWidget* m_tabs = nullptr;
    TabRows* m_tabRows = nullptr;
    QButtonGroup* m_pageOptions = nullptr;
    Terminal* m_terminal = nullptr;
    PortPanel* m_portPanel = nullptr;
    LogControl* m_logControl = nullptr;
    Sender* m_sender = nullptr;
    CentredShapes* m_centredShapes = nullptr;
    // What the board should be showing, and what the page in view would add.
    board::BoardShadow* m_shadow = nullptr;
    std::vector<DrawingPages*> m_drawingPages;
    ScriptPanel* m_scriptPanel = nullptr;
    QGroupBox* m_displayPanel = nullptr;
    DisplayView* m_displayView = nullptr;
    QPushButton* m_displayToggle = nullptr;
    QTimer* m_previewTimer = nullptr;
    QPointer<HelpWindow> m_help;
    QPointer<AboutWindow> m_about;
    QPointer<MonitorWindow> m_monitor;
    std::unique_ptr<EditorHost> m_editorHost;
    QPointer<ScreenEditor> m_editor;
    transfer::PictureDialogs* m_screenDialogs = nullptr;
    QString m_screenRecovery;
    bool m_ended = false;
};

} // namespace varnix
