// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

namespace varnix::link {

// Line ends as the receive window keeps them: every line feed the board sends
// is dropped and every carriage return gets one line feed behind it. A CR that
// ends one read and the LF that starts the next so make one line break.
QString normaliseLineEnds(QStringView received);

} // namespace varnix::link
