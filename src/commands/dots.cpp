// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/dots.h"

#include "commands/fieldchecks.h"
#include "protocol/numbers.h"
#include "widgets/fields.h"
#include "widgets/pagehost.h"
#include "widgets/pagelayout.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <cstdint>
#include <optional>

namespace varnix {

using pagelayout::field;
using pagelayout::fieldText;

Dots::Dots(PageHost& host, QWidget* setDotPage, QWidget* resetDotPage, QObject* parent)
    : QObject(parent), m_host(host), m_setDotPage(setDotPage), m_resetDotPage(resetDotPage)
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
    guardedSend(m_host, [this] { return singleFrame(); });
}

void Dots::cmdResetDot_Click()
{
    guardedSend(m_host, [this] { return toggleFrame(); });
}

void Dots::Command4_Click()
{
    if (!m_host.portGuard())
        return;
    // One frame and one send per dot; a refused dot or a closing window ends the run.
    eachDotOfTheRun([this](const protocol::FrameResult& dot) { return m_host.sendFrame(dot); });
}

protocol::FrameResult Dots::singleFrame() const
{
    return protocol::dotFrame(fieldText(m_txtDotSingX), fieldText(m_txtDotSingy));
}

protocol::FrameResult Dots::toggleFrame() const
{
    return protocol::toggleDotFrame(fieldText(m_txtResetx), fieldText(m_txtResety));
}

void Dots::eachDotOfTheRun(const std::function<bool(const protocol::FrameResult&)>& each) const
{
    using protocol::leadingNumber;
    const double count = leadingNumber(m_txtDotnum->exactText());
    const std::optional<std::int16_t> dots = protocol::roundHalfEvenInt16(count);
    if (!dots) {
        // Beyond what a count holds: refused, rather than a run without end.
        if (!(count <= 0)) {
            const protocol::FieldText number = fieldText(m_txtDotnum);
            each(protocol::FrameResult::refused(protocol::Refusal::TooLarge, number.named(), number.text));
        }
        return;
    }
    // The run moves along one coordinate; the other stays where it starts.
    double x = leadingNumber(m_txtDotManyx->exactText());
    double y = leadingNumber(m_txtDotManyy->exactText());
    double& moving = m_optHoriz->isChecked() ? x : y;
    const QString xLabel = pagelayout::fieldName(m_txtDotManyx).named();
    const QString yLabel = pagelayout::fieldName(m_txtDotManyy).named();
    for (int dot = 0; dot < *dots; ++dot, moving += 1) {
        if (!each(protocol::dotFrameAt(x, y, xLabel, yLabel)))
            break;
    }
}

QStringList Dots::previewFrames(const QWidget* page) const
{
    if (page == m_resetDotPage)
        return framesOf(toggleFrame());
    if (page != m_setDotPage)
        return {};
    // The page draws with either of its buttons: both are shown.
    QStringList frames = framesOf(singleFrame());
    eachDotOfTheRun([&frames](const protocol::FrameResult& dot) {
        frames << framesOf(dot);
        return dot.ok();
    });
    return frames;
}

void Dots::buildSetDot(QWidget* page)
{
    auto* single = new QGroupBox(QStringLiteral("Single"));
    m_txtDotSingX = field(QStringLiteral("txtDotSingX"), QStringLiteral("64"), 3);
    m_txtDotSingy = field(QStringLiteral("txtDotSingy"), QStringLiteral("32"), 2);
    m_Command3 = pagelayout::button(QStringLiteral("Command3"), QStringLiteral("&Set Dot"));
    pagelayout::Form(single)
        .cell(QStringLiteral("X"), m_txtDotSingX)
        .cell(QStringLiteral("Y"), m_txtDotSingy)
        .row({m_Command3});

    auto* many = new QGroupBox(QStringLiteral("Many"));
    m_txtDotManyx = field(QStringLiteral("txtDotManyx"), QStringLiteral("10"), 3);
    m_txtDotManyy = field(QStringLiteral("txtDotManyy"), QStringLiteral("30"), 2);
    m_txtDotnum = field(QStringLiteral("txtDotnum"), QStringLiteral("20"), 3);
    m_optHoriz = pagelayout::option(QStringLiteral("optHoriz"), QStringLiteral("Horzontal"));
    m_optVert = pagelayout::option(QStringLiteral("optVert"), QStringLiteral("Vertical"));
    m_Command4 = pagelayout::button(QStringLiteral("Command4"), QStringLiteral("&Draw Dots"));
    // The two options share the group box as parent, which makes them one
    // choice of their own, apart from the options on the tab control.
    pagelayout::Form(many)
        .cell(QStringLiteral("X"), m_txtDotManyx)
        .cell(QStringLiteral("Y"), m_txtDotManyy)
        .cell(QStringLiteral("Number"), m_txtDotnum)
        .row({m_optHoriz, m_optVert})
        .row({m_Command4});
    m_optHoriz->setChecked(true);

    pagelayout::Form(page).widget(single).widget(many);
}

void Dots::buildResetDot(QWidget* page)
{
    m_txtResetx = field(QStringLiteral("txtResetx"), QStringLiteral("64"), 3);
    m_txtResety = field(QStringLiteral("txtResety"), QStringLiteral("32"), 2);
    m_cmdResetDot = pagelayout::button(QStringLiteral("cmdResetDot"), QStringLiteral("&Reset Dot"));

    pagelayout::Form(page)
        .text(QStringLiteral("An XOR function, if the dot is set it will clear it else it will set it"))
        .cell(QStringLiteral("X"), m_txtResetx)
        .cell(QStringLiteral("Y"), m_txtResety)
        .row({m_cmdResetDot});
}

} // namespace varnix
