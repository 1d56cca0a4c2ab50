// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QButtonGroup;
class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

namespace varnix {

class PageHost;
class LineField;
class TextArea;

namespace transfer {
class ReplyCapture;
}

// The page "Read EEprom": start address and count, the end address they
// give, the EEPROM to read, and the text area that takes the board's reply.
class EepromRead : public QObject
{
    Q_OBJECT
public:
    // Its two EEPROM options join the page option group, "External" chosen.
    EepromRead(PageHost& host, QWidget* page, QButtonGroup& pageOptions, QObject* parent = nullptr);

    void txteraddr_LostFocus();
    void txtebytes_LostFocus();
    void cmderead_Click();
    void cmderead_LostFocus();
    void cmdecopy_Click();
    void cmdereadclr_Click();

private:
    // Rewrites the field the focus left and shows the end address.
    void showEndAddress(LineField* left);

    PageHost& m_host;
    LineField* m_txteraddr;
    LineField* m_txtebytes;
    QLabel* m_readeep;
    QRadioButton* m_optxeep1;
    QRadioButton* m_optxeep2;
    QPushButton* m_cmderead;
    TextArea* m_txteread;
    QPushButton* m_cmdecopy;
    QPushButton* m_cmdereadclr;
    transfer::ReplyCapture* m_reply;
};

} // namespace varnix
