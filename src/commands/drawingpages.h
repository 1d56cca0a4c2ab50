#pragma once

#include "protocol/frames.h"

#include <QStringList>

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
};

} // namespace varnix
