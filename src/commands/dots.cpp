#include "commands/dots.h"

#include "commands/fieldchecks.h"
#include "commands/guardedsend.h"
#include "protocol/numbers.h"
#include "widgets/fields.h"
#include "widgets/pagelayout.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cstdint>
#include <optional>

namespace varnix {

using pagelayout::field;
using pagelayout::fieldText;

Dots::Dots(PageHost& host, QWidget* setDotPage, QWidget* resetDotPage, QObject* parent)
    : QObject(parent), m_host(host)
{
    buildSetDot(setDotPage);
    buildResetDot(resetDotPage);
    bindLeaveFieldChecks(host, setDotPage);
    bindLeaveFieldChecks(host, resetDotPage);
    connect(m_Command3, &QPushButton::clicked, this, &Dots::Command3_Click);
    connect(m_Command4, &QPushButton::clicked, this, &Dots::Command4_Click);
    connect(m_cmdResetDot, &QPushButton::clicked, this, &Dots::cmdResetDot_Click);
}

void Dots::Command3_Click()
{
    guardedSend(m_host, [this] {
        return protocol::dotFrame(fieldText(QStringLiteral("Single X"), m_txtDotSingX),
                                  fieldText(QStringLiteral("Single Y"), m_txtDotSingy));
    });
}

void Dots::cmdResetDot_Click()
{
    guardedSend(m_host, [this] {
        return protocol::toggleDotFrame(fieldText(QStringLiteral("X"), m_txtResetx),
                                        fieldText(QStringLiteral("Y"), m_txtResety));
    });
}

void Dots::Command4_Click()
{
    if (!m_host.portGuard())
        return;
    using protocol::leadingNumber;
    const protocol::FieldText number = fieldText(QStringLiteral("Many Number"), m_txtDotnum);
    const double count = leadingNumber(number.text);
    const std::optional<std::int16_t> dots = protocol::roundHalfEvenInt16(count);
    if (!dots) {
        // Beyond what a count holds: refused, rather than a run without end.
        if (count > 0)
            m_host.message(
                protocol::FrameResult::refused(protocol::Refusal::TooLarge, number.label, number.text).message());
        return;
    }
    // The run moves along one coordinate; the other stays where it starts.
    double x = leadingNumber(m_txtDotManyx->exactText());
    double y = leadingNumber(m_txtDotManyy->exactText());
    double& moving = m_optHoriz->isChecked() ? x : y;
    const QString xLabel = fieldText(QStringLiteral("Many X"), m_txtDotManyx).label;
    const QString yLabel = fieldText(QStringLiteral("Many Y"), m_txtDotManyy).label;
    // One frame and one send per dot; a refused dot or a closing window ends the run.
    for (int dot = 0; dot < *dots; ++dot, moving += 1) {
        if (!m_host.sendFrame(protocol::dotFrameAt(x, y, xLabel, yLabel)))
            return;
    }
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
