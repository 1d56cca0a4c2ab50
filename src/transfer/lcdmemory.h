// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <array>
#include <cstdint>
#include <optional>

class QLabel;
class QPushButton;
class QWidget;

namespace varnix {

class PageHost;
class LineField;
class TextArea;

namespace protocol {
struct FieldText;
}
namespace render {
struct LcdBlock;
}
namespace transfer {
class ReplyCapture;
}

// The page "LCD Read/Write": the corners of a block of the LCD map, the
// block's bytes as hex pairs, and the buttons that write and read it.
class LcdMemory : public QObject
{
    Q_OBJECT
public:
    LcdMemory(PageHost& host, QWidget* page, QObject* parent = nullptr);

    void cmdlcdfmt_Click();
    void cmdwritelcd_Click();
    void txtlcd_Change();
    void cmdlcdpaste_Click();
    void lcrlcdtxt_Click();
    void cmdlcdread_Click();
    void cmdlcdread_LostFocus();
    void cdmlcdcopy_Click();

private:
    enum Corner { X1, X2, Y1, Y2, CornerCount };
    // The corner fields as the frames read them, in the order X1, X2, Y1, Y2.
    std::array<protocol::FieldText, CornerCount> cornerTexts() const;
    // The corners as whole numbers; a corner that is not one is refused by
    // name.
    std::optional<std::array<std::int64_t, CornerCount>> corners();
    void setCorners(const render::LcdBlock& block);

    PageHost& m_host;
    LineField* m_txtlcdx1;
    LineField* m_txtlcdy1;
    LineField* m_txtlcdx2;
    LineField* m_txtlcdy2;
    QLabel* m_xybytes;
    QLabel* m_txtbytes;
    TextArea* m_txtlcd;
    QPushButton* m_cmdlcdfmt;
    QPushButton* m_cmdwritelcd;
    QPushButton* m_cmdlcdpaste;
    QPushButton* m_lcrlcdtxt;
    QPushButton* m_cmdlcdread;
    QPushButton* m_cdmlcdcopy;
    transfer::ReplyCapture* m_reply;
};

} // namespace varnix
