#pragma once

#include <QObject>

#include <array>

class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace varnix {

class Desktop;
class LineField;
class ListBox;
class PageHost;
class Terminal;

namespace link {
class Connection;
class PortMap;
}

// The "I/O Port" group (open/close and the status label) and the "Comm
// Settings" group (port number, line settings, pacing character and delay).
class PortPanel : public QObject
{
    Q_OBJECT
public:
    enum class Status { Off, On, Busy };

    PortPanel(PageHost& host, Desktop& desktop, link::Connection& connection, link::PortMap& ports,
              Terminal& terminal, QObject* parent = nullptr);

    QGroupBox* ioGroup() const { return m_ioGroup; }
    QGroupBox* settingsGroup() const { return m_settingsGroup; }
    ListBox* List1() const { return m_List1; }
    LineField* waitchr() const { return m_waitchr; }
    LineField* xmitdelay() const { return m_xmitdelay; }

    void showStatus(Status status);
    // Puts the chosen line settings and port number into the port.
    void applySettings();

    void cmdCom_Click();
    void cmdComSet_Click();

private:
    void openPort();
    void closePort();
    void portLost(const QString& reason);
    void showDevices();

    PageHost& m_host;
    Desktop& m_desktop;
    link::Connection& m_connection;
    link::PortMap& m_ports;
    Terminal& m_terminal;
    QGroupBox* m_ioGroup;
    QGroupBox* m_settingsGroup;
    QPushButton* m_cmdCom;
    QLabel* m_comm;
    std::array<QRadioButton*, 4> m_optCom{};
    std::array<QLabel*, 4> m_deviceLabels{};
    ListBox* m_List1;
    QPushButton* m_cmdComSet;
    LineField* m_waitchr;
    LineField* m_xmitdelay;
};

} // namespace varnix
