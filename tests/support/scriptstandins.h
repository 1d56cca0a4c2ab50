// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "script/clock.h"

#include <QStringList>

#include <functional>

namespace varnix::test {

// Time that passes at once: a sleep moves the clock on by all it was asked
// for, running the hook first (where a test lets the board answer).
class StandInClock : public script::Clock
{
public:
    std::int64_t now() override { return ms; }
    void sleep(int milliseconds) override
    {
        if (duringSleep)
            duringSleep();
        ms += std::max(milliseconds, 0);
    }

    std::int64_t ms = 0;
    std::function<void()> duringSleep;
};

} // namespace varnix::test
