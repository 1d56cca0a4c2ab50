// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Drives the EEPROM and LCD memory pages as a person does: the window shown
// and active, the page's tab chosen, buttons pressed with the mouse so that
// the focus moves and the leave-field and capture actions run on their own.
#include "support/pagedriver.h"
#include "widgets/fields.h"

#include <QPushButton>
#include <QTest>

namespace varnix::test {

// Opens the port on the pseudo-terminal, unless told not to, and shows the
// page holding `widget`.
inline void openOnPage(PtyFixture& f, const char* widget, bool open = true)
{
    if (open)
        openPtyPort(f);
    else
        f.pty.startReading();
    showPageOf(f, QString::fromLatin1(widget));
}

// Puts the text into a field or area with the focus in it, as typing would
// leave it; the focus leaves when the next button is pressed.
inline void enter(PtyFixture& f, const char* name, const QString& text)
{
    if (auto* field = f.find<LineField>(QString::fromLatin1(name))) {
        field->setFocus();
        field->setExactText(text);
    } else {
        auto* area = f.find<TextArea>(QString::fromLatin1(name));
        QVERIFY2(area, name);
        area->setFocus();
        area->setExactText(text);
    }
}

inline QString pacingDelay(PtyFixture& f)
{
    return f.find<LineField>(QStringLiteral("xmitdelay"))->exactText();
}

// Which of the named buttons are enabled, e.g. "cmdechk" or "" for none.
inline QStringList enabled(PtyFixture& f, const QStringList& buttons)
{
    QStringList on;
    for (const QString& name : buttons)
        if (f.find<QPushButton>(name)->isEnabled())
            on << name;
    return on;
}

// The board answering: bytes written into the far end reach the receive
// window through the receive poll.
inline void boardAnswers(PtyFixture& f, const QByteArray& reply)
{
    const QString before = f.rcvText()->exactText();
    QVERIFY(f.pty.send(reply));
    QTRY_VERIFY_WITH_TIMEOUT(f.rcvText()->exactText() != before, 5000);
    QTest::qWait(120); // two more polls: the whole reply is in
}

} // namespace varnix::test
