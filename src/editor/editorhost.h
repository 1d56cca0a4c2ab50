// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/display.h"
#include "script/script.h"

#include <QChar>
#include <QString>

#include <functional>
#include <optional>

namespace varnix {

class Desktop;
class PageHost;
class Sender;

namespace board {
class Firmware;
}
namespace link {
class Connection;
class Pause;
} // namespace link

// What the screen editor needs from the window that opens it, and nothing
// more: the pages' services, the one connection and its paced send, what
// the board should be showing, and the window's own script actions. The main
// window implements it; tests hand the editor a stand-in.
class EditorHost
{
public:
    virtual ~EditorHost() = default;

    // Messages, the port guard, the clipboard, and actions that wait for
    // the end of a send.
    virtual PageHost& pageHost() = 0;
    // File dialogs and questions.
    virtual Desktop& desktop() = 0;
    virtual link::Connection& connection() = 0;
    virtual Sender& sender() = 0;
    virtual link::Pause& pause() = 0;
    // What the board should be showing: every character sent, or the
    // display read back from it.
    virtual const board::Firmware& shownOnBoard() const = 0;

    // The window's pacing delay, or nothing (and told) when its field
    // cannot be used; its pacing character; its line settings.
    virtual std::optional<int> pacingDelay() = 0;
    virtual std::optional<QChar> pacingCharacter() = 0;
    virtual QString lineSettings() = 0;

    // Runs a script as Run Script... runs a file: what it will draw shown,
    // the question, the run and what went wrong told; `name` names it.
    virtual void runScript(const script::Script& script, const QString& name) = 0;
    // The board's display memory, read as Compare with Board reads it;
    // nothing when it was not read (a failure is told).
    virtual std::optional<board::Display> readBoard() = 0;
    // Reads the board's display into what it should be showing, as after a
    // reconnect, once nothing else is sent; then `done`, with whether it
    // was read.
    virtual void followBoard(std::function<void(bool read)> done) = 0;
};

} // namespace varnix
