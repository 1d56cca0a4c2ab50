#pragma once

#include <QObject>

class QLabel;
class QPushButton;
class QRadioButton;

namespace varnix {

class Main;
class LineField;
class ListBox;

// The page "Bar": a filled bar from a top left corner, with width, length,
// orientation and fill step.
class BarPage : public QObject
{
    Q_OBJECT
public:
    explicit BarPage(Main& main);

private:
    Main& m_main;
    LineField* m_txtbarx;
    LineField* m_txtbary;
    LineField* m_txtbarwidth;
    LineField* m_txtbarheight;
    QLabel* m_Label70;
    ListBox* m_List3;
    // Members of the window's page option group, not of a group of their own.
    QRadioButton* m_optbarh;
    QRadioButton* m_optbarv;
    QPushButton* m_cmdbar;
};

} // namespace varnix
