// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "script/clock.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

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

// A script file in the folder, holding the text; its path, or empty when it
// could not be written.
inline QString writeScriptFile(const QTemporaryDir& dir, const QByteArray& text)
{
    const QString path = dir.filePath(QStringLiteral("test.vnx"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return {};
    return path;
}

} // namespace varnix::test
