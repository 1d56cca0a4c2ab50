// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/fillclear.h"

#include "widgets/fields.h"
#include "widgets/pagehost.h"
#include "widgets/pagelayout.h"

#include <QLabel>
#include <QPushButton>

namespace varnix {

FillClear::FillClear(PageHost& host, QWidget* fillPage, QWidget* clearPage, QObject* parent)
    : QObject(parent), m_host(host), m_fillPage(fillPage), m_clearPage(clearPage)
{
    buildFill(fillPage);
    buildClear(clearPage);
    connect(m_cmdFill, &QPushButton::clicked, this, &FillClear::cmdFill_Click);
    connect(m_cmdClearLCD, &QPushButton::clicked, this, &FillClear::cmdClearLCD_Click);
}

void FillClear::cmdFill_Click()
{
    if (!m_host.portGuard())
        return;
    const QString step = m_List2->selectedText();
    if (step.isEmpty()) {
        m_host.message(QStringLiteral("Please enter a step value"));
        return;
    }
    m_host.sendFrame(protocol::fillFrame(step));
}

void FillClear::cmdClearLCD_Click()
{
    guardedSend(m_host, protocol::clearDisplayFrame);
}

QStringList FillClear::previewFrames(const QWidget* page) const
{
    if (page == m_fillPage && !m_List2->selectedText().isEmpty())
        return framesOf(protocol::fillFrame(m_List2->selectedText()));
    if (page == m_clearPage)
        return framesOf(protocol::clearDisplayFrame());
    return {};
}

void FillClear::buildFill(QWidget* page)
{
    m_List2 = pagelayout::list(QStringLiteral("List2"), pagelayout::numbers(1, 9), 9);
    m_List2->selectRow(0);
    m_cmdFill = pagelayout::button(QStringLiteral("cmdFill"), QStringLiteral("&FILL"));

    pagelayout::Form(page)
        .text(QStringLiteral("Fills the LCD display with pixels, step value can be set for different designs (grids)"))
        .cell(QStringLiteral("Step Value"), m_List2)
        .row({m_cmdFill});
}

void FillClear::buildClear(QWidget* page)
{
    m_cmdClearLCD = pagelayout::button(QStringLiteral("cmdClearLCD"), QStringLiteral("Clear &Display"));

    pagelayout::Form(page).text(QStringLiteral("Clears the LCD Display")).row({m_cmdClearLCD});
}

} // namespace varnix
