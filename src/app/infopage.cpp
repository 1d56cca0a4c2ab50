#include "app/infopage.h"

#include <QLabel>
#include <QVBoxLayout>

namespace varnix {

void buildInfoPage(QWidget* page)
{
    auto* Label88 = new QLabel(page);
    Label88->setObjectName(QStringLiteral("Label88"));
    Label88->setWordWrap(true);
    Label88->setText(QStringLiteral(
        "Varnix is a companion for the Tessel graphic LCD controller board running the Lumdra "
        "demonstration firmware. Each page of this window sends one of the firmware's commands over "
        "the serial port, and the terminal shows what the board answers. The Tessel board can be "
        "built from its published plans or bought ready made. For more about the board, its "
        "firmware or this program, ask the people who supplied your board or the Lumdra "
        "user community."));
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(Label88);
    layout->addStretch(1);
}

} // namespace varnix
