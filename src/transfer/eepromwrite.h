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

// The page "Write EEprom": start address, the bytes to write as hex pairs,
// the EEPROM to write, and the Reformat / Write buttons.
class EepromWrite : public QObject
{
    Q_OBJECT
public:
    // Its two EEPROM options join the page option group.
    EepromWrite(PageHost& host, QWidget* page, QButtonGroup& pageOptions, QObject* parent = nullptr);

private:
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
};

} // namespace varnix
