#pragma once

#include "app/helpwindow.h"

#include <QMainWindow>
#include <QPointer>

#include <cstdint>
#include <memory>

class QButtonGroup;
class QTabWidget;

namespace varnix {

class Desktop;
class LineField;
class TextArea;
class Terminal;
class PortPanel;
class Sender;
class CentredShapes;
class RectangleLine;
class BarPage;
class ChartAxes;
class Dots;
class PutItems;
class Strings;
class FillClear;
class EepromRead;
class EepromWrite;
class LcdMemory;

namespace link {
class Connection;
class Pause;
class PortMap;
class SerialPort;
} // namespace link

namespace protocol {
struct FrameResult;
}

// What the window works with beyond its own widgets. The program hands it
// the real desktop, devices, port and pause; tests hand it their own.
struct Platform {
    Desktop& desktop;
    link::PortMap& ports;
    link::SerialPort& port;
    link::Pause& pause;
};

// The main window: the tab control with one page per board command, the
// terminal, the port settings and the window's own buttons. Everything the
// user sets lives in its widgets, read by the actions when they run.
class Main : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Varnix";
    static constexpr int kPageCount = 21;

    explicit Main(const Platform& platform, QWidget* parent = nullptr);
    ~Main() override;

    // Sends the text of txmText to the port, paced.
    void send();
    // True when the port is open; otherwise says "Comm Port Not Open".
    bool portGuard();
    // Puts a composed frame into txmText and sends it; a frame that could not
    // be composed is refused with a message naming the field, and then
    // nothing is sent and txmText keeps its text. True when it was sent.
    bool sendFrame(const protocol::FrameResult& frame);
    // A modal message with an OK button, titled with the program's name.
    void message(const QString& text);

    Desktop& desktop() { return m_platform.desktop; }
    link::Connection& connection() { return *m_connection; }
    link::PortMap& ports() { return m_platform.ports; }
    // An empty page of the tab control, in page order; the page families
    // fill them.
    QWidget* page(int index) const;
    QTabWidget* tabs() const { return m_tabs; }
    QButtonGroup* pageOptions() const { return m_pageOptions; }

    LineField* txmText() const;
    TextArea* rcvText() const;
    LineField* xmitdelay() const;
    Terminal& terminal() { return *m_terminal; }
    PortPanel& portPanel() { return *m_portPanel; }

    // The last address of the block the EEPROM page's Reformat computed.
    std::int32_t writeEndAddress() const { return m_writeEndAddress; }
    void setWriteEndAddress(std::int32_t address) { m_writeEndAddress = address; }

    // True once the system is ending; actions that send several frames stop.
    bool closing() const { return m_closing; }

    HelpWindow* helpWindow() const { return m_help; }
    AboutWindow* aboutWindow() const { return m_about; }

    void cmdExit_Click();
    void Command5_Click();
    void Command6_Click();
    // The tab control's own event: a double-click on the row of page captions.
    void SSTab1_DblClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    void Form_Load();
    void endSystem();

    Platform m_platform;
    std::unique_ptr<link::Connection> m_connection;
    QTabWidget* m_tabs = nullptr;
    QButtonGroup* m_pageOptions = nullptr;
    std::unique_ptr<Terminal> m_terminal;
    std::unique_ptr<PortPanel> m_portPanel;
    std::unique_ptr<Sender> m_sender;
    std::unique_ptr<CentredShapes> m_centredShapes;
    std::unique_ptr<RectangleLine> m_rectangleLine;
    std::unique_ptr<BarPage> m_bar;
    std::unique_ptr<ChartAxes> m_axes;
    std::unique_ptr<Dots> m_dots;
    std::unique_ptr<PutItems> m_putItems;
    std::unique_ptr<Strings> m_strings;
    std::unique_ptr<FillClear> m_fillClear;
    std::unique_ptr<EepromRead> m_eepromRead;
    std::unique_ptr<EepromWrite> m_eepromWrite;
    std::unique_ptr<LcdMemory> m_lcdMemory;
    QPointer<HelpWindow> m_help;
    QPointer<AboutWindow> m_about;
    std::int32_t m_writeEndAddress = 0;
    bool m_closing = false;
    bool m_ended = false;
};

} // namespace varnix
