#pragma once

#include <QObject>

class QLabel;
class QPushButton;
class QRadioButton;

namespace varnix {

class Main;
class LineField;
class TextArea;

// The page "Read EEprom": start address and count, the end address they
// give, the EEPROM to read, and the text area that takes the board's reply.
class EepromRead : public QObject
{
    Q_OBJECT
public:
    explicit EepromRead(Main& main);

private:
    Main& m_main;
    LineField* m_txteraddr;
    LineField* m_txtebytes;
    QLabel* m_readeep;
    // Members of the window's page option group, not of a group of their own.
    QRadioButton* m_optxeep1;
    QRadioButton* m_optxeep2;
    QPushButton* m_cmderead;
    TextArea* m_txteread;
    QPushButton* m_cmdecopy;
    QPushButton* m_cmdereadclr;
};

} // namespace varnix
