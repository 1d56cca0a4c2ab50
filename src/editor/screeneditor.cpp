// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/screeneditor.h"

#include "editor/canvas.h"
#include "editor/core/content.h"
#include "editor/core/recovery.h"
#include "editor/editorhost.h"
#include "editor/live.h"
#include "editor/propertypanel.h"

#include "board/displaycheck.h"
#include "hostcode/exportdialog.h"
#include "render/animation.h"
#include "render/displaypicture.h"
#include "screens/screens.h"
#include "script/escapes.h"
#include "transfer/picturedialogs.h"
#include "widgets/desktop.h"
#include "widgets/pagehost.h"
#include "widgets/pagelayout.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace varnix {

using editor::Kind;

namespace {

constexpr char kRecentScreensKey[] = "editor/recent";
constexpr int kMostRecentScreens = 8;
// A copy for a crash is kept this long after the last change.
constexpr int kCopyDelayMs = 500;
// Duplicates and pastes stand this far from what they copy: a row of 8
// dots, which a block can move by.
constexpr int kPasteOffset = 8;

QSettings editorSettings()
{
    return QSettings(QStringLiteral("varnix"), QStringLiteral("varnix"));
}

QString screenFileFilter()
{
    return QStringLiteral("Varnix scripts (*.%1);;All files (*)").arg(QLatin1String(script::kExtension));
}

// The palette's objects, in the order the pages have them.
struct PaletteEntry {
    Kind kind;
    const char* name;
    const char* caption;
};
constexpr PaletteEntry kPalette[] = {
    {Kind::Circle, "cmdAddCircle", "Circle"},
    {Kind::Square, "cmdAddSquare", "Square"},
    {Kind::Rectangle, "cmdAddRectangle", "Rectangle"},
    {Kind::Diamond, "cmdAddDiamond", "Diamond"},
    {Kind::Star, "cmdAddStar", "Star"},
    {Kind::Line, "cmdAddLine", "Line"},
    {Kind::Bar, "cmdAddBar", "Bar"},
    {Kind::XAxis, "cmdAddXAxis", "X-Axis"},
    {Kind::YAxis, "cmdAddYAxis", "Y-Axis"},
    {Kind::Dot, "cmdAddDot", "Dot"},
    {Kind::ToggledDot, "cmdAddToggledDot", "Toggled Dot"},
    {Kind::Byte, "cmdAddByte", "Byte"},
    {Kind::Character, "cmdAddCharacter", "Character"},
    {Kind::Fill, "cmdAddFill", "Fill"},
    {Kind::HorizontalString, "cmdAddHorizontalString", "Horiz String"},
    {Kind::VerticalString, "cmdAddVerticalString", "Vert String"},
    {Kind::Block, "cmdAddBlock", "Pixel Block"},
    {Kind::Text, "cmdAddText", "Text\u2026"},
    {Kind::Picture, "cmdAddPicture", "Picture\u2026"},
};


} // namespace

ScreenEditor::ScreenEditor(const Setup& setup, QWidget* parent)
    : QMainWindow(parent), m_host(setup.host),
      m_qtDialogs(setup.dialogs ? nullptr : std::make_unique<transfer::QtPictureDialogs>()),
      m_dialogs(setup.dialogs ? setup.dialogs : m_qtDialogs.get()),
      m_recoveryFolder(setup.recoveryFolder.isEmpty() ? editor::Recovery::defaultFolder() : setup.recoveryFolder),
      m_recovery(std::make_unique<editor::Recovery>(m_recoveryFolder)), m_screen(editor::Screen::blank())
{
    setObjectName(QStringLiteral("ScreenEditor"));
    m_live = new LiveLink(m_host, [this]() -> const editor::Screen& { return m_screen; }, this);
    m_copyTimer = new QTimer(this);
    m_copyTimer->setSingleShot(true);
    m_copyTimer->setInterval(kCopyDelayMs);
    connect(m_copyTimer, &QTimer::timeout, this, &ScreenEditor::keepCopy);
    buildWindow();
    buildMenus();
    m_live->setLetThrough({m_canvas});
    m_history.setClean();
    refresh();
    updateTitle();
    resize(1100, 600);
}

ScreenEditor::~ScreenEditor() = default;

