// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/rectangleline.h"

#include "commands/fieldchecks.h"
#include "protocol/numbers.h"
#include "widgets/fields.h"
#include "widgets/pagehost.h"
#include "widgets/pagelayout.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace varnix {

using pagelayout::field;
using pagelayout::fieldText;

RectangleLine::RectangleLine(PageHost& host, QWidget* rectanglePage, QWidget* linePage, QObject* parent)
    : QObject(parent), m_host(host), m_rectanglePage(rectanglePage), m_linePage(linePage)
{
    buildRectangle(rectanglePage);
    buildLine(linePage);
    bindLeaveFieldChecks(host, rectanglePage);
    connect(m_cmdRect, &QPushButton::clicked, this, &RectangleLine::cmdRect_Click);
    connect(m_cmdLine, &QPushButton::clicked, this, &RectangleLine::cmdLine_Click);
}

void RectangleLine::cmdRect_Click()
{
    guardedSend(m_host, [this] { return rectangle(); });
}

void RectangleLine::cmdLine_Click()
{
    if (!m_host.portGuard())
        return;
    if (!lineInOrder()) {
        m_host.message(QStringLiteral("Invalid Entry - Try again"));
        return;
    }
    m_host.sendFrame(line());
}

protocol::FrameResult RectangleLine::rectangle() const
{
    return protocol::rectangleFrame(fieldText(m_txtX1), fieldText(m_txtX2), fieldText(m_txtY1), fieldText(m_txtY2),
                                    fieldText(m_txtrs1));
}

bool RectangleLine::lineInOrder() const
{
    using protocol::leadingNumber;
    return leadingNumber(m_txtLx2->exactText()) >= leadingNumber(m_txtLx1->exactText())
        && leadingNumber(m_txtLy2->exactText()) >= leadingNumber(m_txtLy1->exactText());
}

protocol::FrameResult RectangleLine::line() const
{
    return protocol::lineFrame(fieldText(m_txtLx1), fieldText(m_txtLx2), fieldText(m_txtLy1), fieldText(m_txtLy2));
}

QStringList RectangleLine::previewFrames(const QWidget* page) const
{
    if (page == m_rectanglePage)
        return framesOf(rectangle());
    if (page == m_linePage && lineInOrder())
        return framesOf(line());
    return {};
}

void RectangleLine::buildRectangle(QWidget* page)
{
    m_txtX1 = field(QStringLiteral("txtX1"), QStringLiteral("0"), 3);
    m_txtY1 = field(QStringLiteral("txtY1"), QStringLiteral("0"), 2);
    m_txtX2 = field(QStringLiteral("txtX2"), QStringLiteral("127"), 3);
    m_txtY2 = field(QStringLiteral("txtY2"), QStringLiteral("63"), 2);
    m_txtrs1 = field(QStringLiteral("txtrs1"), QStringLiteral("1"), 0, 2);
    m_cmdRect = pagelayout::button(QStringLiteral("cmdRect"), QStringLiteral("&Draw Rectangle"));
    m_txtX1->setAccessibleName(QStringLiteral("Top Left X"));
    m_txtY1->setAccessibleName(QStringLiteral("Top Left Y"));
    m_txtX2->setAccessibleName(QStringLiteral("Bottom Rt X"));
    m_txtY2->setAccessibleName(QStringLiteral("Bottom Rt Y"));

    // Each corner caption names the x and the y field beneath it.
    pagelayout::Form(page)
        .text(QStringLiteral("Draws a rectangle given the x,y coordinates of the top left and bottom right "
                             "locations. Step value creates a dashed lines. For straight lines, keep both the top "
                             "and bottom x or y values the same"))
        .group(QStringLiteral("Top Left  X     Y"))
        .cell(QString(), m_txtX1)
        .cell(QString(), m_txtY1)
        .group(QStringLiteral("Bottom Rt X     Y"))
        .cell(QString(), m_txtX2)
        .cell(QString(), m_txtY2)
        .group()
        .cell(QStringLiteral("Step 1-9"), m_txtrs1)
        .row({m_cmdRect});
}

void RectangleLine::buildLine(QWidget* page)
{
    auto* box = new QGroupBox(QStringLiteral("Line Parameters"));
    m_txtLx1 = field(QStringLiteral("txtLx1"), QStringLiteral("00"), 0);
    m_txtLy1 = field(QStringLiteral("txtLy1"), QStringLiteral("00"), 0);
    m_txtLx2 = field(QStringLiteral("txtLx2"), QStringLiteral("127"), 0);
    m_txtLy2 = field(QStringLiteral("txtLy2"), QStringLiteral("40"), 0);
    m_cmdLine = pagelayout::button(QStringLiteral("cmdLine"), QStringLiteral("&Draw Line"));

    pagelayout::Form(box)
        .group(QStringLiteral("Begin"))
        .cell(QStringLiteral("X1"), m_txtLx1)
        .cell(QStringLiteral("Y1"), m_txtLy1)
        .group(QStringLiteral("End"))
        .cell(QStringLiteral("X2"), m_txtLx2)
        .cell(QStringLiteral("Y2"), m_txtLy2);

    pagelayout::Form(page)
        .text(QStringLiteral("This has limitations due to the aspect ratio of the LCD. Line must extend from the "
                             "left to the right and from top to bottom It cannot run a complete diagonal of the "
                             "display unless the Y value < 63 .*"))
        .text(QStringLiteral("Experimental"))
        .widget(box)
        .text(QStringLiteral("* I'm still working on the math!"))
        .row({m_cmdLine});
}

} // namespace varnix
