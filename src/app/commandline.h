#pragma once

#include <cstdlib>
#include <initializer_list>

namespace varnix {

// Whether Qt can reach a display. Without one, Qt aborts with several lines
// and a core dump; the programs say it in one line instead.
inline bool displayAvailable()
{
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

} // namespace varnix
