#pragma once

#include <QObject>

class QPushButton;

namespace varnix {

class Main;
class LineField;

// The pages "PutByte" (a byte drawn vertically at x,y) and "PutChar" (one
// character at x,y).
class PutItems : public QObject
{
    Q_OBJECT
public:
    explicit PutItems(Main& main);

private:
    void buildPutByte(QWidget* page);
    void buildPutChar(QWidget* page);

    Main& m_main;
    LineField* m_txtPutBytex = nullptr;
    LineField* m_txtPutBytey = nullptr;
    LineField* m_txtPutByte = nullptr;
    QPushButton* m_cmdPutByte = nullptr;

    LineField* m_txtPutChrx = nullptr;
    LineField* m_txtPutchry = nullptr;
    LineField* m_txtPutChr = nullptr;
    QPushButton* m_cmdPutChr = nullptr;
};

} // namespace varnix
