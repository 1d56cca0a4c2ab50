// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/frames.h"

#include <QStringList>

#include <array>
#include <cstddef>

class QWidget;

namespace varnix {

// A family of drawing pages, asked what a page would draw: the frames its
// buttons would send now, composed from the fields as they read. Nothing is
// sent, no message is shown and no field changes, so the window can preview
// the drawing while the user fills the page in.
class DrawingPages
{
public:
    virtual ~DrawingPages() = default;
    // Empty for a page that is not the family's, or whose fields make no frame.
    virtual QStringList previewFrames(const QWidget* page) const = 0;

protected:
    static QStringList framesOf(const protocol::FrameResult& frame)
    {
        return frame.ok() ? QStringList{frame.frame} : QStringList{};
    }
    // For a family built from a table of alike pages, each knowing its widget:
    // the frame of the table's entry whose page it is.
    template <typename Page, std::size_t N, typename Frame>
    static QStringList framesOfEntry(const std::array<Page, N>& pages, const QWidget* page, Frame frame)
    {
        for (std::size_t entry = 0; entry < N; ++entry) {
            if (pages[entry].widget == page)
                return framesOf(frame(int(entry)));
        }
        return {};
    }
};

} // namespace varnix
