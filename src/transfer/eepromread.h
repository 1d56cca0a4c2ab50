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

// The page "Read EEprom": start address and count, the end address they
// give, the EEPROM to read, and the text area that takes the board's reply.
class EepromRead : public QObject
{
    Q_OBJECT
public:
    // Its two EEPROM options join the page option group, "External" chosen.
    EepromRead(PageHost& host, QWidget* page, QButtonGroup& pageOptions, QObject* parent = nullptr);

private:
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
};

} // namespace varnix
