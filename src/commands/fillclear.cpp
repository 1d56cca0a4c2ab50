#include "commands/fillclear.h"

#include "commands/guardedsend.h"
#include "widgets/fields.h"
#include "widgets/pagelayout.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace varnix {

FillClear::FillClear(PageHost& host, QWidget* fillPage, QWidget* clearPage, QObject* parent)
    : QObject(parent), m_host(host)
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

void FillClear::buildFill(QWidget* page)
{
    m_List2 = pagelayout::list(QStringLiteral("List2"), pagelayout::numbers(1, 9), 9);
    m_List2->selectRow(0);
    m_cmdFill = pagelayout::button(QStringLiteral("cmdFill"), QStringLiteral("&FILL"));

    auto* column = new QVBoxLayout(page);
    column->addWidget(pagelayout::explanation(QStringLiteral(
        "Fills the LCD display with pixels, step value can be set for different designs (grids)")));
    auto* grid = new QGridLayout;
    grid->addWidget(pagelayout::caption(QStringLiteral("Step Value")), 0, 0, Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(m_List2, 0, 1, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(m_cmdFill, 0, 2, Qt::AlignLeft | Qt::AlignTop);
    grid->setColumnStretch(3, 1);
    column->addSpacing(8);
    column->addLayout(grid);
    column->addStretch(1);
}

void FillClear::buildClear(QWidget* page)
{
    m_cmdClearLCD = pagelayout::button(QStringLiteral("cmdClearLCD"), QStringLiteral("Clear &Display"));

    auto* column = new QVBoxLayout(page);
    column->addWidget(pagelayout::explanation(QStringLiteral("Clears the LCD Display")));
    column->addSpacing(8);
    column->addLayout(pagelayout::buttonRow({m_cmdClearLCD}));
    column->addStretch(1);
}

} // namespace varnix
