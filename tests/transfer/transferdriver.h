#pragma once

// Drives the EEPROM and LCD memory pages as a person does: the window shown
// and active, the page's tab chosen, buttons pressed with the mouse so that
// the focus moves and the leave-field and capture actions run on their own.
#include "support/fixture.h"
#include "widgets/fields.h"

#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace varnix::test {

// Opens the port on the pseudo-terminal, unless told not to, and shows the
// page holding `widget`.
inline void openOnPage(PtyFixture& f, const char* widget, bool open = true)
{
    QVERIFY(f.pty.ok());
    f.pty.startReading();
    if (open) {
        f.click(QStringLiteral("cmdCom"));
        QVERIFY2(f.port.isOpen(), qPrintable(f.desktop.texts().join(u'|')));
        f.desktop.messages.clear();
    }
    auto* target = f.find<QWidget>(QString::fromLatin1(widget));
    QVERIFY(target);
    for (int i = 0; i < f.tabs()->count(); ++i)
        if (f.page(i)->isAncestorOf(target))
            f.tabs()->setCurrentIndex(i);
    f.main().show();
    f.main().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&f.main()));
}

inline void press(PtyFixture& f, const char* button)
{
    auto* push = f.find<QPushButton>(QString::fromLatin1(button));
    QVERIFY2(push, button);
    QTest::mouseClick(push, Qt::LeftButton);
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

inline QString areaText(PtyFixture& f, const char* name)
{
    return f.find<TextArea>(QString::fromLatin1(name))->exactText();
}

inline QString caption(PtyFixture& f, const char* name)
{
    return f.find<QLabel>(QString::fromLatin1(name))->text();
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

// Everything the far end has received so far, once `total` bytes are there
// and nothing more follows for a moment.
inline QByteArray farEnd(PtyFixture& f, qsizetype total)
{
    f.pty.waitForBytes(std::size_t(total), 10000);
    QTest::qWait(60);
    return f.pty.received();
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
