// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "transfer/lcdpicture.h"

#include <QDialog>
#include <QImage>
#include <QString>

#include <optional>

class QCheckBox;
class QLabel;
class QRadioButton;
class QWidget;

namespace varnix::transfer {

// Where a block's picture is saved, and whether its enlarged copy goes
// beside it (see enlargedPath()). An empty path: the user cancelled.
struct SaveTarget {
    QString path;
    bool enlarged = false;
};

// The dialogs of the LCD page's picture buttons. The program uses
// QtPictureDialogs; tests answer at once instead of blocking.
class PictureDialogs
{
public:
    virtual ~PictureDialogs() = default;
    // The picture file to load; empty when the user cancelled.
    virtual QString openPicture(QWidget* parent, const QString& filter) = 0;
    // Shows the fitted picture as the block will hold it, for the choices
    // the user tries; the choice accepted, nothing on Cancel.
    virtual std::optional<MonoChoice> choosePicture(QWidget* parent, const QImage& fitted) = 0;
    virtual SaveTarget savePicture(QWidget* parent) = 0;
};

class QtPictureDialogs : public PictureDialogs
{
public:
    QString openPicture(QWidget* parent, const QString& filter) override;
    std::optional<MonoChoice> choosePicture(QWidget* parent, const QImage& fitted) override;
    // Qt's own file dialog (not the desktop's), which has room for the
    // choice of the enlarged copy.
    SaveTarget savePicture(QWidget* parent) override;
};

// The picture in black and white at its real size and enlarged, redrawn as
// the user picks threshold or diffusion and inverted; OK takes it.
class PicturePreview : public QDialog
{
    Q_OBJECT
public:
    explicit PicturePreview(const QImage& fitted, QWidget* parent = nullptr);
    MonoChoice choice() const;

private:
    void redraw();

    QImage m_fitted;
    QRadioButton* m_threshold;
    QRadioButton* m_diffuse;
    QCheckBox* m_inverted;
    QLabel* m_realSize;
    QLabel* m_enlarged;
};

} // namespace varnix::transfer
