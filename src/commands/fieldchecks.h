// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace varnix {

class PageHost;

// Binds the leave-field checks of the drawing fields found on a page: each
// time the focus leaves such a field, a value out of its range is refused
// with a message and replaced by a fixed text. Fields without a check are
// left alone.
void bindLeaveFieldChecks(PageHost& host, QWidget* page);

// What the leave-field check of the drawing field of that name says of a
// text (a length read with the text of the start it is counted from):
// nothing when it passes or the field has no check, otherwise its message
// and the text the page puts in its place. For the screen editor, whose
// fields take the pages' names and are checked as theirs are.
struct LeaveFieldRefusal {
    QString message;
    QString replacement;
};
std::optional<LeaveFieldRefusal> leaveFieldRefusal(const QString& field, const QString& text,
                                                   const QString& partnerText = QString());

} // namespace varnix
