// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace varnix {

namespace protocol {
struct FrameResult;
}

// What the actions of a page, the terminal and the port settings need from
// the window around them, and nothing more. The main window implements it;
// tests hand a page a stand-in.
class PageHost
{
public:
    virtual ~PageHost() = default;

    // True when the serial port is open; otherwise says "Comm Port Not Open".
    virtual bool portGuard() = 0;
    // Puts a composed frame into the transmit window and sends it, paced. A
    // frame that could not be composed is refused with a message naming the
    // field, and then nothing is sent and the transmit window keeps its text.
    // False when nothing was sent, and once the window is closing, so that an
    // action sending many frames stops.
    virtual bool sendFrame(const protocol::FrameResult& frame) = 0;
    // A modal message with an OK button, titled with the program's name.
    virtual void message(const QString& text) = 0;

    // The pacing delay field, in milliseconds as decimal text.
    virtual void setPacingDelay(const QString& milliseconds) = 0;

    // The receive window's exact text.
    virtual QString receivedText() const = 0;
    virtual void clearReceived() = 0;

    virtual QString clipboardText() = 0;
    virtual void setClipboardText(const QString& text) = 0;

    // Runs an action once no frame is being sent: at once when none is,
    // otherwise after the transmission and the action that started it have
    // finished. Never once the window is closing.
    virtual void whenIdle(std::function<void()> action) = 0;
};

// The road of every one-frame command: the port guard first, and only when
// the port is open the frame, composed from the fields as they read at this
// moment, and sent.
template <typename Compose>
void guardedSend(PageHost& host, Compose compose)
{
    if (host.portGuard())
        host.sendFrame(compose());
}

// Puts a text on the clipboard and says so, or says there is nothing to copy
// when it is empty or all blanks.
void copyToClipboard(PageHost& host, const QString& text);

// Runs an action each time the input focus leaves the widget for another
// one of the program, by any path a person takes: Tab, Shift+Tab, a click, a
// button's access key, another page's tab. Not when the window as a whole
// loses the focus (another window or a message box comes in front). The
// action runs through the host's whenIdle, so never inside a transmission.
void onFocusLeft(QWidget* widget, PageHost& host, std::function<void()> action);

} // namespace varnix
