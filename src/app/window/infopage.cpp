// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/window/infopage.h"

#include "widgets/pagelayout.h"

#include <QLabel>

namespace varnix {

void buildInfoPage(QWidget* page)
{
    QLabel* Label88 = pagelayout::namedCaption(QStringLiteral("Label88"), QStringLiteral(
        "Varnix is a companion for the Tessel graphic LCD controller board running the Lumdra "
        "demonstration firmware. Each page of this window sends one of the firmware's commands over "
        "the serial port, and the terminal shows what the board answers. The Tessel board can be "
        "built from its published plans or bought ready made. For more about the board, its "
        "firmware or this program, ask the people who supplied your board or the Lumdra "
        "user community."));
    Label88->setWordWrap(true);
    pagelayout::Form(page).text(Label88);
}

} // namespace varnix
