// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editor/editorhost.h"

namespace varnix {

class Desktop;
class PageHost;
class PortPanel;
class ScriptPanel;
class Sender;

namespace board {
class BoardShadow;
}

// The main window as the screen editor sees it: its parts handed over one
// by one, so that the editor never sees the window itself.
class WindowEditorHost : public EditorHost
{
public:
    struct Parts {
        PageHost& host;
        Desktop& desktop;
        link::Connection& connection;
        Sender& sender;
        link::Pause& pause;
        board::BoardShadow& shadow;
        PortPanel& portPanel;
        ScriptPanel& scriptPanel;
    };
    explicit WindowEditorHost(const Parts& parts) : m_parts(parts) {}

    PageHost& pageHost() override { return m_parts.host; }
    Desktop& desktop() override { return m_parts.desktop; }
    link::Connection& connection() override { return m_parts.connection; }
    Sender& sender() override { return m_parts.sender; }
    link::Pause& pause() override { return m_parts.pause; }
    const board::Firmware& shownOnBoard() const override;
    std::optional<int> pacingDelay() override;
    std::optional<QChar> pacingCharacter() override;
    QString lineSettings() override;
    void runScript(const script::Script& script, const QString& name) override;
    std::optional<board::Display> readBoard() override;
    void followBoard(std::function<void(bool read)> done) override;

private:
    Parts m_parts;
};

} // namespace varnix
