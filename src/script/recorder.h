// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

namespace varnix::link {
class Connection;
}

namespace varnix::script {

// Takes every frame and typed character sent while it records, with the
// pacing delay each frame went with, and writes them as a script.
class Recorder : public QObject
{
    Q_OBJECT
public:
    // `delay` tells the pacing delay in force, asked as each frame has gone.
    Recorder(link::Connection& connection, std::function<int()> delay, QObject* parent = nullptr);

    // Starts a new recording; what an earlier one took is dropped.
    void start();
    void stop();
    // Goes on with the recording stopped, keeping what it took.
    void resume() { m_recording = true; }
    bool recording() const { return m_recording; }
    bool isEmpty() const { return m_items.isEmpty(); }
    // A screen line comparing the board's display with the picture, at
    // this point of the recording.
    void addScreen(const QString& picture);

    // The script: a frame a line, typed characters in runs of their own, and
    // a delay line before the first and wherever the delay changed. A screen
    // line's picture in `folder` (where the script goes) or below is named
    // from there, so that the two move together.
    QString scriptText(const QString& folder = {}) const;

private:
    struct Item {
        QString text;
        int delay = 0;
        bool typed = false;
        bool screen = false;
    };
    void take(const QString& characters, bool transmission);

    std::function<int()> m_delay;
    QList<Item> m_items;
    bool m_recording = false;
};

} // namespace varnix::script
