// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace varnix {

class PageHost;

// Binds the leave-field checks of the drawing fields found on a page: each
// time the focus leaves such a field, a value out of its range is refused
// with a message and replaced by a fixed text. Fields without a check are
// left alone.
void bindLeaveFieldChecks(PageHost& host, QWidget* page);

} // namespace varnix
