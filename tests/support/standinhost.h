// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/frames.h"
#include "widgets/pagehost.h"

#include <QStringList>

namespace varnix::test {

// Stands in for the window around a page family and records what the pages
// ask of it.
class StandInHost : public PageHost
{
public:
    bool portGuard() override
    {
        if (!open)
            messages << QStringLiteral("Comm Port Not Open");
        return open;
    }
    bool sendFrame(const protocol::FrameResult& frame) override
    {
        ++sendCalls;
        if (!frame.ok()) {
            messages << frame.message();
            return false;
        }
        // Past its last frame the window is closing: nothing more goes out.
        if (framesBeforeClosing >= 0 && frames.size() >= framesBeforeClosing)
            return false;
        frames << frame.frame;
        return true;
    }
    void message(const QString& text) override { messages << text; }
    void setPacingDelay(const QString&) override {}
    QString receivedText() const override { return {}; }
    void clearReceived() override {}
    QString clipboardText() override { return {}; }
    void setClipboardText(const QString&) override {}
    void whenIdle(std::function<void()> action) override { action(); }

    bool open = true;
    int framesBeforeClosing = -1;
    int sendCalls = 0;
    QStringList frames;
    QStringList messages;
};

} // namespace varnix::test
