// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/receive.h"

namespace varnix::link {

QString normaliseLineEnds(QStringView received)
{
    QString out;
    out.reserve(received.size() + received.size() / 16);
    for (const QChar c : received) {
        if (c == u'\n')
            continue;
        out += c;
        if (c == u'\r')
            out += u'\n';
    }
    return out;
}

} // namespace varnix::link
