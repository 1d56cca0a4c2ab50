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

// The pages "Horiz String" and "Vert String": a string and the point it
// starts from. The two pages are built alike; only names and texts differ.
class Strings : public QObject, public DrawingPages
{
    Q_OBJECT
public:
    enum Direction { Horizontal, Vertical, DirectionCount };
    // Names, start values and texts of one string page.
    struct PageDesign;

    // The pages in the order of Direction.
    Strings(PageHost& host, const std::array<QWidget*, DirectionCount>& pages, QObject* parent = nullptr);

    // Port guard, the string field upper-cased, then one frame for the
    // whole string.
    void place(Direction direction);
    // The frame of the string in capitals, as the button sends it.
    protocol::FrameResult frame(Direction direction) const;
    QStringList previewFrames(const QWidget* page) const override;
    void cmdH_Click() { place(Horizontal); }
    void cmdVs_Click() { place(Vertical); }

private:
    struct Page {
        QWidget* widget = nullptr;
        LineField* text = nullptr;
        LineField* x = nullptr;
        LineField* y = nullptr;
        QPushButton* button = nullptr;
    };

    void build(const PageDesign& design, QWidget* widget, Page& page);

    PageHost& m_host;
    std::array<Page, DirectionCount> m_pages{};
};

} // namespace varnix
