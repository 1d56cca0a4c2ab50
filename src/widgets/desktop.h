// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

namespace varnix {

// The desktop services an action uses: message boxes, the beep, the
// clipboard, the file dialogs. The program uses QtDesktop; tests record
// instead of blocking.
class Desktop
{
public:
    virtual ~Desktop() = default;
    // A modal message box with the given buttons (OK only, everywhere in this
    // program), no icon, and the window title given.
    virtual void message(QWidget* parent, const QString& text, const QString& title,
                         const QStringList& buttons) = 0;
    virtual void beep() = 0;
    virtual QString clipboardText() = 0;
    virtual void setClipboardText(const QString& text) = 0;
    // Asks where to save a file, proposing a path; the path chosen (a file
    // that exists is to be replaced), or empty when the user cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& proposed,
                                 const QString& filter) = 0;
    // Asks for a file to read; empty when the user cancelled.
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& filter) = 0;
    // A modal question with OK and Cancel, no icon; true for OK.
    virtual bool question(QWidget* parent, const QString& text, const QString& title) = 0;
};

// Shows a file dialog, the desktop's or Qt's own, and gives the files chosen,
// none when the user cancelled. Qt's own leaves its "Look in" and "Files of
// type" lists unnamed for screen readers: they are named by their captions.
QStringList askFiles(QFileDialog& dialog);

class QtDesktop : public Desktop
{
public:
    void message(QWidget* parent, const QString& text, const QString& title,
                 const QStringList& buttons) override;
    void beep() override;
    QString clipboardText() override;
    void setClipboardText(const QString& text) override;
    QString saveFileName(QWidget* parent, const QString& title, const QString& proposed,
                         const QString& filter) override;
    QString openFileName(QWidget* parent, const QString& title, const QString& filter) override;
    bool question(QWidget* parent, const QString& text, const QString& title) override;
};

} // namespace varnix
