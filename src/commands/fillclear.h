#pragma once

#include <QObject>

class QPushButton;

namespace varnix {

class Main;
class ListBox;

// The pages "FillScreen" (fill the display with a chosen step) and
// "ClearScreen".
class FillClear : public QObject
{
    Q_OBJECT
public:
    explicit FillClear(Main& main);

private:
    void buildFill(QWidget* page);
    void buildClear(QWidget* page);

    Main& m_main;
    ListBox* m_List2 = nullptr;
    QPushButton* m_cmdFill = nullptr;
    QPushButton* m_cmdClearLCD = nullptr;
};

} // namespace varnix
