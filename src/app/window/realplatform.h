// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/desktop.h"
#include "app/window/mainwindow.h"
#include "link/core/pause.h"
#include "link/core/portmap.h"
#include "link/core/portswitch.h"

namespace varnix {

// The program's desktop, devices, port (serial or network) and pause. Needs a running
// QApplication.
class RealPlatform
{
public:
    RealPlatform() : m_port(m_ports) { m_port.setHolder(QStringLiteral("the main window")); }
    Platform platform() { return Platform{m_desktop, m_ports, m_port, m_pause}; }

private:
    QtDesktop m_desktop;
    link::SystemPortMap m_ports;
    link::PortSwitch m_port;
    link::EventLoopPause m_pause;
};

} // namespace varnix
