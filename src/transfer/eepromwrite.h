// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <cstdint>

class QButtonGroup;
class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

namespace varnix {

class PageHost;
class LineField;
class TextArea;

// The page "Write EEprom": start address, the bytes to write as hex pairs,
// the EEPROM to write, and the Reformat / Write buttons.
class EepromWrite : public QObject
{
    Q_OBJECT
public:
    // Its two EEPROM options join the page option group.
    EepromWrite(PageHost& host, QWidget* page, QButtonGroup& pageOptions, QObject* parent = nullptr);

    void txtewaddr_LostFocus();
    void cmdechk_Click();
    void cmdewrite_Click();
    void cmdepaste_Click();
    void cmdeclr_Click();

private:
    // Reformat enabled and Write disabled until a Reformat passes; the
    // other way round after it.
    void showFormatted(bool formatted);

    PageHost& m_host;
    LineField* m_txtewaddr;
    QLabel* m_lbleend;
    TextArea* m_txtewrite;
    QRadioButton* m_optWeep1;
    QRadioButton* m_optweep2;
    QPushButton* m_cmdepaste;
    QPushButton* m_cmdechk;
    QPushButton* m_cmdeclr;
    QPushButton* m_cmdewrite;
    // The last address of the block, set by Reformat and sent by Write.
    std::int32_t m_endAddress = 0;
};

} // namespace varnix
