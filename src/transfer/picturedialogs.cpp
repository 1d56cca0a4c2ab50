// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/picturedialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QRadioButton>
#include <QVBoxLayout>

namespace varnix::transfer {

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
} // namespace

QString QtPictureDialogs::openPicture(QWidget* parent, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Load Picture"), QString(), filter);
}

std::optional<MonoChoice> QtPictureDialogs::choosePicture(QWidget* parent, const QImage& fitted)
{
    PicturePreview preview(fitted, parent);
    if (preview.exec() != QDialog::Accepted)
        return std::nullopt;
    return preview.choice();
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
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return {dialog.selectedFiles().constFirst(), enlarged->isChecked()};
}

PicturePreview::PicturePreview(const QImage& fitted, QWidget* parent)
    : QDialog(parent), m_fitted(fitted),
      m_threshold(new QRadioButton(QStringLiteral("&Threshold"))),
      m_diffuse(new QRadioButton(QStringLiteral("&Diffusion"))),
      m_inverted(new QCheckBox(QStringLiteral("&Inverted"))),
      m_realSize(framedPicture(QStringLiteral("realSize"))),
      m_enlarged(framedPicture(QStringLiteral("enlarged")))
{
    setObjectName(QStringLiteral("PicturePreview"));
    setWindowTitle(QStringLiteral("Load Picture"));
    m_threshold->setObjectName(QStringLiteral("threshold"));
    m_diffuse->setObjectName(QStringLiteral("diffusion"));
    m_inverted->setObjectName(QStringLiteral("inverted"));
    m_threshold->setChecked(true);

    auto* pictures = new QGridLayout;
    pictures->addWidget(new QLabel(QStringLiteral("Real size:")), 0, 0, Qt::AlignTop);
    pictures->addWidget(m_realSize, 0, 1, Qt::AlignLeft | Qt::AlignTop);
    pictures->addWidget(new QLabel(QStringLiteral("Enlarged %1 times:").arg(kEnlargement)), 1, 0, Qt::AlignTop);
    pictures->addWidget(m_enlarged, 1, 1, Qt::AlignLeft | Qt::AlignTop);
    pictures->setColumnStretch(1, 1);

    auto* options = new QHBoxLayout;
    options->addWidget(m_threshold);
    options->addWidget(m_diffuse);
    options->addSpacing(24);
    options->addWidget(m_inverted);
    options->addStretch(1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* column = new QVBoxLayout(this);
    column->addLayout(pictures);
    column->addLayout(options);
    column->addWidget(buttons);

    connect(m_threshold, &QRadioButton::toggled, this, &PicturePreview::redraw);
    connect(m_inverted, &QCheckBox::toggled, this, &PicturePreview::redraw);
    redraw();
}

MonoChoice PicturePreview::choice() const
{
    return {m_diffuse->isChecked() ? Dither::Diffuse : Dither::Threshold, m_inverted->isChecked()};
}

void PicturePreview::redraw()
{
    const QImage mono = blackAndWhite(m_fitted, choice());
    m_realSize->setPixmap(QPixmap::fromImage(mono));
    m_enlarged->setPixmap(QPixmap::fromImage(mono.scaled(mono.size() * kEnlargement)));
}

} // namespace varnix::transfer
