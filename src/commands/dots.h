#pragma once

#include <QObject>

class QPushButton;
class QWidget;
class QRadioButton;

namespace varnix {

class PageHost;
class LineField;

// The pages "SetDot" (one dot, or a run of dots) and "ResetDot" (toggle one
// dot).
class Dots : public QObject
{
    Q_OBJECT
public:
    Dots(PageHost& host, QWidget* setDotPage, QWidget* resetDotPage, QObject* parent = nullptr);

    void Command3_Click();
    // A run of dots from the group "Many", one frame per dot.
    void Command4_Click();
    void cmdResetDot_Click();

private:
    void buildSetDot(QWidget* page);
    void buildResetDot(QWidget* page);

    PageHost& m_host;
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
