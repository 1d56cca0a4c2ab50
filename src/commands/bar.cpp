// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/bar.h"

#include "commands/fieldchecks.h"
#include "widgets/fields.h"
#include "widgets/pagehost.h"
#include "widgets/pagelayout.h"

#include <QButtonGroup>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace varnix {

BarPage::BarPage(PageHost& host, QWidget* page, QButtonGroup& pageOptions, QObject* parent)
    : QObject(parent), m_host(host), m_page(page),
      m_txtbarx(pagelayout::field(QStringLiteral("txtbarx"), QStringLiteral("20"), 3)),
      m_txtbary(pagelayout::field(QStringLiteral("txtbary"), QStringLiteral("20"), 2)),
      m_txtbarwidth(pagelayout::field(QStringLiteral("txtbarwidth"), QStringLiteral("5"), 3)),
      m_txtbarheight(pagelayout::field(QStringLiteral("txtbarheight"), QStringLiteral("36"), 2)),
      m_Label70(pagelayout::namedCaption(QStringLiteral("Label70"), QStringLiteral("Height"))),
      m_List3(pagelayout::list(QStringLiteral("List3"), pagelayout::numbers(1, 5), 5)),
      m_optbarh(pagelayout::option(QStringLiteral("optbarh"), QStringLiteral("Horiz"))),
      m_optbarv(pagelayout::option(QStringLiteral("optbarv"), QStringLiteral("Vert"))),
      m_cmdbar(pagelayout::button(QStringLiteral("cmdbar"), QStringLiteral("&Draw Bar")))
{
    m_List3->selectRow(0);
    pageOptions.addButton(m_optbarh);
    pageOptions.addButton(m_optbarv);

    // One unit caption for both extents.
    pagelayout::Form(page)
        .text(QStringLiteral("Draws a filled bar from x,y with a given height or length and width. Step determines "
                             "the pattern"))
        .group(QStringLiteral("Top Left"))
        .cell(QStringLiteral("X"), m_txtbarx)
        .cell(QStringLiteral("Y"), m_txtbary)
        .group()
        .cell(QStringLiteral("Width"), m_txtbarwidth)
        .cell(m_Label70, m_txtbarheight, QStringLiteral("Pixels"))
        .row({m_optbarh, m_optbarv})
        .band()
        .cell(QStringLiteral("Step by"), m_List3, QStringLiteral("pixels"))
        .row({m_cmdbar});

    bindLeaveFieldChecks(host, page);
    connect(m_optbarh, &QRadioButton::clicked, this, &BarPage::optbarh_Click);
    connect(m_optbarv, &QRadioButton::clicked, this, &BarPage::optbarv_Click);
    connect(m_cmdbar, &QPushButton::clicked, this, &BarPage::cmdbar_Click);
}

void BarPage::optbarh_Click()
{
    m_Label70->setText(QStringLiteral("Length"));
}

void BarPage::optbarv_Click()
{
    m_Label70->setText(QStringLiteral("Height"));
}

void BarPage::cmdbar_Click()
{
    guardedSend(m_host, [this] { return frame(); });
}

protocol::FrameResult BarPage::frame() const
{
    using pagelayout::fieldText;
    // Vertical only while "Vert" is the chosen page option; any other
    // choice, an EEPROM option included, draws the bar lying down.
    return protocol::barFrame(fieldText(m_txtbarx), fieldText(m_txtbary), fieldText(m_txtbarwidth),
                              fieldText(m_txtbarheight), m_optbarv->isChecked(), m_List3->selectedText());
}

QStringList BarPage::previewFrames(const QWidget* page) const
{
    return page == m_page ? framesOf(frame()) : QStringList{};
}

} // namespace varnix
