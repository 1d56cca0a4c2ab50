// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "render/animation.h"
#include "render/picture.h"
#include "render/text.h"

#include <QDialog>
#include <QImage>
#include <QString>
#include <QStringList>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QWidget;

namespace varnix::transfer {

using render::LcdBlock;

// Where a block's picture is saved, and whether its enlarged copy goes
// beside it (see enlargedPath()). An empty path: the user cancelled.
struct SaveTarget {
    QString path;
    bool enlarged = false;
};

// What the picture dialog was left with: the choice, the block, and whether
// the picture (an animation) is to be saved as a script rather than loaded.
struct PictureAnswer {
    render::PictureChoice choice;
    render::BlockChoice block;
    bool asScript = false;
    int baudRate = 19200;
};

// What the text dialog was left with.
struct TextAnswer {
    render::TextChoice text;
    render::BlockChoice block;
};

// The dialogs of the LCD page's picture and text buttons. The program uses
// QtPictureDialogs; tests answer at once instead of blocking.
class PictureDialogs
{
public:
    virtual ~PictureDialogs() = default;
    // The picture file, or the numbered files of an animation, to load;
    // empty when the user cancelled.
    virtual QStringList openPictures(QWidget* parent, const QString& filter) = 0;
    // Shows the frames as the block will hold them, for the choices and the
    // block the user tries, starting from `block`; the answer, nothing on
    // Cancel.
    virtual std::optional<PictureAnswer> choosePicture(QWidget* parent, const QList<render::SourceFrame>& frames,
                                                       const render::BlockChoice& block) = 0;
    virtual SaveTarget savePicture(QWidget* parent) = 0;
    // Where "Save as Script..." writes; empty when the user cancelled.
    virtual QString saveScript(QWidget* parent) = 0;
    // The text and its block, starting from `block`; nothing on Cancel.
    virtual std::optional<TextAnswer> chooseText(QWidget* parent, const render::BlockChoice& block) = 0;
    // The file of the text dialog's "Bitmap font...": one that fontconfig
    // knows or any BDF or PCF file; empty when the user cancelled.
    virtual QString chooseBitmapFont(QWidget* parent) = 0;
    // The same dialogs started from the choices a text or picture was made
    // with, to change them: the screen editor's. Without dialogs of its
    // own, an implementer starts them afresh.
    virtual std::optional<TextAnswer> changeText(QWidget* parent, const TextAnswer& start)
    {
        return chooseText(parent, start.block);
    }
    virtual std::optional<PictureAnswer> changePicture(QWidget* parent, const QList<render::SourceFrame>& frames,
                                                       const PictureAnswer& start)
    {
        return choosePicture(parent, frames, start.block);
    }
};

class QtPictureDialogs : public PictureDialogs
{
public:
    QStringList openPictures(QWidget* parent, const QString& filter) override;
    std::optional<PictureAnswer> choosePicture(QWidget* parent, const QList<render::SourceFrame>& frames,
                                               const render::BlockChoice& block) override;
    // Qt's own file dialog (not the desktop's), which has room for the
    // choice of the enlarged copy.
    SaveTarget savePicture(QWidget* parent) override;
    QString saveScript(QWidget* parent) override;
    std::optional<TextAnswer> chooseText(QWidget* parent, const render::BlockChoice& block) override;
    QString chooseBitmapFont(QWidget* parent) override;
    std::optional<TextAnswer> changeText(QWidget* parent, const TextAnswer& start) override;
    std::optional<PictureAnswer> changePicture(QWidget* parent, const QList<render::SourceFrame>& frames,
                                               const PictureAnswer& start) override;
};

// The text dialog's "Bitmap font...": the bitmap fonts fontconfig knows, or
// a file of one through "File...".
class BitmapFontChooser : public QDialog
{
    Q_OBJECT
public:
    explicit BitmapFontChooser(QWidget* parent = nullptr);
    // The font's file; empty while none is chosen.
    QString chosen() const;

private:
    QListWidget* m_faces;
    QString m_file;
};

// The block of a dialog: its corners, columns 0 to 127 and rows 0 to 7 as the
// LCD page takes them, "Whole display", and for a text "Fit to text"; under
// them, where the block they make lies.
class BlockChooser : public QWidget
{
    Q_OBJECT
public:
    BlockChooser(const render::BlockChoice& start, bool forText, QWidget* parent = nullptr);
    render::BlockChoice choice() const;
    // Says where the block lies, once the dialog has worked it out.
    void showBlock(const LcdBlock& block);

signals:
    void changed();

private:
    void cornerChanged(QSpinBox* corner);
    void showWhole(bool whole);
    LcdBlock cornerValues() const;

