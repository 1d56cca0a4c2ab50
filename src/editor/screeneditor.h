// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "editor/core/edits.h"
#include "editor/core/screen.h"

#include <QHash>
#include <QImage>
#include <QMainWindow>
#include <QPoint>
#include <QString>

#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QSpinBox;
class QTimer;

namespace varnix {

class EditorHost;
class LiveLink;
class PropertyPanel;
class ScreenCanvas;

namespace editor {
class Recovery;
}
namespace transfer {
class PictureDialogs;
class QtPictureDialogs;
} // namespace transfer

// The screen editor: a screen (a .vnx script) shown on a canvas that the
// board's firmware model draws, its objects placed, moved and resized with
// the mouse or the keys, their numbers in a panel checked as the pages check
// them, every edit undone and redone by name. The board follows it live
// when asked; Run, Compare with Board, Preview and Export take the screen as
// they take a script. It reaches the window that opened it only through
// EditorHost.
class ScreenEditor : public QMainWindow
{
    Q_OBJECT
public:
    struct Setup {
        EditorHost& host;
        // Load Text's and Load Picture's dialogs and Save Picture's; Qt's
        // when none are given. They must outlive the editor.
        transfer::PictureDialogs* dialogs = nullptr;
        // Where the copy kept for a crash goes; the program's own folder
        // for it when empty.
        QString recoveryFolder;
    };

    explicit ScreenEditor(const Setup& setup, QWidget* parent = nullptr);
    ~ScreenEditor() override;

    const editor::Screen& screen() const { return m_screen; }
    const editor::History& history() const { return m_history; }
    // The file the screen is saved in; empty for a new screen.
    const QString& path() const { return m_path; }
    bool isModified() const { return !m_history.isClean(); }
    ScreenCanvas* canvas() const { return m_canvas; }
    LiveLink& live() const { return *m_live; }
    PropertyPanel* properties() const { return m_properties; }

    // Files. A screen that cannot be read changes nothing and says why;
    // unsaved work is asked about before it is lost.
    void newScreen();
    bool openFile(const QString& path);
    // Opens the file once unsaved work has been asked about.
    void openAsking(const QString& path);
    void open();
    bool save();
    bool saveAs();
    // The files opened and saved lately, newest first.
    static QStringList recentFiles();
    // A copy left by an editor that ended without saving it: asked about,
    // restored or dropped. True when one was restored.
    bool offerRecovery();
    // Asked before the program ends: true when unsaved work may be lost
    // (asked about, or none), and the editor then closes without asking
    // again.
    bool mayEnd();

    // The selection, by the items' ids.
    const editor::Ids& selection() const { return m_selection; }
    void select(const editor::Ids& ids);

    // What the palette, the menus and the keys do.
    void addObject(editor::Kind kind);
    void undo();
    void redo();
    void cut();
    void copy();
    void paste();
    void duplicate();
    void deleteSelected();
    void selectAll();
    void reorder(editor::Order order);
    void align(editor::Align align);
    void toggleHidden();
    void toggleLocked();
    void moveSelection(int dx, int dy);
    void editText();
    void editPicture();
    // Dots of the selected block drawn with the mouse, or Space on the dot
    // the arrows move to, until Escape.
    void drawDots(bool on);
    bool drawingDots() const { return m_dotBlock != 0; }

    void run();
    void compareWithBoard();
    void preview();
    // Saves the canvas as the picture a screen line compares the board with.
    void saveReference();
    void exportCode();

signals:
    // The screen changed: an edit, an undo, a file.
    void screenChanged();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    enum class Drag { None, Move, Handle, Rubber, Dots };

    void buildWindow();
    void buildMenus();
    QWidget* buildPalette();
    QAction* action(QMenu* menu, const char* name, const QString& caption, const QKeySequence& keys,
                    void (ScreenEditor::*slot)());
    void setScreen(editor::Screen screen, const QString& path, bool restored);
    bool writeTo(const QString& path);
    bool maySwitch();
    void remember(const QString& path);
    void fillRecentMenu();
    // An action that must not run inside a send: after it.
    void later(std::function<void()> action);

    // An edit made: into the history, and everything that shows the screen
    // told.
    void commit(const editor::Edit& edit);
    void stepHistory(bool back);
    void refresh();
    void refreshList();
    void refreshMarks();
    void updateTitle();
    void keepCopySoon();
    void keepCopy();

    // The topmost object shown at the dot, if any.
    std::optional<quint64> objectAt(QPoint dot) const;
    const editor::Item* single() const;
    void tell(const QString& text);
    // A text's or picture's block drawn anew after its place changed.
    editor::Shape withContent(const editor::Shape& shape);
    // A text or picture from Load Text's or Load Picture's dialog, started
    // afresh or from what made the one given; nothing when cancelled or
    // refused (and told).
    std::optional<editor::Shape> askText(const editor::Shape* from);
    std::optional<editor::Shape> askPicture(const editor::Shape* from);
    void changeContent(editor::Kind kind);
    QString folder() const;
    // The screen as a script run from its folder.
    script::ReadResult asScript() const;

    void pressed(QPoint dot, Qt::KeyboardModifiers modifiers, int handle);
    void dragged(QPoint dot);
    void released(QPoint dot);
    void doubleClicked(QPoint dot);
    bool key(QKeyEvent* event);
    bool tab(bool forward);
    void listSelectionChanged();
    void propertyChanged(quint64 id, const editor::Shape& shape, const QString& what);
    void setDot(QPoint dot, bool on, const editor::Shape& original);

    EditorHost& m_host;
    std::unique_ptr<transfer::QtPictureDialogs> m_qtDialogs;
    transfer::PictureDialogs* m_dialogs;
    QString m_recoveryFolder;
    std::unique_ptr<editor::Recovery> m_recovery;

    editor::Screen m_screen;
    editor::History m_history;
    QString m_path;
    editor::Ids m_selection;
    std::optional<board::Display> m_comparison;
    // Pictures read for their objects, by the file's path.
    QHash<QString, QImage> m_pictures;

    // What a press of the mouse began, and the edit it has made so far.
    Drag m_drag = Drag::None;
    QPoint m_pressDot;
    int m_handle = -1;
    editor::Edit m_dragEdit;
    QRect m_rubberBand;
    editor::Ids m_rubberStart;
    bool m_dotValue = true;
    // The block whose dots are drawn (its id; 0 for none), the dot the
    // keys are on, and the dots a drag has set so far.
    quint64 m_dotBlock = 0;
    QPoint m_dotCursor;
    QList<QPoint> m_dotsDrawn;

    ScreenCanvas* m_canvas = nullptr;
    QListWidget* m_list = nullptr;
    PropertyPanel* m_properties = nullptr;
    LiveLink* m_live = nullptr;
    QCheckBox* m_chkLive = nullptr;
    QLabel* m_lblLive = nullptr;
    QLabel* m_lblCursor = nullptr;
    QSpinBox* m_zoom = nullptr;
    QMenu* m_recentMenu = nullptr;
    QAction* m_actUndo = nullptr;
    QAction* m_actRedo = nullptr;
    QTimer* m_copyTimer = nullptr;
    // What the list shows: the items' ids and lines, and the selection it
    // last brought into view.
    QList<quint64> m_listIds;
    QList<QList<QByteArray>> m_listLines;
    editor::Ids m_listShown;
    bool m_syncingList = false;
    // The person agreed to lose what is unsaved.
    bool m_mayLose = false;
};

} // namespace varnix
