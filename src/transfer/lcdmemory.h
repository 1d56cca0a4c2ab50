#pragma once

#include <QObject>

class QLabel;
class QPushButton;

namespace varnix {

class Main;
class LineField;
class TextArea;

// The page "LCD Read/Write": the corners of a block of the LCD map, the
// block's bytes as hex pairs, and the buttons that write and read it.
class LcdMemory : public QObject
{
    Q_OBJECT
public:
    explicit LcdMemory(Main& main);

private:
    Main& m_main;
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
};

} // namespace varnix
