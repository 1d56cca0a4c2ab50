// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "protocol/frames.h"

#include <QString>
#include <QStringList>

#include <initializer_list>

class QGridLayout;
class QLayout;
class QLabel;
class QPushButton;
class QRadioButton;
class QVBoxLayout;
class QWidget;

namespace varnix {

class LineField;
class ListBox;
class TextArea;

// Building blocks shared by the command and transfer pages, so that every
// page shows its captions, fields and buttons the same way.
namespace pagelayout {

// A caption shown exactly as written: runs of blanks stay, and a text is
// never taken for rich text.
QLabel* caption(const QString& text);
// A caption that actions read or change, found by its name.
QLabel* namedCaption(const QString& name, const QString& text);
// Makes the caption name the control: for the messages that speak of it, and
// for screen readers, which read a buddy's caption as the control's name.
// Lists, and the field and list inside an editable list, are not named by a
// buddy: they take the caption as their accessible name too.
void nameBy(QLabel* caption, QWidget* control);
// Names a control that has no caption of its own for screen readers; a list
// box's field too, and its list as "<name> list".
void nameControl(QWidget* control, const QString& name);
// A caption that names the control (nameBy()).
QLabel* captionFor(const QString& text, QWidget* control);
// The caption as a screen reader says it: without its access key's "&" and
// its closing colon.
QString spokenCaption(const QString& text);
// A page's line of explanation, wrapped to the width of the page.
QLabel* explanation(const QString& text);

// A one-line field as wide as its typing limit needs (unlimited fields get
// room for a few digits); widthChars overrides that, 0 lets it stretch.
LineField* field(const QString& name, const QString& start, int typingLimit, int widthChars = -1);
QPushButton* button(const QString& name, const QString& caption);
QRadioButton* option(const QString& name, const QString& caption);
// A narrow list tall enough for `rows` entries.
ListBox* list(const QString& name, const QStringList& items, int rows);
// The decimal numbers first..last, one entry each, as the step and tick
// lists hold them.
QStringList numbers(int first, int last);

// Lays out a page, or a group box on one, from its top down: the page's
// line of explanation, bands of fields, rows of options and buttons, and at
// most one widget that takes the height left (a text area). Each field sits
// under its caption, and a heading may stand over the fields of a group.
// Widgets are placed, and take the Tab key, in the order they are added: add
// them in reading order and the page's tab order runs from its top left to
// its bottom right. A page grows by adding more to its form.
class Form
{
public:
    explicit Form(QWidget* widget);

    // A text across the width, wrapped: a line of explanation or a note.
    Form& text(const QString& text);
    Form& text(QLabel* label);
    // Starts a band of fields below what came before; its groups stand side
    // by side, their fields on one line.
    Form& band();
    // Starts a group in the current band: a heading over the fields that
    // follow, or none.
    Form& group(const QString& heading = QString());
    // A field (or a list, or a label showing a value) under its caption in
    // the current group, with a unit after it ("Pixels") when one is given.
    Form& cell(const QString& caption, QWidget* widget, const QString& unit = QString());
    Form& cell(QLabel* caption, QWidget* widget, const QString& unit = QString());
    // Widgets side by side from the left: options, buttons.
    Form& row(std::initializer_list<QWidget*> widgets);
    // A widget across the width at its own height (a group box).
    Form& widget(QWidget* widget);
    // A widget across the width that takes the height left.
    Form& fill(QWidget* widget);

private:
    void insert(QLayout* layout);
    void insert(QWidget* widget, int stretch = 0);
    QGridLayout* currentBand();
    void placeHeading();

    struct Group {
        QLabel* heading = nullptr;
        int firstColumn = 0;
        int columns = 0;
        bool captions = false;
    };

    QVBoxLayout* m_column;
    bool m_filled = false;
    QGridLayout* m_band = nullptr;
    int m_nextColumn = 0;
    Group m_group;
};

// The name a person knows a field by, for the messages that speak of it: the
// caption over it as the page shows it now, or, for a field under a heading
// that names several fields, the accessible name its page gives it. Where
// the same caption stands twice on one page, the title of the group box
// around the field goes before it ("Many X"); where it stands on another
// page of the tab control too, the page's caption goes with it (`page`).
protocol::FieldText fieldName(const QWidget* field);
// The field's name and the text it holds, as an action reads it.
protocol::FieldText fieldText(const LineField* field);
protocol::FieldText fieldText(const TextArea* area);

} // namespace pagelayout
} // namespace varnix
