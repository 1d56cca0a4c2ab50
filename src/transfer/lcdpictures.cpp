// SPDX-License-Identifier: GPL-3.0-or-later
#include "transfer/lcdpictures.h"

#include "transfer/transferkit.h"
#include "widgets/fields.h"
#include "widgets/pagehost.h"
#include "widgets/pagelayout.h"

#include <QFileInfo>
#include <QPushButton>

namespace varnix::transfer {

using namespace render;

LcdPictures::LcdPictures(PageHost& host, TextArea* txtlcd, Corners corners, SetCorners setCorners,
                         std::function<void()> loaded, QObject* parent)
    : QObject(parent), m_host(host), m_txtlcd(txtlcd), m_corners(std::move(corners)),
      m_setCorners(std::move(setCorners)), m_loaded(std::move(loaded)),
      m_cmdlcdloadpic(pagelayout::button(QStringLiteral("cmdlcdloadpic"), QStringLiteral("Load Pic&ture\u2026"))),
      m_cmdlcdsavepic(pagelayout::button(QStringLiteral("cmdlcdsavepic"), QStringLiteral("Save P&icture\u2026"))),
      m_cmdlcdloadtext(pagelayout::button(QStringLiteral("cmdlcdloadtext"), QStringLiteral("Loa&d Text\u2026")))
{
    connect(m_cmdlcdloadpic, &QPushButton::clicked, this, &LcdPictures::cmdlcdloadpic_Click);
    connect(m_cmdlcdsavepic, &QPushButton::clicked, this, &LcdPictures::cmdlcdsavepic_Click);
    connect(m_cmdlcdloadtext, &QPushButton::clicked, this, &LcdPictures::cmdlcdloadtext_Click);
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

std::optional<BlockChoice> LcdPictures::startingBlock(bool forText)
{
    const auto corners = m_corners();
    if (!corners)
        return std::nullopt;
    const auto block = LcdBlock::of(*corners);
    if (!block)
        return BlockChoice{LcdBlock{}, true, forText};
    if (block->bytes() == 1)
        return BlockChoice{*block, !forText, forText};
    return BlockChoice{*block, false, false};
}

void LcdPictures::load(const QImage& mono, const LcdBlock& block)
{
    m_setCorners(block);
    m_txtlcd->setExactText(blockHex(mono, block));
    if (m_loaded)
        m_loaded();
}

void LcdPictures::cmdlcdloadpic_Click()
{
    const auto start = startingBlock(false);
    if (!start)
        return;
    QWidget* window = m_cmdlcdloadpic->window();
    const QStringList paths = m_dialogs->openPictures(window, pictureFilter());
    if (paths.isEmpty())
        return;
    const SourceFrames read = readFrames(paths);
    if (!read.error.isEmpty()) {
        m_host.message(read.error + QStringLiteral(" Nothing was changed."));
        return;
    }
    const auto answer = m_dialogs->choosePicture(window, read.frames, *start);
    if (!answer)
        return;
    const LcdBlock block = chosenBlock(answer->block);
    if (answer->asScript)
        saveAnimation(read.frames, block, *answer, QFileInfo(paths.constFirst()).fileName());
    else
        load(convertPicture(read.frames.constFirst().image, block, answer->choice), block);
}

void LcdPictures::saveAnimation(const QList<SourceFrame>& frames, const LcdBlock& block, const PictureAnswer& answer,
                                const QString& title)
{
    const QString path = m_dialogs->saveScript(m_cmdlcdloadpic->window());
    if (path.isEmpty())
        return;
    QList<QImage> monos;
    QList<int> delays;
    for (const SourceFrame& frame : frames) {
        monos << convertPicture(frame.image, block, answer.choice);
        delays << frame.delayMs;
    }
    const QString error = render::saveScript(animationScript(monos, delays, block, answer.baudRate, title).text, path);
    if (!error.isEmpty())
        m_host.message(error);
}

void LcdPictures::cmdlcdloadtext_Click()
{
    const auto start = startingBlock(true);
    if (!start)
        return;
    const auto answer = m_dialogs->chooseText(m_cmdlcdloadtext->window(), *start);
    if (!answer)
        return;
    const LcdBlock block = chosenBlock(answer->block, answer->text);
    const RenderedText rendered = renderText(answer->text, block);
    if (!rendered.error.isEmpty()) {
        m_host.message(rendered.error + QStringLiteral(" Nothing was changed."));
        return;
    }
    load(rendered.mono, block);
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
