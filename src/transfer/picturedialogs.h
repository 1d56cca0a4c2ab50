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

// What the picture dialog was left with: the choice, and whether the
// picture (an animation) is to be saved as a script rather than loaded.
struct PictureAnswer {
    render::PictureChoice choice;
    bool asScript = false;
    int baudRate = 19200;
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
    // Shows the frames as the block will hold them, for the choices the
    // user tries; the answer, nothing on Cancel.
    virtual std::optional<PictureAnswer> choosePicture(QWidget* parent, const QList<render::SourceFrame>& frames,
                                                       const LcdBlock& block) = 0;
    virtual SaveTarget savePicture(QWidget* parent) = 0;
    // Where "Save as Script..." writes; empty when the user cancelled.
    virtual QString saveScript(QWidget* parent) = 0;
    // The text to put into the block, nothing on Cancel.
    virtual std::optional<render::TextChoice> chooseText(QWidget* parent, const LcdBlock& block) = 0;
};

class QtPictureDialogs : public PictureDialogs
{
public:
    QStringList openPictures(QWidget* parent, const QString& filter) override;
    std::optional<PictureAnswer> choosePicture(QWidget* parent, const QList<render::SourceFrame>& frames,
                                               const LcdBlock& block) override;
    // Qt's own file dialog (not the desktop's), which has room for the
    // choice of the enlarged copy.
    SaveTarget savePicture(QWidget* parent) override;
    QString saveScript(QWidget* parent) override;
    std::optional<render::TextChoice> chooseText(QWidget* parent, const LcdBlock& block) override;
};

// The first frame in black and white at its real size and enlarged, redrawn
// at every change of the choices; for an animation, the time each frame
// takes on the line. OK loads the (first) frame, "Save as Script..." the
// whole animation.
class PicturePreview : public QDialog
{
    Q_OBJECT
public:
    PicturePreview(const QList<render::SourceFrame>& frames, const LcdBlock& block, QWidget* parent = nullptr);
    render::PictureChoice choice() const;
    PictureAnswer answer() const;

private:
    void redraw();

    QList<render::SourceFrame> m_frames;
    LcdBlock m_block;
    bool m_asScript = false;
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
// every change; a font that is not installed or a text that does not fit is
// said so under it.
class TextPreview : public QDialog
{
    Q_OBJECT
public:
    explicit TextPreview(const LcdBlock& block, QWidget* parent = nullptr);
    render::TextChoice choice() const;

private:
    void redraw();

    LcdBlock m_block;
    QPlainTextEdit* m_text;
    QComboBox* m_font;
    QSpinBox* m_size;
    QCheckBox* m_bold;
    QCheckBox* m_italic;
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
