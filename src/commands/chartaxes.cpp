// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/chartaxes.h"

#include "commands/fieldchecks.h"
#include "widgets/fields.h"
#include "widgets/pagehost.h"
#include "widgets/pagelayout.h"

#include <QLabel>
#include <QPushButton>

namespace varnix {

struct ChartAxes::PageDesign {
    const char* explanation;
    const char* xName;
    const char* xStart;
    const char* yName;
    const char* yStart;
    const char* lengthName;
    const char* lengthStart;
    const char* ticksName;
    const char* buttonName;
    const char* buttonCaption;
    // Start, end (start + length) and the common coordinate, in the axis's order.
    protocol::FrameResult (*compose)(const protocol::FieldText& x, const protocol::FieldText& y,
                                     const protocol::FieldText& length, const QString& tick);
    void (ChartAxes::*click)();
};

namespace {

// Both axes take three digits for x and length and two for y.
constexpr int kXLimit = 3;
constexpr int kYLimit = 2;
constexpr int kLengthLimit = 3;
// The tick list is selected at "4".
constexpr int kStartTick = 3;

// In the order of ChartAxes::Axis.
constexpr ChartAxes::PageDesign kAxes[ChartAxes::AxisCount] = {
    {"Draw the x-axis of a chart with tick marks", "txtXaxisx", "16", "txtXaxisy", "56", "txtXaxisLen",
     "100", "lsttickx", "cmdXaxis", "&Draw X-Axis",
     protocol::xAxisFrame, &ChartAxes::cmdXaxis_Click},
    {"Draw the y-axis of a chart with tick marks", "txtYAxisx", "16", "txtYAxisy", "10", "txtYAxisLen",
     "46", "lstticky", "cmdyaxis", "&Draw Y-Axis",
     protocol::yAxisFrame, &ChartAxes::cmdyaxis_Click},
};

} // namespace

ChartAxes::ChartAxes(PageHost& host, const std::array<QWidget*, AxisCount>& pages, QObject* parent)
    : QObject(parent), m_host(host)
{
    for (int axis = 0; axis < AxisCount; ++axis) {
        build(kAxes[axis], pages[axis], m_pages[axis]);
        bindLeaveFieldChecks(host, pages[axis]);
        connect(m_pages[axis].button, &QPushButton::clicked, this, kAxes[axis].click);
    }
}

void ChartAxes::draw(Axis axis)
{
    guardedSend(m_host, [&] { return frame(axis); });
}

protocol::FrameResult ChartAxes::frame(Axis axis) const
{
    using pagelayout::fieldText;
    const Page& page = m_pages[axis];
    return kAxes[axis].compose(fieldText(page.x), fieldText(page.y), fieldText(page.length),
                               page.ticks->selectedText());
}

QStringList ChartAxes::previewFrames(const QWidget* widget) const
{
    return framesOfEntry(m_pages, widget, [this](int axis) { return frame(Axis(axis)); });
}

void ChartAxes::build(const PageDesign& design, QWidget* widget, Page& page)
{
    page.widget = widget;
    page.x = pagelayout::field(QString::fromLatin1(design.xName), QString::fromLatin1(design.xStart), kXLimit);
    page.y = pagelayout::field(QString::fromLatin1(design.yName), QString::fromLatin1(design.yStart), kYLimit);
    page.length = pagelayout::field(QString::fromLatin1(design.lengthName), QString::fromLatin1(design.lengthStart),
                                    kLengthLimit);
    page.ticks = pagelayout::list(QString::fromLatin1(design.ticksName), pagelayout::numbers(1, 10), 5);
    page.ticks->selectRow(kStartTick);
    page.button = pagelayout::button(QString::fromLatin1(design.buttonName), QString::fromLatin1(design.buttonCaption));

    pagelayout::Form(widget)
        .text(QString::fromLatin1(design.explanation))
        .group(QStringLiteral("Starting Point"))
        .cell(QStringLiteral("X"), page.x)
        .cell(QStringLiteral("Y"), page.y)
        .group()
        .cell(QStringLiteral("Length in pixels"), page.length)
        .group()
        .cell(QStringLiteral("Tick every"), page.ticks, QStringLiteral("Pixels"))
        .row({page.button});
}

} // namespace varnix
