// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands/strings.h"

#include "commands/fieldchecks.h"
#include "protocol/encodings.h"
#include "widgets/fields.h"
#include "widgets/pagehost.h"
#include "widgets/pagelayout.h"

#include <QLabel>
#include <QPushButton>

namespace varnix {

struct Strings::PageDesign {
    struct Field {
        const char* name;
        const char* start;
        int typingLimit;
    };

    const char* explanation;
    // Its typing limit is also the most characters a frame carries.
    Field text;
    // The horizontal page names both coordinates with one caption, the
    // vertical page each on its own.
    const char* locationCaption;
    const char* xCaption;
    const char* yCaption;
    Field x;
    Field y;
    const char* buttonName;
    protocol::FrameResult (*compose)(const protocol::FieldText& x, const protocol::FieldText& y,
                                     const protocol::FieldText& text, int limit);
    void (Strings::*click)();
};

namespace {

// In the order of Strings::Direction.
constexpr Strings::PageDesign kStrings[Strings::DirectionCount] = {
    {"Place a string horizontally, maximum 26 characters. For a space enter a ;",
     {"txtH", "A;TESSEL;DEMO;BY;ORVANTA", 26}, "X-Y Location", "", "",
     {"txtHStrX", "1", 0}, {"txtHStrY", "32", 0}, "cmdH", protocol::horizontalStringFrame,
     &Strings::cmdH_Click},
    {"Place a string of characters vertically, maximum 8 characters. For a space enter a ;",
     {"txtV", "ORVANTA1", 8}, "", "X", "Y",
     {"txtVStrX", "64", 3}, {"txtVStrY", "0", 2}, "cmdVs", protocol::verticalStringFrame,
     &Strings::cmdVs_Click},
};

LineField* makeField(const Strings::PageDesign::Field& field, int widthChars = -1)
{
    return pagelayout::field(QString::fromLatin1(field.name), QString::fromLatin1(field.start), field.typingLimit,
                             widthChars);
}

} // namespace

Strings::Strings(PageHost& host, const std::array<QWidget*, DirectionCount>& pages, QObject* parent)
    : QObject(parent), m_host(host)
{
    for (int direction = 0; direction < DirectionCount; ++direction) {
        build(kStrings[direction], pages[direction], m_pages[direction]);
        bindLeaveFieldChecks(host, pages[direction]);
        connect(m_pages[direction].button, &QPushButton::clicked, this, kStrings[direction].click);
    }
}

void Strings::place(Direction direction)
{
    if (!m_host.portGuard())
        return;
    const Page& page = m_pages[direction];
    // The field shows the capitals that are sent.
    const QString upper = protocol::latin1Upper(page.text->exactText());
    if (upper != page.text->exactText())
        page.text->setExactText(upper);
    m_host.sendFrame(frame(direction));
}

protocol::FrameResult Strings::frame(Direction direction) const
{
    using pagelayout::fieldText;
    const Page& page = m_pages[direction];
    const PageDesign& design = kStrings[direction];
    return design.compose(fieldText(page.x), fieldText(page.y), fieldText(page.text), design.text.typingLimit);
}

QStringList Strings::previewFrames(const QWidget* widget) const
{
    return framesOfEntry(m_pages, widget, [this](int direction) { return frame(Direction(direction)); });
}

void Strings::build(const PageDesign& design, QWidget* widget, Page& page)
{
    // The string field shows its whole limit, and a little more.
    page.widget = widget;
    page.text = makeField(design.text, design.text.typingLimit + 2);
    page.x = makeField(design.x);
    page.y = makeField(design.y);
    page.button = pagelayout::button(QString::fromLatin1(design.buttonName), QStringLiteral("&Send"));
    // Under one caption for both, each coordinate goes by its letter.
    if (!*design.xCaption) {
        page.x->setAccessibleName(QStringLiteral("X"));
        page.y->setAccessibleName(QStringLiteral("Y"));
    }

    pagelayout::Form(widget)
        .text(QString::fromLatin1(design.explanation))
        .cell(QStringLiteral("String"), page.text)
        .group(QString::fromLatin1(design.locationCaption))
        .cell(QString::fromLatin1(design.xCaption), page.x)
        .cell(QString::fromLatin1(design.yCaption), page.y)
        .row({page.button});
}

} // namespace varnix
