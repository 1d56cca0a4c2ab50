#include "commands/dots.h"

#include "widgets/pagehost.h"
#include "widgets/fields.h"
#include "widgets/pagelayout.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace varnix {

using pagelayout::field;

Dots::Dots(PageHost& host, QWidget* setDotPage, QWidget* resetDotPage, QObject* parent)
    : QObject(parent), m_host(host)
{
    buildSetDot(setDotPage);
    buildResetDot(resetDotPage);
}

void Dots::buildSetDot(QWidget* page)
{
    auto* single = new QGroupBox(QStringLiteral("Single"));
    m_txtDotSingX = field(QStringLiteral("txtDotSingX"), QStringLiteral("64"), 3);
    m_txtDotSingy = field(QStringLiteral("txtDotSingy"), QStringLiteral("32"), 2);
    m_Command3 = pagelayout::button(QStringLiteral("Command3"), QStringLiteral("&Set Dot"));
    auto* singleGrid = new QGridLayout(single);
    pagelayout::addRow(singleGrid, 0, 0, QStringLiteral("X"), m_txtDotSingX);
    pagelayout::addRow(singleGrid, 1, 0, QStringLiteral("Y"), m_txtDotSingy);
    singleGrid->addLayout(pagelayout::buttonRow({m_Command3}), 3, 0, 1, 3);
    singleGrid->setRowStretch(2, 1);
    singleGrid->setColumnStretch(2, 1);

    auto* many = new QGroupBox(QStringLiteral("Many"));
    m_txtDotManyx = field(QStringLiteral("txtDotManyx"), QStringLiteral("10"), 3);
    m_txtDotManyy = field(QStringLiteral("txtDotManyy"), QStringLiteral("30"), 2);
    m_txtDotnum = field(QStringLiteral("txtDotnum"), QStringLiteral("20"), 3);
    m_optHoriz = pagelayout::option(QStringLiteral("optHoriz"), QStringLiteral("Horzontal"));
    m_optVert = pagelayout::option(QStringLiteral("optVert"), QStringLiteral("Vertical"));
    m_Command4 = pagelayout::button(QStringLiteral("Command4"), QStringLiteral("&Draw Dots"));
    // The two options share the group box as parent, which makes them one
    // choice of their own, apart from the options on the tab control.
    auto* manyGrid = new QGridLayout(many);
    pagelayout::addRow(manyGrid, 0, 0, QStringLiteral("X"), m_txtDotManyx);
    pagelayout::addRow(manyGrid, 1, 0, QStringLiteral("Y"), m_txtDotManyy);
    pagelayout::addRow(manyGrid, 2, 0, QStringLiteral("Number"), m_txtDotnum);
    manyGrid->addWidget(m_optHoriz, 0, 2);
    manyGrid->addWidget(m_optVert, 1, 2);
    manyGrid->addLayout(pagelayout::buttonRow({m_Command4}), 3, 0, 1, 3);
    manyGrid->setColumnStretch(3, 1);
    m_optHoriz->setChecked(true);

    auto* row = new QHBoxLayout;
    row->addWidget(single);
    row->addWidget(many, 1);

    auto* column = new QVBoxLayout(page);
    column->addLayout(row);
    column->addStretch(1);
}

void Dots::buildResetDot(QWidget* page)
{
    m_txtResetx = field(QStringLiteral("txtResetx"), QStringLiteral("64"), 3);
    m_txtResety = field(QStringLiteral("txtResety"), QStringLiteral("32"), 2);
    m_cmdResetDot = pagelayout::button(QStringLiteral("cmdResetDot"), QStringLiteral("&Reset Dot"));

    auto* grid = new QGridLayout;
    pagelayout::addRow(grid, 0, 0, QStringLiteral("X"), m_txtResetx);
    pagelayout::addRow(grid, 0, 2, QStringLiteral("Y"), m_txtResety);
    grid->setColumnStretch(4, 1);
    pagelayout::fillPage(page, 
        QStringLiteral("An XOR function, if the dot is set it will clear it else it will set it"), grid, m_cmdResetDot);
}

} // namespace varnix
