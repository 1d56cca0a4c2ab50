#pragma once

#include <QObject>

class QLabel;
class QPushButton;
class QRadioButton;

namespace varnix {

class Main;
class LineField;
class TextArea;

// The page "Write EEprom": start address, the bytes to write as hex pairs,
// the EEPROM to write, and the Reformat / Write buttons.
class EepromWrite : public QObject
{
    Q_OBJECT
public:
    explicit EepromWrite(Main& main);

private:
    Main& m_main;
    LineField* m_txtewaddr;
    QLabel* m_lbleend;
    TextArea* m_txtewrite;
    // Members of the window's page option group, not of a group of their own.
    QRadioButton* m_optWeep1;
    QRadioButton* m_optweep2;
    QPushButton* m_cmdepaste;
    QPushButton* m_cmdechk;
    QPushButton* m_cmdeclr;
    QPushButton* m_cmdewrite;
};

} // namespace varnix
