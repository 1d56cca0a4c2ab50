// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

namespace varnix {

class TextArea;

// The firmware's command reference, and where Varnix's own manual is.
// Created on the first Help and kept: Close only hides it.
class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    TextArea* text() const { return m_Text1; }

    // The reference as the firmware documents its commands, 26 lines.
    static QString commandReference();
    // Varnix's own manual as installed beside the program in programDir, or,
    // for a program that was not installed, where the install puts it.
    static QString manualPath(const QString& programDir);

    void Command1_Click();

private:
    void Form_Load();

    TextArea* m_Text1;
};

// The About window, made afresh each time: OK closes and discards it.
class AboutWindow : public QWidget
{
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);
    void cmdOK_Click();
};

} // namespace varnix