void ScreenEditor::buildWindow()
{
    auto* central = new QWidget(this);
    setCentralWidget(central);
    // Tab goes through them in the order they join the window: the palette,
    // the canvas, the board's row, the list, the panel.
    QWidget* paletteGroup = buildPalette();

    m_canvas = new ScreenCanvas;
    m_canvas->setObjectName(QStringLiteral("canvas"));
    m_canvas->setAccessibleName(QStringLiteral("Screen canvas"));
    m_canvas->setToolTip(QStringLiteral("The display as the board will show the screen. Drag objects, their "
                                        "handles, or a frame around several; arrows move, Tab goes from object "
                                        "to object"));
    m_canvas->onKey = [this](QKeyEvent* event) { return key(event); };
    m_canvas->onTab = [this](bool forward) { return tab(forward); };
    connect(m_canvas, &ScreenCanvas::pressed, this, &ScreenEditor::pressed);
    connect(m_canvas, &ScreenCanvas::dragged, this, &ScreenEditor::dragged);
    connect(m_canvas, &ScreenCanvas::released, this, &ScreenEditor::released);
    connect(m_canvas, &ScreenCanvas::doubleClicked, this, &ScreenEditor::doubleClicked);
    auto* area = new QScrollArea;
    area->setObjectName(QStringLiteral("canvasArea"));
    area->setWidget(m_canvas);
    area->setAlignment(Qt::AlignCenter);
    area->setFocusPolicy(Qt::NoFocus);

    m_lblCursor = new QLabel;
    m_lblCursor->setObjectName(QStringLiteral("lblCursor"));
    m_lblCursor->setMinimumWidth(m_lblCursor->fontMetrics().horizontalAdvance(QStringLiteral("x 127, y 63, row 7")));
    connect(m_canvas, &ScreenCanvas::hovered, this, [this](std::optional<QPoint> dot) {
        const bool on = dot && QRect(0, 0, board::Display::width, board::Display::height).contains(*dot);
        m_lblCursor->setText(on ? QStringLiteral("x %1, y %2, row %3").arg(dot->x()).arg(dot->y()).arg(dot->y() / 8)
                                : QString());
    });

    // The board row: Live and what takes the screen as a script.
    m_chkLive = new QCheckBox(QStringLiteral("&Live"));
    m_chkLive->setObjectName(QStringLiteral("chkLive"));
    m_chkLive->setToolTip(QStringLiteral("The board follows the canvas after each edit"));
    connect(m_chkLive, &QCheckBox::toggled, this, [this](bool on) { m_live->setOn(on); });
    connect(m_live, &LiveLink::switched, this, [this](bool on) {
        const QSignalBlocker quiet(m_chkLive);
        m_chkLive->setChecked(on);
    });
    m_lblLive = new QLabel;
    m_lblLive->setObjectName(QStringLiteral("lblLive"));
    m_lblLive->setWordWrap(true);
    connect(m_live, &LiveLink::told, this, &ScreenEditor::tell);
    const auto button = [this](const char* name, const QString& caption, const QString& tip,
                               void (ScreenEditor::*slot)()) {
        auto* b = pagelayout::button(QString::fromLatin1(name), caption);
        b->setToolTip(tip);
        connect(b, &QPushButton::clicked, this, slot);
        return b;
    };
    auto* boardRow = new QHBoxLayout;
    boardRow->addWidget(m_chkLive);
    boardRow->addWidget(button("cmdRun", QStringLiteral("&Run\u2026"),
                               QStringLiteral("Sends the screen to the board as Run Script sends a script"),
                               &ScreenEditor::run));
    boardRow->addWidget(button("cmdCompare", QStringLiteral("&Compare with Board"),
                               QStringLiteral("Reads the board's display and shows where it differs from the canvas"),
                               &ScreenEditor::compareWithBoard));
    boardRow->addWidget(button("cmdPreview", QStringLiteral("Previe&w\u2026"),
                               QStringLiteral("Saves the picture of what the screen draws, as --preview does"),
                               &ScreenEditor::preview));
    boardRow->addWidget(button("cmdExport", QStringLiteral("E&xport\u2026"),
                               QStringLiteral("Makes the screen into C, Arduino or Python code"),
                               &ScreenEditor::exportCode));
    boardRow->addStretch(1);
    m_zoom = new QSpinBox;
    m_zoom->setObjectName(QStringLiteral("spnZoom"));
    m_zoom->setRange(ScreenCanvas::kSmallestZoom, ScreenCanvas::kLargestZoom);
    m_zoom->setSuffix(QStringLiteral(" \u00d7"));
    m_zoom->setValue(m_canvas->zoom());
    connect(m_zoom, &QSpinBox::valueChanged, m_canvas, &ScreenCanvas::setZoom);
    connect(m_canvas, &ScreenCanvas::zoomed, m_zoom, &QSpinBox::setValue);
    boardRow->addWidget(pagelayout::captionFor(QStringLiteral("&Zoom:"), m_zoom));
    boardRow->addWidget(m_zoom);
    auto* grid = new QCheckBox(QStringLiteral("&Grid"));
    grid->setObjectName(QStringLiteral("chkGrid"));
    grid->setChecked(m_canvas->grid());
    connect(grid, &QCheckBox::toggled, m_canvas, &ScreenCanvas::setGrid);
    auto* paper = new QCheckBox(QStringLiteral("Black on w&hite"));
    paper->setObjectName(QStringLiteral("chkBlackOnWhite"));
    connect(paper, &QCheckBox::toggled, m_canvas, [this](bool on) { m_canvas->setBoardColours(!on); });
    boardRow->addWidget(grid);
    boardRow->addWidget(paper);

    auto* middle = new QVBoxLayout;
    middle->addWidget(area, 1);
    middle->addLayout(boardRow);

    auto* objects = new QGroupBox(QStringLiteral("Objects"));
    objects->setObjectName(QStringLiteral("grpObjects"));
    m_list = new QListWidget(objects);
    m_list->setObjectName(QStringLiteral("lstObjects"));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // A row's text changed as an object is dragged lays out that row alone.
    m_list->setUniformItemSizes(true);
    pagelayout::nameControl(m_list, QStringLiteral("Objects in drawing order"));
    connect(m_list, &QListWidget::itemSelectionChanged, this, &ScreenEditor::listSelectionChanged);
    auto* objectsColumn = new QVBoxLayout(objects);
    objectsColumn->addWidget(m_list);
    m_properties = new PropertyPanel(m_host.pageHost());
    connect(m_properties, &PropertyPanel::changed, this, &ScreenEditor::propertyChanged);
    connect(m_properties, &PropertyPanel::editText, this, &ScreenEditor::editText);
    connect(m_properties, &PropertyPanel::editPicture, this, &ScreenEditor::editPicture);
    connect(m_properties, &PropertyPanel::drawDots, this, [this] { drawDots(true); });
    auto* right = new QVBoxLayout;
    right->addWidget(objects, 1);
    right->addWidget(m_properties);

    auto* columns = new QHBoxLayout(central);
    columns->addWidget(paletteGroup);
    columns->addLayout(middle, 1);
    columns->addLayout(right);

    statusBar()->addWidget(m_lblLive, 1);
    statusBar()->addPermanentWidget(m_lblCursor);
}

