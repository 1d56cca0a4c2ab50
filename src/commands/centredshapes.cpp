// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/centredshapes.h"

#include "widgets/fields.h"
#include "widgets/pagehost.h"
#include "widgets/pagelayout.h"

#include <QLabel>
#include <QPushButton>

namespace varnix {

struct CentredShapes::PageDesign {
    struct Field {
        const char* name;
        const char* start;
        int typingLimit;
        // What the page calls a field that has no caption of its own, its
        // heading naming it together with its neighbour; empty otherwise.
        const char* uncaptioned;
    };

    const char* explanation;
    const char* centreHeading;
    const char* xCaption;
    const char* yCaption;
    const char* sizeCaption;
    const char* sizeUnit;
    Field x;
    Field y;
    Field size;
    const char* buttonName;
    const char* buttonCaption;
    protocol::FrameResult (*compose)(const protocol::FieldText& x, const protocol::FieldText& y,
                                     const protocol::FieldText& size);
    void (CentredShapes::*click)();
};

namespace {

// In the order of CentredShapes::Shape.
constexpr CentredShapes::PageDesign kShapes[CentredShapes::ShapeCount] = {
    {"Draws a circle given the center  (x,y) and the radius  in pixels",
     "Circle Center", "X value", "Y value", "Circle Radius", "Pixels",
     {"txtCx", "64", 0, ""},
     {"txtCy", "32", 0, ""},
     {"txtcr", "20", 0, ""},
     "cmdCirc", "&Draw Circle", protocol::circleFrame, &CentredShapes::cmdCirc_Click},
    {"Draws a square given the center location (x,y) and 1/2 the length of a side in pixels",
     "Center X           Y", "", "", "Diag Length", "",
     {"txtSx1", "64", 3, "Center X"},
     {"txtSy1", "32", 2, "Center Y"},
     {"txtSr", "20", 2, ""},
     "cmdSquare", "&Draw Square", protocol::squareFrame, &CentredShapes::cmdSquare_Click},
    {"Draws a diamond shape",
     "Diamond Center XY", "", "", "Center-to-side in pixels", "",
     {"txtDx", "64", 0, "Diamond Center X"},
     {"txtDy", "32", 0, "Diamond Center Y"},
     {"txtDr", "20", 0, ""},
     "cmdDiam", "&Draw Diamond", protocol::diamondFrame, &CentredShapes::cmdDiam_Click},
    {"Draws Four Point Star (dashed lines)",
     "Center of Star XY", "", "", "Center-to-Point in pixels", "",
     {"txtStarx", "64", 0, "Center of Star X"},
     {"txtStary", "32", 0, "Center of Star Y"},
     {"txtStarr", "20", 0, ""},
     "Command2", "&Draw Star4", protocol::star4Frame, &CentredShapes::Command2_Click},
};

LineField* makeField(const CentredShapes::PageDesign::Field& field)
{
    LineField* made = pagelayout::field(QString::fromLatin1(field.name), QString::fromLatin1(field.start),
                                        field.typingLimit);
    if (*field.uncaptioned)
        made->setAccessibleName(QString::fromLatin1(field.uncaptioned));
    return made;
}

} // namespace

CentredShapes::CentredShapes(PageHost& host, const std::array<QWidget*, ShapeCount>& pages, QObject* parent)
    : QObject(parent), m_host(host)
{
    for (int shape = 0; shape < ShapeCount; ++shape) {
        build(kShapes[shape], pages[shape], m_pages[shape]);
        connect(m_pages[shape].button, &QPushButton::clicked, this, kShapes[shape].click);
    }
}

void CentredShapes::build(const PageDesign& design, QWidget* widget, Page& page)
{
    page.design = &design;
    page.widget = widget;
    page.x = makeField(design.x);
    page.y = makeField(design.y);
    page.size = makeField(design.size);
    page.button =
        pagelayout::button(QString::fromLatin1(design.buttonName), QString::fromLatin1(design.buttonCaption));

    // Without captions of their own the two centre fields sit under the
    // heading, which then names both of them.
    pagelayout::Form(widget)
        .text(QString::fromLatin1(design.explanation))
        .group(QString::fromLatin1(design.centreHeading))
        .cell(QString::fromLatin1(design.xCaption), page.x)
        .cell(QString::fromLatin1(design.yCaption), page.y)
        .group()
        .cell(QString::fromLatin1(design.sizeCaption), page.size, QString::fromLatin1(design.sizeUnit))
        .row({page.button});
}

void CentredShapes::draw(Shape shape)
{
    guardedSend(m_host, [&] { return frame(shape); });
}

protocol::FrameResult CentredShapes::frame(Shape shape) const
{
    const Page& page = m_pages[shape];
    const PageDesign& design = *page.design;
    return design.compose(pagelayout::fieldText(page.x), pagelayout::fieldText(page.y),
                          pagelayout::fieldText(page.size));
}

QStringList CentredShapes::previewFrames(const QWidget* widget) const
{
    return framesOfEntry(m_pages, widget, [this](int shape) { return frame(Shape(shape)); });
}

} // namespace varnix
