// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/virtualboard.h"
#include "link/core/pause.h"
#include "link/core/portmap.h"
#include "link/core/portswitch.h"
#include "support/fixture.h"

namespace varnix::test {

// The window on the program's real port and pause, its port 1 being a
// virtual board running in this process.
class BoardFixture : public WindowFixture
{
public:
    BoardFixture();
    ~BoardFixture();

    // Opens port 1 through the window's Open button.
    void open();
    // Opens a network address through "Network", its field and Open; false
    // when the port did not open.
    bool openNetwork(const QString& address);
    // Lets the board take everything sent and go quiet, and the receive
    // poll take its answers: true when that happened in time.
    bool settle(int timeoutMs = 10000);

    board::VirtualBoard board;
    RecordingDesktop desktop;
    link::PortMap ports;
    link::PortSwitch port{ports};
    link::EventLoopPause pause;
};

} // namespace varnix::test