QWidget* ScreenEditor::buildPalette()
{
    auto* group = new QGroupBox(QStringLiteral("Add"));
    group->setObjectName(QStringLiteral("grpPalette"));
    auto* grid = new QGridLayout(group);
    int at = 0;
    for (const PaletteEntry& entry : kPalette) {
        auto* b = pagelayout::button(QString::fromLatin1(entry.name), QString::fromUtf8(entry.caption));
        b->setToolTip(QStringLiteral("Adds a %1 on top of the screen").arg(editor::kindName(entry.kind)));
        const Kind kind = entry.kind;
        connect(b, &QPushButton::clicked, this, [this, kind] { addObject(kind); });
        grid->addWidget(b, at / 2, at % 2);
        ++at;
    }
    grid->setRowStretch(at / 2 + 1, 1);
    return group;
}

QAction* ScreenEditor::action(QMenu* menu, const char* name, const QString& caption, const QKeySequence& keys,
                              void (ScreenEditor::*slot)())
{
    auto* made = menu->addAction(caption);
    made->setObjectName(QString::fromLatin1(name));
    if (!keys.isEmpty())
        made->setShortcut(keys);
    if (slot)
        connect(made, &QAction::triggered, this, slot);
    return made;
}

void ScreenEditor::buildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    action(file, "actNew", QStringLiteral("&New"), QKeySequence::New, &ScreenEditor::newScreen);
    action(file, "actOpen", QStringLiteral("&Open\u2026"), QKeySequence::Open, &ScreenEditor::open);
    m_recentMenu = file->addMenu(QStringLiteral("Open &Recent"));
    m_recentMenu->setObjectName(QStringLiteral("menuRecent"));
    connect(m_recentMenu, &QMenu::aboutToShow, this, &ScreenEditor::fillRecentMenu);
    connect(action(file, "actSave", QStringLiteral("&Save"), QKeySequence::Save, nullptr), &QAction::triggered, this,
            [this] { later([this] { save(); }); });
    connect(action(file, "actSaveAs", QStringLiteral("Save &As\u2026"), QKeySequence::SaveAs, nullptr),
            &QAction::triggered, this, [this] { later([this] { saveAs(); }); });
    file->addSeparator();
    action(file, "actPreview", QStringLiteral("Previe&w\u2026"), {}, &ScreenEditor::preview);
    action(file, "actSaveReference", QStringLiteral("Save as Re&ference\u2026"), {}, &ScreenEditor::saveReference);
    action(file, "actExport", QStringLiteral("E&xport\u2026"), {}, &ScreenEditor::exportCode);
    file->addSeparator();
    connect(action(file, "actClose", QStringLiteral("&Close"), QKeySequence::Close, nullptr), &QAction::triggered,
            this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    m_actUndo = action(edit, "actUndo", QStringLiteral("&Undo"), QKeySequence::Undo, &ScreenEditor::undo);
    m_actRedo = action(edit, "actRedo", QStringLiteral("&Redo"), QKeySequence::Redo, &ScreenEditor::redo);
    m_actRedo->setShortcuts({QKeySequence::Redo, QKeySequence(Qt::CTRL | Qt::Key_Y)});
    edit->addSeparator();
    action(edit, "actCut", QStringLiteral("Cu&t"), QKeySequence::Cut, &ScreenEditor::cut);
    action(edit, "actCopy", QStringLiteral("&Copy"), QKeySequence::Copy, &ScreenEditor::copy);
    action(edit, "actPaste", QStringLiteral("&Paste"), QKeySequence::Paste, &ScreenEditor::paste);
    action(edit, "actDuplicate", QStringLiteral("&Duplicate"), QKeySequence(Qt::CTRL | Qt::Key_D),
           &ScreenEditor::duplicate);
    action(edit, "actDelete", QStringLiteral("De&lete"), QKeySequence::Delete, &ScreenEditor::deleteSelected);
    action(edit, "actSelectAll", QStringLiteral("Select &All"), QKeySequence::SelectAll, &ScreenEditor::selectAll);

    QMenu* object = menuBar()->addMenu(QStringLiteral("&Object"));
    const auto ordered = [&](const char* name, const QString& caption, const QKeySequence& keys, editor::Order order) {
        connect(action(object, name, caption, keys, nullptr), &QAction::triggered, this,
                [this, order] { reorder(order); });
    };
    ordered("actRaise", QStringLiteral("&Raise"), QKeySequence(Qt::CTRL | Qt::Key_BracketRight), editor::Order::Raise);
    ordered("actLower", QStringLiteral("&Lower"), QKeySequence(Qt::CTRL | Qt::Key_BracketLeft), editor::Order::Lower);
    ordered("actRaiseToTop", QStringLiteral("Raise to &Top"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_BracketRight),
            editor::Order::ToTop);
    ordered("actLowerToBottom", QStringLiteral("Lower to &Bottom"),
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_BracketLeft), editor::Order::ToBottom);
    object->addSeparator();
    action(object, "actHide", QStringLiteral("&Hide or Show"), QKeySequence(Qt::CTRL | Qt::Key_H),
           &ScreenEditor::toggleHidden);
    action(object, "actLock", QStringLiteral("Loc&k or Unlock"), QKeySequence(Qt::CTRL | Qt::Key_L),
           &ScreenEditor::toggleLocked);
    QMenu* aligning = object->addMenu(QStringLiteral("&Align"));
    static const char* const alignNames[] = {"actAlignLeft", "actAlignCentre", "actAlignRight",
                                             "actAlignTop", "actAlignMiddle", "actAlignBottom"};
    static const char* const alignCaptions[] = {"&Left", "&Centre", "&Right", "&Top", "&Middle", "&Bottom"};
    for (int i = 0; i < 6; ++i)
        connect(action(aligning, alignNames[i], QString::fromLatin1(alignCaptions[i]), {}, nullptr),
                &QAction::triggered, this, [this, i] { align(editor::Align(i)); });
    object->addSeparator();
    action(object, "actEditText", QStringLiteral("Change &Text\u2026"), {}, &ScreenEditor::editText);
    action(object, "actEditPicture", QStringLiteral("Change &Picture\u2026"), {}, &ScreenEditor::editPicture);
    connect(action(object, "actDrawDots", QStringLiteral("Draw &Dots"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D),
                   nullptr),
            &QAction::triggered, this, [this] { drawDots(!drawingDots()); });

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    connect(action(view, "actZoomIn", QStringLiteral("Zoom &In"), QKeySequence::ZoomIn, nullptr), &QAction::triggered,
            this, [this] { m_canvas->setZoom(m_canvas->zoom() + 1); });
    connect(action(view, "actZoomOut", QStringLiteral("Zoom &Out"), QKeySequence::ZoomOut, nullptr),
            &QAction::triggered, this, [this] { m_canvas->setZoom(m_canvas->zoom() - 1); });

    QMenu* boardMenu = menuBar()->addMenu(QStringLiteral("&Board"));
    auto* live = action(boardMenu, "actLive", QStringLiteral("&Live"), QKeySequence(Qt::Key_F9), nullptr);
    connect(live, &QAction::triggered, this, [this] { m_chkLive->toggle(); });
    action(boardMenu, "actRun", QStringLiteral("&Run\u2026"), QKeySequence(Qt::Key_F5), &ScreenEditor::run);
    action(boardMenu, "actCompare", QStringLiteral("&Compare with Board"), QKeySequence(Qt::Key_F6),
           &ScreenEditor::compareWithBoard);
}

