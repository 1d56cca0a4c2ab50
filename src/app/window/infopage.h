// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace varnix {

// Fills the "INFO" page: what the program is for and where the board comes from.
void buildInfoPage(QWidget* page);

} // namespace varnix
