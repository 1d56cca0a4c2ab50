// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/fixture.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace varnix::test {

// What a person sets before pressing a button, one entry each: "name=value"
// gives a field its text or selects the list entry with that text; a bare
// name clicks that option button.
void applySettings(WindowFixture& f, const QStringList& settings);

// What the window should show, one entry each: "name=value", the value as
// shown() gives it.
void verifyState(WindowFixture& f, const QStringList& expectations);

// What the named field, text area or label shows, "on" / "off" for an option
// or toggle button; for a name the window lacks, a text that says so.
QString shown(WindowFixture& f, const QString& name);

// Every one-line field of the window as "name=text", for verifyState(), less
// the fields left out.
QStringList fieldTexts(WindowFixture& f, const QList<const LineField*>& leftOut = {});

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

// Brings the page holding the named widget into view, the window shown and
// active.
void showPageOf(WindowFixture& f, const QString& widgetName);

// Clicks a button with the mouse, its page in view and the window active, so
// that the focus moves as it does for a person.
void press(WindowFixture& f, const QString& buttonName);

// The frames of a run of dots, one per dot, the moving coordinate counting up.
QString dotRun(int x, int y, int count, bool horizontal);

} // namespace varnix::test
