// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/picturedialogs.h"

#include "render/fontfiles.h"
#include "widgets/desktop.h"
#include "widgets/pagelayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace varnix::transfer {

using namespace render;

namespace {
// A picture in a thin frame, so that the white edges of a block show.
QLabel* framedPicture(const QString& name)
{
    auto* label = new QLabel;
    label->setObjectName(name);
    label->setFrameShape(QFrame::Box);
    label->setAlignment(Qt::AlignCenter);
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return label;
}

template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QComboBox* choices(const char* name, const QStringList& items)
{
    auto* box = named(new QComboBox, name);
    box->addItems(items);
    return box;
}

QComboBox* rotations(const char* name)
{
    return choices(name, {QStringLiteral("0°"), QStringLiteral("90°"), QStringLiteral("180°"), QStringLiteral("270°")});
}

QSpinBox* spin(const char* name, int lowest, int highest, int value)
{
    auto* box = named(new QSpinBox, name);
    box->setRange(lowest, highest);
    box->setValue(value);
    return box;
}

// The block's picture at real size and enlarged, above the dialog's own
// choices.
QGridLayout* pictureGrid(QLabel* realSize, QLabel* enlarged)
{
    auto* pictures = new QGridLayout;
    pictures->addWidget(new QLabel(QStringLiteral("Real size:")), 0, 0, Qt::AlignTop);
    pictures->addWidget(realSize, 0, 1, Qt::AlignLeft | Qt::AlignTop);
    pictures->addWidget(new QLabel(QStringLiteral("Enlarged %1 times:").arg(kEnlargement)), 1, 0, Qt::AlignTop);
    pictures->addWidget(enlarged, 1, 1, Qt::AlignLeft | Qt::AlignTop);
    pictures->setColumnStretch(1, 1);
    return pictures;
}

void showPicture(QLabel* realSize, QLabel* enlarged, const QImage& mono)
{
    realSize->setPixmap(QPixmap::fromImage(mono));
    enlarged->setPixmap(QPixmap::fromImage(mono.scaled(mono.size() * kEnlargement)));
}

QDialogButtonBox* okCancel(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

// Every change of a choice redraws.
template <typename Dialog>
void redrawOnChange(Dialog* dialog, const QList<QWidget*>& widgets, void (Dialog::*redraw)())
{
    for (QWidget* widget : widgets) {
        if (auto* box = qobject_cast<QComboBox*>(widget))
            QObject::connect(box, &QComboBox::currentIndexChanged, dialog, redraw);
        else if (auto* number = qobject_cast<QSpinBox*>(widget))
            QObject::connect(number, &QSpinBox::valueChanged, dialog, redraw);
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            QObject::connect(button, &QAbstractButton::toggled, dialog, redraw);
        else if (auto* text = qobject_cast<QPlainTextEdit*>(widget))
            QObject::connect(text, &QPlainTextEdit::textChanged, dialog, redraw);
    }
}

constexpr int kBaudRates[] = {56000, 38400, 28800, 19200, 14400, 9600, 2400, 1200, 600};
// In the text dialog's fonts: the board's font, then "Bitmap font...", then
// the bitmap fonts chosen (their files as data), then the installed ones.
constexpr int kChooseBitmapFont = 1;
} // namespace

QStringList QtPictureDialogs::openPictures(QWidget* parent, const QString& filter)
{
    QFileDialog dialog(parent, QStringLiteral("Load Picture"), QString(), filter);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    return askFiles(dialog);
}

std::optional<PictureAnswer> QtPictureDialogs::choosePicture(QWidget* parent, const QList<SourceFrame>& frames,
                                                             const BlockChoice& block)
{
    PicturePreview preview(frames, block, parent);
    if (preview.exec() != QDialog::Accepted)
        return std::nullopt;
    return preview.answer();
}

SaveTarget QtPictureDialogs::savePicture(QWidget* parent)
{
    QFileDialog dialog(parent, QStringLiteral("Save Picture"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("PNG pictures (*.png)"));
    dialog.setDefaultSuffix(QStringLiteral("png"));
    auto* enlarged = new QCheckBox(
        QStringLiteral("Also save a copy enlarged %1 times (name@%1x.png)").arg(kEnlargement), &dialog);
    enlarged->setObjectName(QStringLiteral("enlargedCopy"));
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(enlarged, grid->rowCount(), 0, 1, grid->columnCount());
    const QStringList chosen = askFiles(dialog);
    if (chosen.isEmpty())
        return {};
    return {chosen.constFirst(), enlarged->isChecked()};
}

QString QtPictureDialogs::saveScript(QWidget* parent)
{
    QFileDialog dialog(parent, QStringLiteral("Save as Script"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("Scripts (*.vnx)"));
    dialog.setDefaultSuffix(QStringLiteral("vnx"));
    return askFiles(dialog).value(0);
}

std::optional<TextAnswer> QtPictureDialogs::chooseText(QWidget* parent, const BlockChoice& block)
{
    TextPreview preview(block, parent, this);
    if (preview.exec() != QDialog::Accepted)
        return std::nullopt;
    return preview.answer();
}

QString QtPictureDialogs::chooseBitmapFont(QWidget* parent)
{
    BitmapFontChooser chooser(parent);
    return chooser.exec() == QDialog::Accepted ? chooser.chosen() : QString();
}

BitmapFontChooser::BitmapFontChooser(QWidget* parent) : QDialog(parent), m_faces(named(new QListWidget, "bitmapFaces"))
{
    setObjectName(QStringLiteral("BitmapFontChooser"));
    setWindowTitle(QStringLiteral("Bitmap Font"));
    for (const BitmapFace& face : bitmapFaces()) {
        auto* item = new QListWidgetItem(face.label(), m_faces);
        item->setData(Qt::UserRole, face.file);
        item->setToolTip(face.file);
    }
    QLabel* caption = pagelayout::captionFor(
        m_faces->count() > 0 ? QStringLiteral("&Installed bitmap fonts:")
                             : QStringLiteral("&Installed bitmap fonts: none (xfonts-base, xfonts-terminus and "
                                              "xfonts-unifont bring some); a file of one may be chosen."),
        m_faces);
    caption->setWordWrap(true);
    auto* buttons = okCancel(this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setEnabled(false);
    auto* file = named(buttons->addButton(QStringLiteral("&File\u2026"), QDialogButtonBox::ActionRole), "bitmapFile");
    connect(file, &QPushButton::clicked, this, [this] {
        // Where Debian keeps the X fonts, the bitmap fonts among them.
        QFileDialog dialog(this, QStringLiteral("Bitmap Font File"), QStringLiteral("/usr/share/fonts/X11"),
                           bitmapFontFilter());
        dialog.setFileMode(QFileDialog::ExistingFile);
        m_file = askFiles(dialog).value(0);
        if (!m_file.isEmpty())
            accept();
    });
    connect(m_faces, &QListWidget::currentItemChanged, ok, [ok](QListWidgetItem* item) { ok->setEnabled(item); });
    connect(m_faces, &QListWidget::itemActivated, this, &QDialog::accept);
    auto* column = new QVBoxLayout(this);
    column->addWidget(caption);
    column->addWidget(m_faces);
    column->addWidget(buttons);
    resize(480, 400);
}

QString BitmapFontChooser::chosen() const
{
    if (!m_file.isEmpty())
        return m_file;
    const QListWidgetItem* item = m_faces->currentItem();
    return item ? item->data(Qt::UserRole).toString() : QString();
}

std::optional<TextAnswer> QtPictureDialogs::changeText(QWidget* parent, const TextAnswer& start)
{
    TextPreview preview(start.block, parent, this);
    preview.setChoice(start.text);
    if (preview.exec() != QDialog::Accepted)
        return std::nullopt;
    return preview.answer();
}

std::optional<PictureAnswer> QtPictureDialogs::changePicture(QWidget* parent, const QList<SourceFrame>& frames,
                                                             const PictureAnswer& start)
{
    PicturePreview preview(frames, start.block, parent);
    preview.setChoice(start.choice);
    if (preview.exec() != QDialog::Accepted)
        return std::nullopt;
    return preview.answer();
}

BlockChooser::BlockChooser(const BlockChoice& start, bool forText, QWidget* parent)
    : QWidget(parent), m_x1(spin("blockX1", 0, kLcdColumns - 1, start.place.x1)),
      m_x2(spin("blockX2", 0, kLcdColumns - 1, start.place.x2)), m_y1(spin("blockY1", 0, kLcdRows - 1, start.place.y1)),
      m_y2(spin("blockY2", 0, kLcdRows - 1, start.place.y2)),
      m_whole(named(new QCheckBox(QStringLiteral("&Whole display")), "wholeDisplay")),
      m_fit(forText ? named(new QCheckBox(QStringLiteral("&Fit to text")), "fitToText") : nullptr),
      m_place(named(new QLabel, "blockPlace"))
{
    auto* corners = new QHBoxLayout;
    corners->setContentsMargins(0, 0, 0, 0);
    // As the page has them: the start corner, then the end.
    const std::pair<const char*, QSpinBox*> captioned[] = {{"Start at:  X1", m_x1}, {"Y1", m_y1},
                                                           {"End at:  X2", m_x2}, {"Y2", m_y2}};
    for (const auto& [caption, corner] : captioned) {
        corners->addWidget(pagelayout::captionFor(QString::fromLatin1(caption), corner));
        corners->addWidget(corner);
    }
    corners->addSpacing(12);
    corners->addWidget(m_whole);
    if (m_fit) {
        m_fit->setChecked(start.fitToText);
        corners->addWidget(m_fit);
        connect(m_fit, &QCheckBox::toggled, this, &BlockChooser::changed);
    }
    corners->addStretch(1);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addLayout(corners);
    column->addWidget(m_place);

    for (QSpinBox* corner : {m_x1, m_x2, m_y1, m_y2})
        connect(corner, &QSpinBox::valueChanged, this, [this, corner] { cornerChanged(corner); });
    connect(m_whole, &QCheckBox::toggled, this, [this](bool whole) {
        showWhole(whole);
        emit changed();
    });
    m_whole->setChecked(start.wholeDisplay);
}

void BlockChooser::showWhole(bool whole)
{
    // The corners show the whole display while it is chosen, and the place
    // they held comes back when it no longer is.
    if (whole)
        m_kept = cornerValues();
    const LcdBlock shown = whole ? LcdBlock{} : m_kept;
    const std::pair<QSpinBox*, int> values[] = {{m_x1, shown.x1}, {m_x2, shown.x2}, {m_y1, shown.y1}, {m_y2, shown.y2}};
    for (const auto& [corner, value] : values) {
        const QSignalBlocker quiet(corner);
        corner->setValue(value);
        corner->setEnabled(!whole);
    }
}

LcdBlock BlockChooser::cornerValues() const
{
    return {m_x1->value(), m_x2->value(), m_y1->value(), m_y2->value()};
}

void BlockChooser::cornerChanged(QSpinBox* corner)
{
    // A corner moved past the other end takes that end along, so that the
    // corners always make a block.
    const auto follow = [](QSpinBox* other, int value) {
        const QSignalBlocker quiet(other);
        other->setValue(value);
    };
    if (corner == m_x1 && m_x1->value() > m_x2->value())
        follow(m_x2, m_x1->value());
    else if (corner == m_x2 && m_x2->value() < m_x1->value())
        follow(m_x1, m_x2->value());
    else if (corner == m_y1 && m_y1->value() > m_y2->value())
        follow(m_y2, m_y1->value());
    else if (corner == m_y2 && m_y2->value() < m_y1->value())
        follow(m_y1, m_y2->value());
    emit changed();
}

BlockChoice BlockChooser::choice() const
{
    const bool whole = m_whole->isChecked();
    return {whole ? m_kept : cornerValues(), whole, m_fit && m_fit->isChecked()};
}

void BlockChooser::showBlock(const LcdBlock& block)
{
    m_place->setText(QStringLiteral("The block: %1, %2 x %3 pixels.")
                         .arg(blockPlace(block))
                         .arg(block.pixelSize().width())
                         .arg(block.pixelSize().height()));
}

PicturePreview::PicturePreview(const QList<SourceFrame>& frames, const BlockChoice& block, QWidget* parent)
    : QDialog(parent), m_frames(frames), m_block(new BlockChooser(block, false)),
      m_threshold(named(new QRadioButton(QStringLiteral("&Threshold")), "threshold")),
      m_diffuse(named(new QRadioButton(QStringLiteral("&Diffusion")), "diffusion")),
      m_atkinson(named(new QRadioButton(QStringLiteral("&Atkinson")), "atkinson")),
      m_ordered(named(new QRadioButton(QStringLiteral("&Ordered")), "ordered")),
      m_level(spin("level", 0, 255, kMiddleLevel)),
      m_inverted(named(new QCheckBox(QStringLiteral("&Inverted")), "inverted")),
      m_rotation(rotations("rotation")),
      m_flipHorizontal(named(new QCheckBox(QStringLiteral("Flip a&cross")), "flipHorizontal")),
      m_flipVertical(named(new QCheckBox(QStringLiteral("Flip &upside down")), "flipVertical")),
      m_fit(choices("fit", {QStringLiteral("Fit"), QStringLiteral("Fill"), QStringLiteral("1:1")})),
      m_baudRate(named(new QComboBox, "baudRate")),
      m_animation(named(new QLabel, "animation")),
      m_realSize(framedPicture(QStringLiteral("realSize"))),
      m_enlarged(framedPicture(QStringLiteral("enlarged")))
{
    setObjectName(QStringLiteral("PicturePreview"));
    setWindowTitle(QStringLiteral("Load Picture"));
    m_threshold->setChecked(true);
    for (int rate : kBaudRates)
        m_baudRate->addItem(QString::number(rate), rate);
    m_baudRate->setCurrentText(QStringLiteral("19200"));
    m_animation->setWordWrap(true);

    auto* dithers = new QHBoxLayout;
    dithers->addWidget(m_threshold);
    dithers->addWidget(pagelayout::captionFor(QStringLiteral("at level"), m_level));
    for (QWidget* widget : {static_cast<QWidget*>(m_level), static_cast<QWidget*>(m_diffuse),
                            static_cast<QWidget*>(m_atkinson), static_cast<QWidget*>(m_ordered)})
        dithers->addWidget(widget);
    dithers->addStretch(1);
    auto* turns = new QHBoxLayout;
    turns->addWidget(m_rotation);
    turns->addWidget(m_flipHorizontal);
    turns->addWidget(m_flipVertical);
    turns->addStretch(1);
    auto* options = new QFormLayout;
    options->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    options->addRow(QStringLiteral("Black and white:"), dithers);
    options->addRow(QString(), m_inverted);
    options->addRow(pagelayout::captionFor(QStringLiteral("Turn:"), m_rotation), turns);
    options->addRow(pagelayout::captionFor(QStringLiteral("Size:"), m_fit), m_fit);
    options->addRow(pagelayout::captionFor(QStringLiteral("Block:"), m_block), m_block);

    auto* buttons = okCancel(this);
    auto* column = new QVBoxLayout(this);
    column->addLayout(pictureGrid(m_realSize, m_enlarged));
    column->addLayout(options);
    QLabel* baudCaption = pagelayout::captionFor(QStringLiteral("Baud rate:"), m_baudRate);
    if (m_frames.size() > 1) {
        options->addRow(baudCaption, m_baudRate);
        column->addWidget(m_animation);
        auto* script = named(buttons->addButton(QStringLiteral("Save as &Script\u2026"), QDialogButtonBox::ActionRole),
                             "saveScript");
        connect(script, &QPushButton::clicked, this, [this] {
            m_asScript = true;
            accept();
        });
    } else {
        // Kept, unshown, so that the dialog still owns them.
        for (QWidget* unused : {static_cast<QWidget*>(m_baudRate), static_cast<QWidget*>(baudCaption),
                                static_cast<QWidget*>(m_animation)}) {
            unused->setParent(this);
            unused->hide();
        }
    }
    column->addWidget(buttons);

    redrawOnChange<PicturePreview>(this,
                                   {m_threshold, m_diffuse, m_atkinson, m_ordered, m_level, m_inverted, m_rotation,
                                    m_flipHorizontal, m_flipVertical, m_fit, m_baudRate},
                                   &PicturePreview::redraw);
    connect(m_block, &BlockChooser::changed, this, &PicturePreview::redraw);
    redraw();
}

PictureChoice PicturePreview::choice() const
{
    const Dither dither = m_diffuse->isChecked() ? Dither::Diffuse
        : m_atkinson->isChecked()                ? Dither::Atkinson
        : m_ordered->isChecked()                 ? Dither::Ordered
                                                 : Dither::Threshold;
    return {{dither, m_inverted->isChecked(), m_level->value()},
            m_rotation->currentIndex() * 90,
            m_flipHorizontal->isChecked(),
            m_flipVertical->isChecked(),
            Fit(m_fit->currentIndex())};
}

void PicturePreview::setChoice(const PictureChoice& choice)
{
    switch (choice.mono.dither) {
    case Dither::Threshold:
        m_threshold->setChecked(true);
        break;
    case Dither::Diffuse:
        m_diffuse->setChecked(true);
        break;
    case Dither::Atkinson:
        m_atkinson->setChecked(true);
        break;
    case Dither::Ordered:
        m_ordered->setChecked(true);
        break;
    }
    m_level->setValue(choice.mono.level);
    m_inverted->setChecked(choice.mono.inverted);
    m_rotation->setCurrentIndex(choice.rotation / 90);
    m_flipHorizontal->setChecked(choice.flipHorizontal);
    m_flipVertical->setChecked(choice.flipVertical);
    m_fit->setCurrentIndex(int(choice.fit));
    redraw();
}

PictureAnswer PicturePreview::answer() const
{
    return {choice(), m_block->choice(), m_asScript, m_baudRate->currentData().toInt()};
}

void PicturePreview::redraw()
{
    m_level->setEnabled(m_threshold->isChecked());
    const LcdBlock block = chosenBlock(m_block->choice());
    m_block->showBlock(block);
    if (m_frames.isEmpty())
        return;
    const PictureChoice chosen = choice();
    showPicture(m_realSize, m_enlarged, convertPicture(m_frames.constFirst().image, block, chosen));
    if (m_frames.size() > 1) {
        QList<QImage> monos;
        QList<int> delays;
        for (const SourceFrame& frame : std::as_const(m_frames)) {
            monos << convertPicture(frame.image, block, chosen);
            delays << frame.delayMs;
        }
        const int baud = m_baudRate->currentData().toInt();
        m_animation->setText(animationScript(monos, delays, block, baud, {}).summary(baud));
    }
}

TextPreview::TextPreview(const BlockChoice& block, QWidget* parent, PictureDialogs* dialogs)
    : QDialog(parent), m_dialogs(dialogs), m_block(new BlockChooser(block, true)),
      m_text(named(new QPlainTextEdit, "text")), m_font(choices("font", fontNames())), m_size(spin("size", 1, 64, 8)),
      m_bold(named(new QCheckBox(QStringLiteral("&Bold")), "bold")),
      m_italic(named(new QCheckBox(QStringLiteral("&Italic")), "italic")),
      m_scale(spin("scale", 1, kLargestFontScale, 1)),
      m_across(choices("across", {QStringLiteral("Left"), QStringLiteral("Centre"), QStringLiteral("Right")})),
      m_down(choices("down", {QStringLiteral("Top"), QStringLiteral("Middle"), QStringLiteral("Bottom")})),
      m_lineSpacing(spin("lineSpacing", -16, 32, 0)), m_rotation(rotations("rotation")),
      m_inverted(named(new QCheckBox(QStringLiteral("I&nverted")), "inverted")), m_note(named(new QLabel, "note")),
      m_realSize(framedPicture(QStringLiteral("realSize"))), m_enlarged(framedPicture(QStringLiteral("enlarged"))),
      m_ok(nullptr)
{
    setObjectName(QStringLiteral("TextPreview"));
    setWindowTitle(QStringLiteral("Load Text"));
    static QtPictureDialogs qtDialogs;
    if (!m_dialogs)
        m_dialogs = &qtDialogs;
    m_font->insertItem(kChooseBitmapFont, QStringLiteral("Bitmap font\u2026"));
    m_scale->setSuffix(QStringLiteral("\u00d7"));
    m_text->setTabChangesFocus(true);
    m_text->setFixedHeight(m_text->fontMetrics().lineSpacing() * 4 + 12);

    auto* style = new QHBoxLayout;
    style->addWidget(m_font, 1);
    style->addWidget(pagelayout::captionFor(QStringLiteral("Size (pixels):"), m_size));
    style->addWidget(m_size);
    style->addWidget(m_bold);
    style->addWidget(m_italic);
    style->addWidget(pagelayout::captionFor(QStringLiteral("Sc&ale:"), m_scale));
    style->addWidget(m_scale);
    auto* place = new QHBoxLayout;
    place->addWidget(m_across);
    place->addWidget(pagelayout::captionFor(QStringLiteral("Down:"), m_down));
    place->addWidget(m_down);
    place->addWidget(pagelayout::captionFor(QStringLiteral("Line spacing:"), m_lineSpacing));
    place->addWidget(m_lineSpacing);
    place->addWidget(pagelayout::captionFor(QStringLiteral("Turn:"), m_rotation));
    place->addWidget(m_rotation);
    place->addWidget(m_inverted);
    place->addStretch(1);
    auto* options = new QFormLayout;
    options->addRow(pagelayout::captionFor(QStringLiteral("&Text:"), m_text), m_text);
    options->addRow(pagelayout::captionFor(QStringLiteral("Font:"), m_font), style);
    options->addRow(pagelayout::captionFor(QStringLiteral("Across:"), m_across), place);
    options->addRow(pagelayout::captionFor(QStringLiteral("Block:"), m_block), m_block);

    auto* buttons = okCancel(this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    auto* column = new QVBoxLayout(this);
    column->addLayout(options);
    column->addLayout(pictureGrid(m_realSize, m_enlarged));
    column->addWidget(m_note);
    column->addWidget(buttons);

    redrawOnChange<TextPreview>(
        this, {m_text, m_size, m_bold, m_italic, m_scale, m_across, m_down, m_lineSpacing, m_rotation, m_inverted},
        &TextPreview::redraw);
    connect(m_font, &QComboBox::currentIndexChanged, this, &TextPreview::fontChosen);
    connect(m_block, &BlockChooser::changed, this, &TextPreview::redraw);
    redraw();
}

bool TextPreview::bitmapFont() const
{
    return !m_font->currentData().toString().isEmpty();
}

bool TextPreview::bitmapFile() const
{
    return bitmapFont() && isFontFile(m_font->currentData().toString());
}

int TextPreview::bitmapEntry(const QString& font)
{
    int at = m_font->findData(font);
    if (at < 0) {
        at = kChooseBitmapFont + 1;
        m_font->insertItem(at, QStringLiteral("%1 (bitmap)").arg(isFontFile(font) ? fontFileName(font) : font), font);
        m_font->setItemData(at, font, Qt::ToolTipRole);
    }
    return at;
}

void TextPreview::fontChosen(int index)
{
    if (index == kChooseBitmapFont) {
        const QString file = m_dialogs->chooseBitmapFont(this);
        const QSignalBlocker quiet(m_font);
        m_font->setCurrentIndex(file.isEmpty() ? m_lastFont : bitmapEntry(file));
    }
    m_lastFont = m_font->currentIndex();
    redraw();
}

TextChoice TextPreview::choice() const
{
    // A bitmap font's file is the face it has: its size, bold and italic
    // are its own. A name fontconfig knows takes them to find its face.
    const bool bitmap = bitmapFont();
    const bool file = bitmapFile();
    return {m_text->toPlainText(),
            bitmap ? m_font->currentData().toString() : m_font->currentText(),
            m_size->value(),
            !file && m_bold->isChecked(),
            !file && m_italic->isChecked(),
            Across(m_across->currentIndex()),
            Down(m_down->currentIndex()),
            m_lineSpacing->value(),
            m_rotation->currentIndex() * 90,
            m_inverted->isChecked(),
            bitmap ? m_scale->value() : 1};
}

void TextPreview::setChoice(const TextChoice& choice)
{
    m_text->setPlainText(choice.text);
    // A bitmap font, a file or a name that fontconfig knows as one and Qt
    // does not list, stands among the fonts as "Bitmap font..." puts it. A
    // family no longer installed is shown too, and said to be missing,
    // rather than put back silently by another.
    int font = isFontFile(choice.font) ? -1 : m_font->findText(choice.font);
    if (font < 0 && (isFontFile(choice.font)
                     || findBitmapFace(choice.font, choice.pixelSize, choice.bold, choice.italic))) {
        font = bitmapEntry(choice.font);
    } else if (font < 0) {
        m_font->addItem(choice.font);
        font = m_font->count() - 1;
    }
    m_font->setCurrentIndex(font);
    m_size->setValue(choice.pixelSize);
    m_bold->setChecked(choice.bold);
    m_italic->setChecked(choice.italic);
    m_across->setCurrentIndex(int(choice.across));
    m_down->setCurrentIndex(int(choice.down));
    m_lineSpacing->setValue(choice.lineSpacing);
    m_rotation->setCurrentIndex(choice.rotation / 90);
    m_inverted->setChecked(choice.inverted);
    m_scale->setValue(choice.scale);
    redraw();
}

TextAnswer TextPreview::answer() const
{
    return {choice(), m_block->choice()};
}

void TextPreview::redraw()
{
    const bool bitmap = bitmapFont();
    for (QWidget* faceChoice : {static_cast<QWidget*>(m_size), static_cast<QWidget*>(m_bold),
                                static_cast<QWidget*>(m_italic)})
        faceChoice->setEnabled(!bitmapFile());
    m_scale->setEnabled(bitmap);
    const TextChoice text = choice();
    const LcdBlock block = chosenBlock(m_block->choice(), text);
    m_block->showBlock(block);
    const RenderedText rendered = renderText(text, block);
    m_ok->setEnabled(rendered.error.isEmpty());
    if (!rendered.error.isEmpty()) {
        m_note->setText(rendered.error);
        return;
    }
    showPicture(m_realSize, m_enlarged, rendered.mono);
    m_note->setText(textNote(rendered, block, text.rotation));
}

} // namespace varnix::transfer