// Files

void ScreenEditor::later(std::function<void()> action)
{
    const QPointer<ScreenEditor> alive(this);
    m_host.pageHost().whenIdle([alive, action] {
        if (alive)
            action();
    });
}

QString ScreenEditor::folder() const
{
    return m_path.isEmpty() ? QString() : QFileInfo(m_path).absolutePath();
}

void ScreenEditor::setScreen(editor::Screen screen, const QString& path, bool restored)
{
    m_screen = std::move(screen);
    m_path = path;
    m_history.clear();
    if (restored)
        m_history.setUnsaved();
    else
        m_history.setClean();
    m_selection.clear();
    m_dotBlock = 0;
    m_comparison.reset();
    m_canvas->setComparison(std::nullopt);
    m_recovery->drop();
    refresh();
    updateTitle();
    if (restored)
        keepCopySoon();
    QStringList said;
    if (const int damaged = m_screen.damagedCount())
        said << (damaged == 1 ? QStringLiteral("1 line that a run would refuse is kept as it stands, and marked in the "
                                               "list.")
                              : QStringLiteral("%1 lines that a run would refuse are kept as they stand, and marked in "
                                               "the list.")
                                    .arg(damaged));
    if (const QString fonts = editor::unreadableFonts(m_screen.items()); !fonts.isEmpty())
        said << fonts;
    if (!said.isEmpty())
        tell(said.join(u' '));
    emit screenChanged();
}

bool ScreenEditor::maySwitch()
{
    if (!isModified() || m_mayLose)
        return true;
    const QString name = m_path.isEmpty() ? QStringLiteral("The new screen") : QFileInfo(m_path).fileName();
    return m_host.desktop().question(
        this, QStringLiteral("%1 has changes that are not saved.\n\nGo on and lose them?").arg(name),
        QStringLiteral("Varnix"));
}

void ScreenEditor::newScreen()
{
    later([this] {
        if (maySwitch())
            setScreen(editor::Screen::blank(), QString(), false);
    });
}

bool ScreenEditor::mayEnd()
{
    m_mayLose = maySwitch();
    return m_mayLose;
}

void ScreenEditor::openAsking(const QString& path)
{
    later([this, path] {
        if (maySwitch())
            openFile(path);
    });
}

void ScreenEditor::open()
{
    later([this] {
        if (!maySwitch())
            return;
        const QString path = m_host.desktop().openFileName(this, QStringLiteral("Open Screen"), screenFileFilter());
        if (!path.isEmpty())
            openFile(path);
    });
}

bool ScreenEditor::openFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_host.pageHost().message(QStringLiteral("Could not open %1: %2").arg(path, file.errorString()));
        return false;
    }
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_host.pageHost().message(QStringLiteral("Could not read %1: %2").arg(path, file.errorString()));
        return false;
    }
    setScreen(editor::Screen::read(text), QFileInfo(path).absoluteFilePath(), false);
    remember(m_path);
    return true;
}

bool ScreenEditor::save()
{
    if (m_path.isEmpty())
        return saveAs();
    return writeTo(m_path);
}

