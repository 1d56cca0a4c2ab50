#pragma once

#include <QObject>

class QPushButton;
class QRadioButton;

namespace varnix {

class Main;
class LineField;

// The pages "SetDot" (one dot, or a run of dots) and "ResetDot" (toggle one
// dot).
class Dots : public QObject
{
    Q_OBJECT
public:
    explicit Dots(Main& main);

private:
    void buildSetDot(QWidget* page);
    void buildResetDot(QWidget* page);

    Main& m_main;
    // Group "Single".
    LineField* m_txtDotSingX = nullptr;
    LineField* m_txtDotSingy = nullptr;
    QPushButton* m_Command3 = nullptr;
    // Group "Many".
    LineField* m_txtDotManyx = nullptr;
    LineField* m_txtDotManyy = nullptr;
    LineField* m_txtDotnum = nullptr;
    QRadioButton* m_optHoriz = nullptr;
    QRadioButton* m_optVert = nullptr;
    QPushButton* m_Command4 = nullptr;

    LineField* m_txtResetx = nullptr;
    LineField* m_txtResety = nullptr;
    QPushButton* m_cmdResetDot = nullptr;
};

} // namespace varnix
