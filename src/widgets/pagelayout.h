#pragma once

#include "protocol/frames.h"

#include <QString>
#include <QStringList>

#include <initializer_list>

class QGridLayout;
class QHBoxLayout;
class QLayout;
class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

namespace varnix {

class LineField;
class ListBox;

// Building blocks shared by the command and transfer pages, so that every
// page shows its captions, fields and buttons the same way.
namespace pagelayout {

// A caption shown exactly as written: runs of blanks stay, and a text is
// never taken for rich text.
QLabel* caption(const QString& text);
// A caption that actions read or change, found by its name.
QLabel* namedCaption(const QString& name, const QString& text);
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

// Lays a page out from the top: its line of explanation, the body with its
// fields, then its button.
void fillPage(QWidget* page, const QString& explanation, QLayout* body, QPushButton* button);

// Buttons side by side from the left.
QHBoxLayout* buttonRow(std::initializer_list<QWidget*> buttons);

// A caption in `column` and its widget right of it; an empty caption leaves
// the column free.
void addRow(QGridLayout* grid, int row, int column, const QString& caption, QWidget* widget);

// A field as an action reads it, labelled for a refusal by what the page
// calls it and by its name: "Circle Radius (txtcr)".
protocol::FieldText fieldText(const QString& description, const LineField* field);

} // namespace pagelayout
} // namespace varnix