    QSpinBox* m_x1;
    QSpinBox* m_x2;
    QSpinBox* m_y1;
    QSpinBox* m_y2;
    QCheckBox* m_whole;
    QCheckBox* m_fit;
    QLabel* m_place;
    LcdBlock m_kept; // the corners' place while the whole display is chosen
};

// The first frame in black and white at its real size and enlarged, redrawn
// at every change of the choices; for an animation, the time each frame
// takes on the line. OK loads the (first) frame, "Save as Script..." the
// whole animation.
class PicturePreview : public QDialog
{
    Q_OBJECT
public:
    PicturePreview(const QList<render::SourceFrame>& frames, const render::BlockChoice& block,
                   QWidget* parent = nullptr);
    render::PictureChoice choice() const;
    PictureAnswer answer() const;
    // Shows the choices a picture was made with.
    void setChoice(const render::PictureChoice& choice);

private:
    void redraw();

    QList<render::SourceFrame> m_frames;
    bool m_asScript = false;
    BlockChooser* m_block;
    QRadioButton* m_threshold;
    QRadioButton* m_diffuse;
    QRadioButton* m_atkinson;
    QRadioButton* m_ordered;
    QSpinBox* m_level;
    QCheckBox* m_inverted;
    QComboBox* m_rotation;
    QCheckBox* m_flipHorizontal;
    QCheckBox* m_flipVertical;
    QComboBox* m_fit;
    QComboBox* m_baudRate;
    QLabel* m_animation;
    QLabel* m_realSize;
    QLabel* m_enlarged;
};

// The text as the block will hold it, at real size and enlarged, redrawn at
// every change; what the text measures, a font that is not installed or a
// text that does not fit is said under it, and the characters its font
// lacks. "Bitmap font..." among the fonts asks `dialogs` for one (Qt's
// when none is given), which then stays among them.
class TextPreview : public QDialog
{
    Q_OBJECT
public:
    explicit TextPreview(const render::BlockChoice& block, QWidget* parent = nullptr,
                         PictureDialogs* dialogs = nullptr);
    render::TextChoice choice() const;
    TextAnswer answer() const;
    // Shows the choices a text was made with.
    void setChoice(const render::TextChoice& choice);

private:
    void redraw();
    void fontChosen(int index);
    bool bitmapFont() const;
    bool bitmapFile() const;
    // The index of a bitmap font among the fonts, put there if it is not.
    int bitmapEntry(const QString& font);

    PictureDialogs* m_dialogs;
    BlockChooser* m_block;
    QPlainTextEdit* m_text;
    QComboBox* m_font;
    int m_lastFont = 0; // the font before "Bitmap font...", kept when it is cancelled
    QSpinBox* m_size;
    QCheckBox* m_bold;
    QCheckBox* m_italic;
    QSpinBox* m_scale;
    QComboBox* m_across;
    QComboBox* m_down;
    QSpinBox* m_lineSpacing;
    QComboBox* m_rotation;
    QCheckBox* m_inverted;
    QLabel* m_note;
    QLabel* m_realSize;
    QLabel* m_enlarged;
    QPushButton* m_ok;
};

} // namespace varnix::transfer
