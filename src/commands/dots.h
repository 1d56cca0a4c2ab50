// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/drawingpages.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>

class QPushButton;
class QWidget;
class QRadioButton;

namespace varnix {

class PageHost;
class LineField;

// The pages "SetDot" (one dot, or a run of dots) and "ResetDot" (toggle one
// dot).
class Dots : public QObject, public DrawingPages
{
    Q_OBJECT
public:
    Dots(PageHost& host, QWidget* setDotPage, QWidget* resetDotPage, QObject* parent = nullptr);

    void Command3_Click();
    // A run of dots from the group "Many", one frame per dot.
    void Command4_Click();
    void cmdResetDot_Click();
    protocol::FrameResult singleFrame() const;
    protocol::FrameResult toggleFrame() const;
    // The dots of the run, one frame each, handed to `each` until it says
    // stop; a count too large for a run is handed over as one refused frame.
    void eachDotOfTheRun(const std::function<bool(const protocol::FrameResult&)>& each) const;
    QStringList previewFrames(const QWidget* page) const override;

private:
    void buildSetDot(QWidget* page);
    void buildResetDot(QWidget* page);

    PageHost& m_host;
    QWidget* m_setDotPage;
    QWidget* m_resetDotPage;
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