bool ScreenEditor::saveAs()
{
    QString path = m_host.desktop().saveFileName(this, QStringLiteral("Save Screen"),
                                                 m_path.isEmpty() ? QStringLiteral("screen.vnx") : m_path, screenFileFilter());
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += u'.' + QLatin1String(script::kExtension);
    path = QFileInfo(path).absoluteFilePath();
    // Pictures are named from the script's folder: from the new one now.
    const QString before = folder();
    const QString after = QFileInfo(path).absolutePath();
    if (before != after) {
        for (const editor::Item& item : m_screen.items()) {
            if (!item.isObject() || item.shape->kind != Kind::Picture)
                continue;
            editor::Shape shape = *item.shape;
            shape.pictureOrigin.file =
                editor::fileAsNamed(editor::fileAsFound(shape.pictureOrigin.file, before), after);
            if (shape.pictureOrigin.file != item.shape->pictureOrigin.file)
                m_screen.apply({QString(), {{editor::Change::Op::Replace, m_screen.indexOf(item.id), item,
                                             m_screen.withShape(item, shape)}}});
        }
    }
    if (!writeTo(path))
        return false;
    m_path = path;
    updateTitle();
    return true;
}

bool ScreenEditor::writeTo(const QString& path)
{
    QSaveFile file(path);
    const QByteArray text = m_screen.text();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        m_host.pageHost().message(QStringLiteral("Could not save %1: %2").arg(path, file.errorString()));
        return false;
    }
    m_history.setClean();
    m_recovery->drop();
    remember(path);
    updateTitle();
    tell(QStringLiteral("Saved %1.").arg(QFileInfo(path).fileName()));
    return true;
}

QStringList ScreenEditor::recentFiles()
{
    return editorSettings().value(QLatin1String(kRecentScreensKey)).toStringList();
}

void ScreenEditor::remember(const QString& path)
{
    QStringList recent = recentFiles();
    recent.removeAll(path);
    recent.prepend(path);
    editorSettings().setValue(QLatin1String(kRecentScreensKey), QStringList(recent.mid(0, kMostRecentScreens)));
}

void ScreenEditor::fillRecentMenu()
{
    m_recentMenu->clear();
    const QStringList recent = recentFiles();
    int number = 1;
    for (const QString& path : recent) {
        QAction* entry = m_recentMenu->addAction(QStringLiteral("&%1 %2").arg(number++).arg(QFileInfo(path).fileName()));
        entry->setToolTip(path);
        connect(entry, &QAction::triggered, this, [this, path] { openAsking(path); });
    }
    if (recent.isEmpty())
        m_recentMenu->addAction(QStringLiteral("(none yet)"))->setEnabled(false);
}

void ScreenEditor::keepCopySoon()
{
    m_copyTimer->start();
}

void ScreenEditor::keepCopy()
{
    if (!isModified()) {
        m_recovery->drop();
        return;
    }
    QString why;
    if (!m_recovery->keep(m_screen.text(), m_path, &why))
        tell(QStringLiteral("No copy could be kept against a crash: %1").arg(why));
}

bool ScreenEditor::offerRecovery()
{
    const QList<editor::Recovery::Left> left = editor::Recovery::left(m_recoveryFolder);
    if (left.isEmpty())
        return false;
    const editor::Recovery::Left& copy = left.front();
    const QString name = copy.file.isEmpty() ? QStringLiteral("a new screen") : QFileInfo(copy.file).fileName();
    const bool restore = m_host.desktop().question(
        this,
        QStringLiteral("Varnix ended while %1 was being edited, on %2, without saving it.\n\nRestore what was "
                       "edited?")
            .arg(name, copy.when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))),
        QStringLiteral("Varnix"));
    if (restore && !maySwitch())
        return false;
    editor::Recovery::discard(copy);
    if (!restore)
        return false;
    setScreen(editor::Screen::read(copy.text), copy.file, true);
    tell(QStringLiteral("Restored %1 as it was when Varnix ended; save it to keep it.").arg(name));
    return true;
}

void ScreenEditor::closeEvent(QCloseEvent* event)
{
    // An update of the board under way ends first.
    if (m_live->sending()) {
        event->ignore();
        later([this] { close(); });
        return;
    }
    if (!maySwitch()) {
        event->ignore();
        return;
    }
    m_live->setOn(false);
    m_copyTimer->stop();
    m_recovery->drop();
    m_mayLose = false;
    event->accept();
}

// What shows the screen

void ScreenEditor::commit(const editor::Edit& edit)
{
    if (edit.isEmpty())
        return;
    m_history.push(edit);
    refresh();
}

void ScreenEditor::refresh()
{
    // What is selected and gone is selected no more.
    m_selection.erase(std::remove_if(m_selection.begin(), m_selection.end(),
                                     [this](quint64 id) { return m_screen.indexOf(id) < 0; }),
                      m_selection.end());
    if (m_dotBlock && m_screen.indexOf(m_dotBlock) < 0)
        m_dotBlock = 0;
    if (m_comparison) {
        m_comparison.reset();
        m_canvas->setComparison(std::nullopt);
    }
    m_canvas->setDisplay(m_screen.drawn().display());
    refreshList();
    refreshMarks();
    m_properties->showItem(single(), int(m_selection.size()));
    m_actUndo->setText(m_history.canUndo() ? QStringLiteral("&Undo %1").arg(m_history.undoName())
                                           : QStringLiteral("&Undo"));
    m_actRedo->setText(m_history.canRedo() ? QStringLiteral("&Redo %1").arg(m_history.redoName())
                                           : QStringLiteral("&Redo"));
    m_actUndo->setEnabled(m_history.canUndo());
    m_actRedo->setEnabled(m_history.canRedo());
    updateTitle();
    keepCopySoon();
    m_live->screenChanged();
    emit screenChanged();
}

