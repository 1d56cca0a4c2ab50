// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "transfer/picturedialogs.h"

#include <QObject>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QPushButton;

namespace varnix {

class PageHost;
class TextArea;

namespace transfer {

// The picture buttons of the page "LCD Read/Write". Load Picture fits a
// picture file into a block and puts the block's bytes into the text area as
// hex pairs, for Reformat and Write to send like any block; an animation can
// be saved as a script instead. Load Text does the same with a text. Their
// dialogs choose the block, starting from the page's corners, and the corner
// fields take the block chosen. Save Picture saves the block of the page's
// corners that the text area holds (a read's reply, or what Load put there)
// as a picture, one pixel per dot.
class LcdPictures : public QObject
{
    Q_OBJECT
public:
    // The page's corners as whole numbers in the order X1, X2, Y1, Y2, or
    // nothing once a message has refused one.
    using Corners = std::function<std::optional<std::array<std::int64_t, 4>>()>;
    // Puts a block's corners into the page's fields.
    using SetCorners = std::function<void(const LcdBlock&)>;

    // `loaded` runs after Load has replaced the text area's text.
    LcdPictures(PageHost& host, TextArea* txtlcd, Corners corners, SetCorners setCorners,
                std::function<void()> loaded, QObject* parent = nullptr);

    QPushButton* cmdlcdloadpic() const { return m_cmdlcdloadpic; }
    QPushButton* cmdlcdsavepic() const { return m_cmdlcdsavepic; }
    QPushButton* cmdlcdloadtext() const { return m_cmdlcdloadtext; }

    // Qt's dialogs unless others are given; they must outlive the page.
    void setDialogs(PictureDialogs& dialogs) { m_dialogs = &dialogs; }

    void cmdlcdloadpic_Click();
    void cmdlcdsavepic_Click();
    void cmdlcdloadtext_Click();

private:
    // The block of the corners, or nothing once a message has refused them.
    std::optional<LcdBlock> block();
    // Where a dialog's block starts: the page's corners, or nothing once a
    // message has refused one. The page's first corners (a single byte) or
    // corners that make no block start a text fitted to its size, a picture
    // on the whole display.
    std::optional<render::BlockChoice> startingBlock(bool forText);
    // The block's picture into the text area and its corners into the
    // page's, as Load puts them there.
    void load(const QImage& mono, const LcdBlock& block);
    void saveAnimation(const QList<render::SourceFrame>& frames, const LcdBlock& block, const PictureAnswer& answer,
                       const QString& title);

    PageHost& m_host;
    TextArea* m_txtlcd;
    Corners m_corners;
    SetCorners m_setCorners;
    std::function<void()> m_loaded;
    QPushButton* m_cmdlcdloadpic;
    QPushButton* m_cmdlcdsavepic;
    QPushButton* m_cmdlcdloadtext;
    QtPictureDialogs m_qtDialogs;
    PictureDialogs* m_dialogs = &m_qtDialogs;
};

} // namespace transfer
} // namespace varnix
