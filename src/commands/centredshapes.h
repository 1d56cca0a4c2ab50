#pragma once

#include <QObject>

#include <array>

class QPushButton;

namespace varnix {

class Main;
class LineField;

// The pages "Circle", "Square", "Square45" and "Star4": each a centre, a size
// and one button that sends the shape's frame. The four differ only in their
// texts and names, so one table describes them.
class CentredShapes : public QObject
{
    Q_OBJECT
public:
    enum Shape { Circle, Square, Square45, Star4, ShapeCount };
    // Names, captions and start values of one shape's page.
    struct PageDesign;

    explicit CentredShapes(Main& main);

    // Also the tab control's own event.
    void cmdCirc_Click();

private:
    struct Page {
        const PageDesign* design = nullptr;
        LineField* x = nullptr;
        LineField* y = nullptr;
        LineField* size = nullptr;
        QPushButton* button = nullptr;
    };

    void build(const PageDesign& design, Page& page);

    Main& m_main;
    std::array<Page, ShapeCount> m_pages{};
};

} // namespace varnix
