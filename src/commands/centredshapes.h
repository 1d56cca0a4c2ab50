// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commands/drawingpages.h"

#include <QObject>

#include <array>

class QPushButton;
class QWidget;

namespace varnix {

class PageHost;
class LineField;

// The pages "Circle", "Square", "Square45" and "Star4": each a centre, a size
// and one button that sends the shape's frame. The four differ only in their
// texts and names, so one table describes them.
class CentredShapes : public QObject, public DrawingPages
{
    Q_OBJECT
public:
    enum Shape { Circle, Square, Square45, Star4, ShapeCount };
    // Names, captions and start values of one shape's page.
    struct PageDesign;

    // The pages in the order of Shape.
    CentredShapes(PageHost& host, const std::array<QWidget*, ShapeCount>& pages, QObject* parent = nullptr);

    // Port guard, then the shape's frame from its page's three fields.
    void draw(Shape shape);
    protocol::FrameResult frame(Shape shape) const;
    QStringList previewFrames(const QWidget* page) const override;

    // Also the tab control's own event.
    void cmdCirc_Click() { draw(Circle); }
    void cmdSquare_Click() { draw(Square); }
    void cmdDiam_Click() { draw(Square45); }
    void Command2_Click() { draw(Star4); }

private:
    struct Page {
        const PageDesign* design = nullptr;
        QWidget* widget = nullptr;
        LineField* x = nullptr;
        LineField* y = nullptr;
        LineField* size = nullptr;
        QPushButton* button = nullptr;
    };

    void build(const PageDesign& design, QWidget* widget, Page& page);

    PageHost& m_host;
    std::array<Page, ShapeCount> m_pages{};
};

} // namespace varnix
