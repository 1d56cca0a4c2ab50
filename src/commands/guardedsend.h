#pragma once

#include "protocol/frames.h"
#include "widgets/pagehost.h"

namespace varnix {

// The road of every one-frame drawing command: the port guard first, and
// only when the port is open the frame, composed from the fields as they
// read at this moment, and sent.
template <typename Compose>
void guardedSend(PageHost& host, Compose compose)
{
    if (host.portGuard())
        host.sendFrame(compose());
}

} // namespace varnix
