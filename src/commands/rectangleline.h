#pragma once

#include <QObject>

class QPushButton;

namespace varnix {

class Main;
class LineField;

// The pages " Rectangle / Lines" (two corners and a dash step) and "Line"
// (two end points).
class RectangleLine : public QObject
{
    Q_OBJECT
public:
    explicit RectangleLine(Main& main);

private:
    void buildRectangle(QWidget* page);
    void buildLine(QWidget* page);

    Main& m_main;
    LineField* m_txtX1 = nullptr;
    LineField* m_txtY1 = nullptr;
    LineField* m_txtX2 = nullptr;
    LineField* m_txtY2 = nullptr;
    LineField* m_txtrs1 = nullptr;
    QPushButton* m_cmdRect = nullptr;

    LineField* m_txtLx1 = nullptr;
    LineField* m_txtLy1 = nullptr;
    LineField* m_txtLx2 = nullptr;
    LineField* m_txtLy2 = nullptr;
    QPushButton* m_cmdLine = nullptr;
};

} // namespace varnix
