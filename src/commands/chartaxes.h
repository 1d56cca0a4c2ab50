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
class ListBox;

// The pages "X-Axis" and "Y-Axis": a starting point, a length and a tick
// spacing each. The two pages are built alike; only names and texts differ.
class ChartAxes : public QObject, public DrawingPages
{
    Q_OBJECT
public:
    enum Axis { XAxis, YAxis, AxisCount };
    // Names, start values and texts of one axis page.
    struct PageDesign;

    // The pages in the order of Axis.
    ChartAxes(PageHost& host, const std::array<QWidget*, AxisCount>& pages, QObject* parent = nullptr);

    // Port guard, then the axis from its start, its end (start plus length)
    // and its tick spacing.
    void draw(Axis axis);
    protocol::FrameResult frame(Axis axis) const;
    QStringList previewFrames(const QWidget* page) const override;
    void cmdXaxis_Click() { draw(XAxis); }
    void cmdyaxis_Click() { draw(YAxis); }

private:
    struct Page {
        QWidget* widget = nullptr;
        LineField* x = nullptr;
        LineField* y = nullptr;
        LineField* length = nullptr;
        ListBox* ticks = nullptr;
        QPushButton* button = nullptr;
    };

    void build(const PageDesign& design, QWidget* widget, Page& page);

    PageHost& m_host;
    std::array<Page, AxisCount> m_pages{};
};

} // namespace varnix
