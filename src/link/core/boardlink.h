// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace varnix::link {

// Where a running virtual board makes its device known: a symbolic link in
// a folder of this user's own, in the user's runtime folder when there is
// one ($XDG_RUNTIME_DIR, else /run/user/UID), else under /tmp.
QString virtualBoardLink();

// Makes the link's folder, for this user alone. False when it cannot, or
// when the folder is someone else's or open to others.
bool makeVirtualBoardFolder(const QString& linkPath);

// The device behind a virtual board's link; empty when no board is there, or
// when the link does not stand in a folder of this user's own (then anyone
// could have put it there).
QString virtualBoardDevice(const QString& linkPath);

} // namespace varnix::link