void ScreenEditor::refreshList()
{
    const QSignalBlocker quiet(m_list);
    m_syncingList = true;
    const auto& items = m_screen.items();
    QList<quint64> ids;
    ids.reserve(items.size());
    for (const editor::Item& item : items)
        ids << item.id;
    if (ids != m_listIds) {
        m_list->clear();
        m_listLines.clear();
        for (const editor::Item& item : items) {
            auto* row = new QListWidgetItem(editor::describe(item), m_list);
            if (!item.isObject())
                row->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
            m_listLines << item.lines;
        }
        m_listIds = ids;
    } else {
        // Only the rows whose lines changed are said anew.
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (items[i].lines == m_listLines[i])
                continue;
            m_listLines[i] = items[i].lines;
            m_list->item(int(i))->setText(editor::describe(items[i]));
        }
    }
    for (int i = 0; i < m_list->count(); ++i) {
        const bool selected = m_selection.contains(ids[i]);
        if (m_list->item(i)->isSelected() != selected)
            m_list->item(i)->setSelected(selected);
    }
    if (m_selection.size() == 1 && m_selection != m_listShown)
        m_list->scrollToItem(m_list->item(int(m_screen.indexOf(m_selection.front()))));
    m_listShown = m_selection;
    m_syncingList = false;
}

void ScreenEditor::refreshMarks()
{
    ScreenCanvas::Marks marks;
    for (quint64 id : std::as_const(m_selection)) {
        const editor::Item* item = m_screen.find(id);
        if (item && item->isObject())
            marks.selected << editor::box(*item->shape);
    }
    if (const editor::Item* item = single(); item && item->isObject() && !item->shape->locked && !m_dotBlock)
        marks.handles = editor::handles(*item->shape);
    marks.rubberBand = m_rubberBand;
    if (const editor::Item* block = m_screen.find(m_dotBlock)) {
        marks.dotBlock = editor::box(*block->shape);
        marks.dotCursor = m_dotCursor;
    }
    m_canvas->setMarks(marks);
    const editor::Item* item = single();
    m_canvas->setAccessibleDescription(item ? editor::describe(*item)
                                            : m_selection.isEmpty() ? QStringLiteral("Nothing selected")
                                                                    : QStringLiteral("%1 objects selected")
                                                                          .arg(m_selection.size()));
}

void ScreenEditor::updateTitle()
{
    const QString name = m_path.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(m_path).fileName();
    setWindowTitle(QStringLiteral("%1[*] - Varnix Screen").arg(name));
    setWindowModified(isModified());
}

void ScreenEditor::tell(const QString& text)
{
    m_lblLive->setText(text);
}

const editor::Item* ScreenEditor::single() const
{
    return m_selection.size() == 1 ? m_screen.find(m_selection.front()) : nullptr;
}

void ScreenEditor::select(const editor::Ids& ids)
{
    if (m_dotBlock && !ids.contains(m_dotBlock))
        m_dotBlock = 0;
    m_selection.clear();
    for (quint64 id : ids)
        if (m_screen.indexOf(id) >= 0 && !m_selection.contains(id))
            m_selection << id;
    refreshList();
    refreshMarks();
    m_properties->showItem(single(), int(m_selection.size()));
}

void ScreenEditor::listSelectionChanged()
{
    if (m_syncingList)
        return;
    editor::Ids ids;
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->isSelected() && i < m_listIds.size())
            ids << m_listIds[i];
    select(ids);
}

// Edits

editor::Shape ScreenEditor::withContent(const editor::Shape& shape)
{
    if (shape.kind == Kind::Picture) {
        const QString file = editor::fileAsFound(shape.pictureOrigin.file, folder());
        if (!m_pictures.contains(file)) {
            const render::PictureFile read = render::readPicture(file);
            if (!read.error.isEmpty()) {
                tell(QStringLiteral("The picture's file cannot be read, so its dots are cut rather than drawn "
                                    "anew: %1")
                         .arg(read.error));
                return shape;
            }
            m_pictures.insert(file, read.image);
        }
        editor::Shape out = editor::pictureShape(m_pictures.value(file), shape.pictureOrigin, shape.block());
        out.hidden = shape.hidden;
        out.locked = shape.locked;
        return out;
    }
    if (shape.kind == Kind::Text) {
        const editor::Made made = editor::redrawn(shape, folder());
        if (made.shape)
            return *made.shape;
        tell(QStringLiteral("The text's font cannot be read, so its dots are cut rather than drawn anew: %1")
                 .arg(made.error));
    }
    return shape;
}

std::optional<editor::Shape> ScreenEditor::askText(const editor::Shape* from)
{
    const auto answer = from ? m_dialogs->changeText(this, {from->textOrigin.choice,
                                                            {from->block(), false, from->textOrigin.fit}})
                             : m_dialogs->chooseText(this, {render::LcdBlock{0, 127, 0, 0}, false, true});
    if (!answer)
        return std::nullopt;
    editor::Made made = editor::madeText({answer->text, answer->block.fitToText},
                                         render::chosenBlock(answer->block, answer->text));
    if (!made.shape) {
        m_host.pageHost().message(made.error);
        return std::nullopt;
    }
    if (from)
        made.shape->hidden = from->hidden;
    return made.shape;
}

std::optional<editor::Shape> ScreenEditor::askPicture(const editor::Shape* from)
{
    QString file;
    if (from) {
        file = editor::fileAsFound(from->pictureOrigin.file, folder());
    } else {
        const QStringList files = m_dialogs->openPictures(this, render::pictureFilter());
        if (files.isEmpty())
            return std::nullopt;
        file = files.front();
    }
    const render::SourceFrames read = render::readFrames({file});
    if (!read.error.isEmpty()) {
        m_host.pageHost().message(read.error);
        return std::nullopt;
    }
    const QList<render::SourceFrame> first = read.frames.mid(0, 1);
    const auto answer = from ? m_dialogs->changePicture(this, first,
                                                        {from->pictureOrigin.choice, {from->block(), false, false}})
                             : m_dialogs->choosePicture(this, first, {render::LcdBlock{}, true, false});
    if (!answer)
        return std::nullopt;
    m_pictures.insert(file, first.front().image);
    const editor::PictureOrigin origin{from ? from->pictureOrigin.file : editor::fileAsNamed(file, folder()),
                                       answer->choice};
    editor::Shape shape = editor::pictureShape(first.front().image, origin, render::chosenBlock(answer->block));
    if (from)
        shape.hidden = from->hidden;
    return shape;
}

