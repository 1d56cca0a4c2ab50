// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/screenhost.h"

#include "app/window/scriptpanel.h"
#include "board/boardshadow.h"
#include "link/core/connection.h"
#include "link/core/serialport.h"
#include "link/core/transmitter.h"
#include "link/portpanel.h"
#include "widgets/fields.h"
#include "widgets/pagehost.h"

namespace varnix {

const board::Firmware& WindowEditorHost::shownOnBoard() const
{
    return m_parts.shadow.firmware();
}

std::optional<int> WindowEditorHost::pacingDelay()
{
    return m_parts.scriptPanel.windowDelay();
}

std::optional<QChar> WindowEditorHost::pacingCharacter()
{
    return link::pacingCharacter(m_parts.portPanel.waitchr()->exactText());
}

QString WindowEditorHost::lineSettings()
{
    return m_parts.connection.port().settings();
}

void WindowEditorHost::runScript(const script::Script& script, const QString& name)
{
    m_parts.scriptPanel.runScript(script, name);
}

std::optional<board::Display> WindowEditorHost::readBoard()
{
    return m_parts.scriptPanel.readBoardDisplay();
}

void WindowEditorHost::followBoard(std::function<void(bool read)> done)
{
    m_parts.scriptPanel.followBoardThen(std::move(done));
}

} // namespace varnix
