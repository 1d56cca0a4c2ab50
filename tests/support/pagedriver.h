#pragma once

#include "support/fixture.h"

#include <QByteArray>
#include <QStringList>

namespace varnix::test {

// What a person sets before pressing a button, one entry each: "name=value"
// gives a field its text or selects the list entry with that text; a bare
// name clicks that option button.
void applySettings(WindowFixture& f, const QStringList& settings);

// What the window should show, one entry each: "name=value" for a field's
// text or a label's caption, "name=on" / "name=off" for an option button.
void verifyState(WindowFixture& f, const QStringList& expectations);

// Opens the window's port on the pseudo-terminal, its far end read from now.
void openPtyPort(PtyFixture& f);

// Waits until `expected` has arrived at the far end, then a little longer to
// see that nothing follows it.
void expectReceived(PtyFixture& f, const QByteArray& expected);

// Shows the window and waits until it is active, so that the focus moves
// and clicks land as they do for a person.
void showActive(WindowFixture& f);

// The page of the tab control that holds the widget, -1 for none.
int pageOf(WindowFixture& f, const QWidget* widget);

} // namespace varnix::test
