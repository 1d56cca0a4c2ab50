// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/drawingpages.h"

#include <QObject>

class QPushButton;
class QWidget;

namespace varnix {

class PageHost;
class LineField;

// The pages " Rectangle / Lines" (two corners and a dash step) and "Line"
// (two end points).
class RectangleLine : public QObject, public DrawingPages
{
    Q_OBJECT
public:
    RectangleLine(PageHost& host, QWidget* rectanglePage, QWidget* linePage, QObject* parent = nullptr);

    void cmdRect_Click();
    // Refuses a line whose end lies left of or above its beginning.
    void cmdLine_Click();
    protocol::FrameResult rectangle() const;
    // The board draws lines from left to right and from top to bottom only.
    bool lineInOrder() const;
    protocol::FrameResult line() const;
    QStringList previewFrames(const QWidget* page) const override;

private:
    void buildRectangle(QWidget* page);
    void buildLine(QWidget* page);

    PageHost& m_host;
    QWidget* m_rectanglePage;
    QWidget* m_linePage;
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
