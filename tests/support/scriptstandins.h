#pragma once

#include "app/scriptpanel.h"
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

// Answers the script dialogs at once and records the questions.
class StandInScriptDialogs : public ScriptDialogs
{
public:
    QString openScript(QWidget*) override { return openPath; }
    QString saveScript(QWidget*) override { return savePath; }
    bool confirmRun(QWidget*, const QString& question) override
    {
        questions << question;
        if (whileAsked)
            whileAsked();
        return answer;
    }

    QString openPath;
    QString savePath;
    bool answer = true;
    QStringList questions;
    // Runs while the question is on screen.
    std::function<void()> whileAsked;
};

} // namespace varnix::test