void ScreenEditor::addObject(Kind kind)
{
    later([this, kind] {
        std::optional<editor::Shape> shape = editor::startShape(kind);
        if (kind == Kind::Text)
            shape = askText(nullptr);
        else if (kind == Kind::Picture)
            shape = askPicture(nullptr);
        if (!shape)
            return;
        const editor::Item item = m_screen.objectItem(*shape);
        commit(editor::insertItems(m_screen, {item}, int(m_screen.items().size()),
                                   QStringLiteral("Add %1").arg(shape->name())));
        select({item.id});
        m_canvas->setFocus(Qt::OtherFocusReason);
    });
}

void ScreenEditor::undo()
{
    stepHistory(true);
}

void ScreenEditor::redo()
{
    stepHistory(false);
}

void ScreenEditor::stepHistory(bool back)
{
    const editor::Edit* edit = back ? m_history.undo(m_screen) : m_history.redo(m_screen);
    if (!edit)
        return;
    // What the edit touched is selected, as it now stands.
    const editor::Change::Op gone = back ? editor::Change::Op::Insert : editor::Change::Op::Remove;
    editor::Ids touched;
    for (const editor::Change& change : edit->changes) {
        const editor::Item& item = back ? change.before : change.after;
        if (change.op != gone && item.isObject())
            touched << item.id;
    }
    m_selection = touched;
    refresh();
    tell((back ? QStringLiteral("Undone: %1.") : QStringLiteral("Redone: %1.")).arg(edit->name));
}

void ScreenEditor::copy()
{
    QList<editor::Item> chosen;
    for (const editor::Item& item : m_screen.items())
        if (m_selection.contains(item.id))
            chosen << item;
    if (chosen.isEmpty())
        return;
    m_host.pageHost().setClipboardText(QString::fromUtf8(editor::Screen::textOf(chosen)));
    tell(chosen.size() == 1 ? QStringLiteral("Copied %1 as script text.").arg(chosen.front().title())
                            : QStringLiteral("Copied %1 items as script text.").arg(chosen.size()));
}

void ScreenEditor::cut()
{
    if (m_selection.isEmpty())
        return;
    copy();
    commit(editor::removeItems(m_screen, m_selection, QStringLiteral("Cut")));
}

void ScreenEditor::paste()
{
    const QString text = m_host.pageHost().clipboardText();
    QList<editor::Item> items = m_screen.readItems(text.toUtf8());
    // A last line break on the clipboard makes no blank line of its own.
    if (text.trimmed().isEmpty() || items.isEmpty()) {
        m_host.pageHost().message(QStringLiteral("Nothing to paste!"));
        return;
    }
    // Pasted where the copied ones stand, on top of them: a row of dots
    // lower and to the right, so that they are seen.
    QList<editor::Item> placed;
    for (const editor::Item& item : std::as_const(items))
        placed << (item.isObject() ? m_screen.withShape(item, editor::moved(*item.shape, kPasteOffset, kPasteOffset)) : item);
    editor::Ids ids;
    for (const editor::Item& item : std::as_const(placed))
        ids << item.id;
    const QString name = placed.size() == 1 ? QStringLiteral("Paste %1").arg(placed.front().title())
                                            : QStringLiteral("Paste %1 Items").arg(placed.size());
    commit(editor::insertItems(m_screen, placed, int(m_screen.items().size()), name));
    select(ids);
}

void ScreenEditor::duplicate()
{
    editor::Ids copies;
    commit(editor::duplicateItems(m_screen, m_selection, kPasteOffset, kPasteOffset, &copies));
    if (!copies.isEmpty())
        select(copies);
}

void ScreenEditor::deleteSelected()
{
    if (!m_selection.isEmpty())
        commit(editor::removeItems(m_screen, m_selection, QStringLiteral("Delete")));
}

void ScreenEditor::selectAll()
{
    editor::Ids ids;
    for (const editor::Item& item : m_screen.items())
        if (item.isObject())
            ids << item.id;
    select(ids);
}

void ScreenEditor::reorder(editor::Order order)
{
    commit(editor::reorder(m_screen, m_selection, order));
}

void ScreenEditor::align(editor::Align where)
{
    // One object lines up with the display, several with each other.
    commit(editor::alignObjects(m_screen, m_selection, where, m_selection.size() < 2));
}

void ScreenEditor::toggleHidden()
{
    commit(editor::toggleHidden(m_screen, m_selection));
}

void ScreenEditor::toggleLocked()
{
    commit(editor::toggleLocked(m_screen, m_selection));
}

void ScreenEditor::moveSelection(int dx, int dy)
{
    commit(editor::moveObjects(m_screen, m_selection, dx, dy));
}

void ScreenEditor::propertyChanged(quint64 id, const editor::Shape& shape, const QString& what)
{
    const editor::Item* item = m_screen.find(id);
    if (!item || !item->isObject())
        return;
    editor::Shape changed = shape;
    if (shape.isBlock() && shape.block().bytes() != item->shape->block().bytes()) {
        if (changed.kind == Kind::Text)
            changed.textOrigin.fit = false;
        changed = withContent(changed);
    }
    editor::Edit edit = editor::setShape(m_screen, item->id, changed, QStringLiteral("Change"));
    edit.name = QStringLiteral("Change %1").arg(what);
    commit(edit);
}

