#pragma once

#include <QObject>

class QLabel;
class QPushButton;
class QWidget;

namespace varnix {

class PageHost;
class LineField;
class TextArea;

// The page "LCD Read/Write": the corners of a block of the LCD map, the
// block's bytes as hex pairs, and the buttons that write and read it.
class LcdMemory : public QObject
{
    Q_OBJECT
public:
    LcdMemory(PageHost& host, QWidget* page, QObject* parent = nullptr);

private:
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
};

} // namespace varnix
