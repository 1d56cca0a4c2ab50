#include "commands/rectangleline.h"

#include "commands/fieldchecks.h"
#include "commands/guardedsend.h"
#include "protocol/numbers.h"
#include "widgets/fields.h"
#include "widgets/pagelayout.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace varnix {

using pagelayout::caption;
using pagelayout::field;
using pagelayout::fieldText;

RectangleLine::RectangleLine(PageHost& host, QWidget* rectanglePage, QWidget* linePage, QObject* parent)
    : QObject(parent), m_host(host)
{
    buildRectangle(rectanglePage);
    buildLine(linePage);
    bindLeaveFieldChecks(host, rectanglePage);
    connect(m_cmdRect, &QPushButton::clicked, this, &RectangleLine::cmdRect_Click);
    connect(m_cmdLine, &QPushButton::clicked, this, &RectangleLine::cmdLine_Click);
}

void RectangleLine::cmdRect_Click()
{
    guardedSend(m_host, [this] {
        return protocol::rectangleFrame(fieldText(QStringLiteral("Top Left X"), m_txtX1),
                                        fieldText(QStringLiteral("Bottom Rt X"), m_txtX2),
                                        fieldText(QStringLiteral("Top Left Y"), m_txtY1),
                                        fieldText(QStringLiteral("Bottom Rt Y"), m_txtY2),
                                        fieldText(QStringLiteral("Step 1-9"), m_txtrs1));
    });
}

void RectangleLine::cmdLine_Click()
{
    if (!m_host.portGuard())
        return;
    using protocol::leadingNumber;
    // The board draws lines from left to right and from top to bottom only.
    if (leadingNumber(m_txtLx2->exactText()) < leadingNumber(m_txtLx1->exactText())
        || leadingNumber(m_txtLy2->exactText()) < leadingNumber(m_txtLy1->exactText())) {
        m_host.message(QStringLiteral("Invalid Entry - Try again"));
        return;
    }
    m_host.sendFrame(protocol::lineFrame(fieldText(QStringLiteral("Begin X1"), m_txtLx1),
                                         fieldText(QStringLiteral("End X2"), m_txtLx2),
                                         fieldText(QStringLiteral("Begin Y1"), m_txtLy1),
                                         fieldText(QStringLiteral("End Y2"), m_txtLy2)));
}

void RectangleLine::buildRectangle(QWidget* page)
{
    m_txtX1 = field(QStringLiteral("txtX1"), QStringLiteral("0"), 3);
    m_txtY1 = field(QStringLiteral("txtY1"), QStringLiteral("0"), 2);
    m_txtX2 = field(QStringLiteral("txtX2"), QStringLiteral("127"), 3);
    m_txtY2 = field(QStringLiteral("txtY2"), QStringLiteral("63"), 2);
    m_txtrs1 = field(QStringLiteral("txtrs1"), QStringLiteral("1"), 0, 2);
    m_cmdRect = pagelayout::button(QStringLiteral("cmdRect"), QStringLiteral("&Draw Rectangle"));

    // Each corner caption names the x and the y field beneath it.
    auto* grid = new QGridLayout;
    grid->addWidget(caption(QStringLiteral("Top Left  X     Y")), 0, 0, 1, 2);
    grid->addWidget(m_txtX1, 1, 0);
    grid->addWidget(m_txtY1, 1, 1);
    grid->setColumnMinimumWidth(2, 24);
    grid->addWidget(caption(QStringLiteral("Bottom Rt X     Y")), 0, 3, 1, 2);
    grid->addWidget(m_txtX2, 1, 3);
    grid->addWidget(m_txtY2, 1, 4);
    grid->setColumnMinimumWidth(5, 24);
    pagelayout::addRow(grid, 1, 6, QStringLiteral("Step 1-9"), m_txtrs1);
    grid->setColumnStretch(8, 1);
    pagelayout::fillPage(page, QStringLiteral(
        "Draws a rectangle given the x,y coordinates of the top left and bottom right locations. "
        "Step value creates a dashed lines. For straight lines, keep both the top and bottom x or y "
        "values the same"), grid, m_cmdRect);
}

void RectangleLine::buildLine(QWidget* page)
{
    auto* box = new QGroupBox(QStringLiteral("Line Parameters"));
    m_txtLx1 = field(QStringLiteral("txtLx1"), QStringLiteral("00"), 0);
    m_txtLy1 = field(QStringLiteral("txtLy1"), QStringLiteral("00"), 0);
    m_txtLx2 = field(QStringLiteral("txtLx2"), QStringLiteral("127"), 0);
    m_txtLy2 = field(QStringLiteral("txtLy2"), QStringLiteral("40"), 0);
    m_cmdLine = pagelayout::button(QStringLiteral("cmdLine"), QStringLiteral("&Draw Line"));

    auto* grid = new QGridLayout(box);
    grid->addWidget(caption(QStringLiteral("Begin")), 0, 0);
    pagelayout::addRow(grid, 0, 1, QStringLiteral("X1"), m_txtLx1);
    pagelayout::addRow(grid, 0, 3, QStringLiteral("Y1"), m_txtLy1);
    grid->addWidget(caption(QStringLiteral("End")), 1, 0);
    pagelayout::addRow(grid, 1, 1, QStringLiteral("X2"), m_txtLx2);
    pagelayout::addRow(grid, 1, 3, QStringLiteral("Y2"), m_txtLy2);
    grid->addLayout(pagelayout::buttonRow({m_cmdLine}), 2, 0, 1, 5);
    grid->setColumnStretch(5, 1);

    auto* notes = new QVBoxLayout;
    notes->addWidget(pagelayout::explanation(QStringLiteral("Experimental")));
    notes->addWidget(pagelayout::explanation(QStringLiteral("* I'm still working on the math!")));
    notes->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addWidget(box);
    top->addLayout(notes, 1);

    auto* column = new QVBoxLayout(page);
    column->addLayout(top);
    column->addWidget(pagelayout::explanation(QStringLiteral(
        "This has limitations due to the aspect ratio of the LCD. Line must extend from the left to "
        "the right and from top to bottom It cannot run a complete diagonal of the display unless "
        "the Y value < 63 .*")));
    column->addStretch(1);
}

} // namespace varnix
