// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostcode/core/hostcode.h"

#include <QDialog>
#include <QString>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace varnix {

class Desktop;

namespace hostcode {

// "Export": a script as the code of a host's own program, in the language
// and under the function name chosen, previewed as it is typed, then saved
// or copied. The script is the recording or a script file ("Open
// Script..."); the line settings and the pacing are those the window shows
// under Comm Settings, the port open or not.
class ExportDialog : public QDialog
{
    Q_OBJECT
public:
    struct Setup {
        Desktop& desktop;
        QString lineSettings;
        int startDelay = script::kDefaultDelay;
        std::optional<QChar> pacing;
        // Reads the pictures of a script's screen lines.
        ScreenPictures screens = {};
    };

    ExportDialog(const Setup& setup, QWidget* parent = nullptr);

    // What to export: a script read, what it was made from, and the name the
    // function takes from it.
    void setSource(const script::Script& script, const QString& madeFrom, const QString& name);
    // Asks for a script file and takes it; false when none was taken (a
    // refused one is said so).
    bool openScript();

    // The code shown, as Save writes it; empty while it cannot be made.
    QString code() const { return m_code; }

private:
    void redraw();
    void save();
    void copy();
    Language language() const;
    void tell(const QString& text);

    Desktop& m_desktop;
    ScreenPictures m_screens;
    Source m_source;
    // Why the screen lines' pictures could not be had.
    QString m_screensRefusal;
    QString m_code;
    QLabel* m_lblSource;
    QPushButton* m_cmdOpenScript;
    QComboBox* m_cboLanguage;
    QLineEdit* m_txtName;
    QLabel* m_lblNote;
    QPlainTextEdit* m_txtCode;
    QPushButton* m_cmdCopyCode;
    QPushButton* m_cmdSaveCode;
};

} // namespace hostcode
} // namespace varnix