void ScreenEditor::editText()
{
    changeContent(Kind::Text);
}

void ScreenEditor::editPicture()
{
    changeContent(Kind::Picture);
}

void ScreenEditor::changeContent(Kind kind)
{
    later([this, kind] {
        const editor::Item* item = single();
        if (!item || !item->isObject() || item->shape->kind != kind || item->shape->locked)
            return;
        const editor::Shape old = *item->shape;
        const quint64 id = item->id;
        const auto shape = kind == Kind::Text ? askText(&old) : askPicture(&old);
        if (shape)
            commit(editor::setShape(m_screen, id, *shape, QStringLiteral("Change")));
    });
}

void ScreenEditor::drawDots(bool on)
{
    const editor::Item* item = single();
    if (!on || !item || !item->isObject() || item->shape->kind != Kind::Block || item->shape->locked) {
        m_dotBlock = 0;
        if (on)
            tell(QStringLiteral("Dots are drawn into a pixel block: select one first."));
    } else {
        m_dotBlock = item->id;
        m_dotCursor = editor::box(*item->shape).topLeft();
        tell(QStringLiteral("Drawing dots: click or drag on the block, or move with the arrows and press Space; "
                            "Escape ends it."));
        m_canvas->setFocus(Qt::OtherFocusReason);
    }
    refreshMarks();
}

void ScreenEditor::setDot(QPoint dot, bool on, const editor::Shape& original)
{
    if (!m_dotsDrawn.contains(dot))
        m_dotsDrawn << dot;
    if (!m_dragEdit.isEmpty())
        m_screen.unapply(m_dragEdit);
    editor::Shape shape = original;
    for (const QPoint& drawn : std::as_const(m_dotsDrawn))
        shape = editor::withBlockDot(shape, drawn.x(), drawn.y(), on);
    m_dragEdit = editor::setShape(m_screen, m_dotBlock, shape, QStringLiteral("Draw Dots in"));
}

// The screen as a script

script::ReadResult ScreenEditor::asScript() const
{
    auto read = script::readScript(m_screen.text());
    // A screen line's picture is named from the script's folder.
    if (auto* made = std::get_if<script::Script>(&read))
        made->folder = folder();
    return read;
}

void ScreenEditor::run()
{
    later([this] {
        const QString name = m_path.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(m_path).fileName();
        const auto read = asScript();
        if (const auto* error = std::get_if<script::ReadError>(&read)) {
            m_host.pageHost().message(QStringLiteral("Cannot run %1: %2").arg(name, error->describe()));
            return;
        }
        m_host.runScript(std::get<script::Script>(read), name);
    });
}

void ScreenEditor::compareWithBoard()
{
    later([this] {
        const auto shown = m_host.readBoard();
        if (!shown)
            return;
        const board::Difference difference = board::compare(m_canvas->display(), *shown);
        m_comparison = *shown;
        m_canvas->setComparison(m_comparison);
        if (difference.count == 0) {
            m_host.pageHost().message(QStringLiteral("The board shows the screen: no pixel differs."));
            return;
        }
        m_host.pageHost().message(QStringLiteral("Compared with the screen, %1.\n\nThe canvas shows them over the "
                                                 "screen: in red where the board has a dot set, faintly where it has "
                                                 "one clear.")
                                      .arg(difference.describe()));
    });
}

void ScreenEditor::saveReference()
{
    later([this] {
        const QString proposed = m_path.isEmpty() ? QStringLiteral("screen.png")
                                                  : QFileInfo(m_path).absoluteDir().filePath(
                                                        QFileInfo(m_path).completeBaseName() + QStringLiteral(".png"));
        QString path = m_host.desktop().saveFileName(this, QStringLiteral("Save as Reference"), proposed,
                                                     QStringLiteral("PNG pictures (*.png);;All files (*)"));
        if (path.isEmpty())
            return;
        if (QFileInfo(path).suffix().isEmpty())
            path += QStringLiteral(".png");
        // The canvas as a screen line compares the board's display with it.
        if (const QString failure = screens::writePicture(m_screen.drawn().display(), path); !failure.isEmpty())
            m_host.pageHost().message(failure);
        else
            tell(QStringLiteral("Saved the screen as the reference %1.").arg(QFileInfo(path).fileName()));
    });
}

void ScreenEditor::preview()
{
    later([this] {
        const transfer::SaveTarget target = m_dialogs->savePicture(this);
        if (target.path.isEmpty())
            return;
        const QString failure =
            render::savePicture(render::displayPicture(m_screen.drawn().display()), target.path, target.enlarged);
        if (!failure.isEmpty())
            m_host.pageHost().message(failure);
        else
            tell(QStringLiteral("Saved the picture of the screen as %1.").arg(QFileInfo(target.path).fileName()));
    });
}

void ScreenEditor::exportCode()
{
    later([this] {
        const auto read = asScript();
        const QString name = m_path.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(m_path).fileName();
        if (const auto* error = std::get_if<script::ReadError>(&read)) {
            m_host.pageHost().message(QStringLiteral("Cannot export %1: %2").arg(name, error->describe()));
            return;
        }
        const auto delay = m_host.pacingDelay();
        if (!delay)
            return;
        auto* dialog = new hostcode::ExportDialog(
            {m_host.desktop(), m_host.lineSettings(), *delay, m_host.pacingCharacter(), screens::exportedPictures},
            this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setSource(std::get<script::Script>(read), QStringLiteral("the screen %1").arg(name),
                          m_path.isEmpty() ? QStringLiteral("screen") : QFileInfo(m_path).completeBaseName());
        dialog->show();
    });
}

} // namespace varnix
