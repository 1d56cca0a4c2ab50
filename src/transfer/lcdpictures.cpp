// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/lcdpictures.h"

#include "transfer/transferkit.h"
#include "widgets/fields.h"
#include "widgets/pagehost.h"
#include "widgets/pagelayout.h"

#include <QPushButton>

namespace varnix::transfer {

LcdPictures::LcdPictures(PageHost& host, TextArea* txtlcd, Corners corners, std::function<void()> loaded,
                         QObject* parent)
    : QObject(parent), m_host(host), m_txtlcd(txtlcd), m_corners(std::move(corners)), m_loaded(std::move(loaded)),
      m_cmdlcdloadpic(pagelayout::button(QStringLiteral("cmdlcdloadpic"), QStringLiteral("Load Pic&ture\u2026"))),
      m_cmdlcdsavepic(pagelayout::button(QStringLiteral("cmdlcdsavepic"), QStringLiteral("Save P&icture\u2026")))
{
    connect(m_cmdlcdloadpic, &QPushButton::clicked, this, &LcdPictures::cmdlcdloadpic_Click);
    connect(m_cmdlcdsavepic, &QPushButton::clicked, this, &LcdPictures::cmdlcdsavepic_Click);
}

std::optional<LcdBlock> LcdPictures::block()
{
    const auto corners = m_corners();
    if (!corners)
        return std::nullopt;
    if (!transfer::cornersInOrder(m_host, *corners))
        return std::nullopt;
    const auto block = LcdBlock::of(*corners);
    if (!block)
        m_host.message(QStringLiteral("A picture's block must lie on the display: X1 and X2 from 0 to %1, "
                                      "Y1 and Y2 from 0 to %2.")
                           .arg(kLcdColumns - 1)
                           .arg(kLcdRows - 1));
    return block;
}

void LcdPictures::cmdlcdloadpic_Click()
{
    const auto block = this->block();
    if (!block)
        return;
    QWidget* window = m_cmdlcdloadpic->window();
    const QString path = m_dialogs->openPicture(window, pictureFilter());
    if (path.isEmpty())
        return;
    const PictureFile file = readPicture(path);
    if (!file.error.isEmpty()) {
        m_host.message(file.error + QStringLiteral(" Nothing was changed."));
        return;
    }
    const QImage fitted = fitToBlock(file.image, *block);
    const auto choice = m_dialogs->choosePicture(window, fitted);
    if (!choice)
        return;
    m_txtlcd->setExactText(blockHex(blackAndWhite(fitted, *choice), *block));
    if (m_loaded)
        m_loaded();
}

void LcdPictures::cmdlcdsavepic_Click()
{
    const auto block = this->block();
    if (!block)
        return;
    const auto picture = blockPicture(m_txtlcd->exactText(), *block);
    if (!picture) {
        m_host.message(QStringLiteral("The text area does not hold the %1 bytes of the block from column %2 "
                                      "to %3 and row %4 to %5 as hex pairs: there is no picture to save.")
                           .arg(block->bytes())
                           .arg(block->x1)
                           .arg(block->x2)
                           .arg(block->y1)
                           .arg(block->y2));
        return;
    }
    const SaveTarget target = m_dialogs->savePicture(m_cmdlcdsavepic->window());
    if (target.path.isEmpty())
        return;
    const QString error = savePicture(*picture, target.path, target.enlarged);
    if (!error.isEmpty())
        m_host.message(error);
}

} // namespace varnix::transfer
