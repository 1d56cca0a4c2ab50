// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <array>

class QCheckBox;
class QComboBox;
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
class Reconnector;
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
    // What happened to the port when it was not a person's doing (a lost
    // device, a reconnect): one line, cut to the width it is given, the
    // whole of it in its tooltip; hidden while there is nothing to say. The
    // window gives it a place of its own, where it moves nothing.
    QLabel* noteLabel() const { return m_note; }
    link::Reconnector& reconnector() const { return *m_reconnector; }
    ListBox* List1() const { return m_List1; }
    LineField* waitchr() const { return m_waitchr; }
    LineField* xmitdelay() const { return m_xmitdelay; }

    void showStatus(Status status);
    // Puts the chosen line settings and port number into the port.
    void applySettings();

    // Says what was done about the board without being asked: after the
    // note of a reconnect just shown, or as a note of its own, timed.
    void tellAboutBoard(const QString& sentence, bool afterReconnect);

    void cmdCom_Click();
    void cmdComSet_Click();
    // Opens the given port at once: a network address or a device path,
    // through the "Network" choice and its field.
    void openGiven(const QString& name);
    // The network addresses used last, newest first, as kept across starts.
    static constexpr int kRecentAddresses = 8;
    // The window is ending: no device is waited for any more.
    void shutDown();

signals:
    // A note's whole text, without its time, for the session log.
    void noted(const QString& text);

private:
    void openPort();
    // The person's open has answered.
    void openFinished(bool ok);
    void cancelOpening();
    // Takes back what showed that a server was being reached.
    void endConnecting();
    void closePort();
    void showOpen();
    void portLost(const QString& reason);
    void reconnected(const QString& device);
    void reopenFailed(const QString& reason);
    // A person took the port in hand: a lost device is waited for no more.
    void stopWaiting();
    // Shows a note of something that happened at the time given, with a
    // detail for its tooltip.
    void showNote(const QString& time, const QString& sentence, const QString& detail = {});
    void clearNote();
    void showLossNote();
    void showDevices();
    // How messages name the port: its address, or "Comm:N".
    QString portName(int number) const;
    void rememberAddress(const QString& address);

    PageHost& m_host;
    Desktop& m_desktop;
    link::Connection& m_connection;
    link::PortMap& m_ports;
    Terminal& m_terminal;
    QGroupBox* m_ioGroup;
    QGroupBox* m_settingsGroup;
    link::Reconnector* m_reconnector;
    QPushButton* m_cmdCom;
    QCheckBox* m_chkReconnect;
    QLabel* m_comm;
    QLabel* m_note;
    QString m_noteTime;
    QString m_noteSentence;
    // What the last loss was, and when, while it is the news.
    QString m_lossText;
    QString m_lossTime;
    QString m_lossLogged;
    // The port was lost during a send whose held clicks have not all been
    // handed on yet: those were aimed at a "Close" button.
    bool m_lossUnseen = false;
    // The person's Open is reaching a server; Close gives it up.
    bool m_opening = false;
    // The button's caption before it said "Close" while connecting; empty
    // while not connecting.
    QString m_captionBeforeOpen;
    std::array<QRadioButton*, 4> m_optCom{};
    std::array<QLabel*, 4> m_deviceLabels{};
    QRadioButton* m_optNetwork;
    QComboBox* m_cboAddress;
    ListBox* m_List1;
    QPushButton* m_cmdComSet;
    LineField* m_waitchr;
    LineField* m_xmitdelay;
};

} // namespace varnix
