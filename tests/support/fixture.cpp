// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/fixture.h"

#include "widgets/fields.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

namespace varnix::test {

void RecordingDesktop::message(QWidget*, const QString& text, const QString& title, const QStringList& buttons)
{
    messages.append(Message{text, title, buttons});
    if (onMessage)
        onMessage(messages.back());
}

QStringList RecordingDesktop::texts() const
{
    QStringList out;
    for (const Message& m : messages)
        out << m.text;
    return out;
}

bool FakePort::open()
{
    ++opens;
    m_lastWords = false;
    if (failOpen)
        return false;
    m_open = true;
    return true;
}

bool FakePort::close()
{
    m_open = false;
    m_lastWords = false;
    return !failClose;
}

bool FakePort::write(QChar character)
{
    if (!m_open || character.unicode() > 0xff)
        return false;
    if (failWriteAt >= 0 && written.size() == failWriteAt)
        return false;
    written += character;
    return true;
}

QString FakePort::readAll()
{
    if (!m_open && !m_lastWords)
        return {};
    return std::exchange(incoming, QString());
}

void FakePort::loseDevice(const QString& reason)
{
    m_open = false;
    m_lastWords = true;
    emit lost(reason);
}

void RecordingPause::wait(int milliseconds)
{
    waits.append(Wait{position ? position() : -1, milliseconds});
    if (duringWait)
        duringWait();
}

Fixture::Fixture()
{
    ports.setDevices({QStringLiteral("/dev/fake1"), QStringLiteral("/dev/fake2")});
    pause.position = [this] { return int(port.written.size()); };
    window = std::make_unique<Main>(Platform{desktop, ports, port, pause});
}

Fixture::~Fixture()
{
    // The window refers to the fixture's desktop, port and pause.
    window.reset();
}

void WindowFixture::click(const QString& buttonName)
{
    auto* button = find<QAbstractButton>(buttonName);
    QVERIFY2(button, qPrintable(QStringLiteral("no button %1").arg(buttonName)));
    button->click();
}

void WindowFixture::setField(const QString& name, const QString& text)
{
    auto* field = find<LineField>(name);
    QVERIFY2(field, qPrintable(QStringLiteral("no field %1").arg(name)));
    field->setExactText(text);
}

LineField* WindowFixture::txmText() const
{
    return find<LineField>(QStringLiteral("txmText"));
}

TextArea* WindowFixture::rcvText() const
{
    return find<TextArea>(QStringLiteral("rcvText"));
}

QTabWidget* WindowFixture::tabs() const
{
    return find<QTabWidget>(QStringLiteral("SSTab1"));
}

QWidget* WindowFixture::page(int index) const
{
    return tabs()->widget(index);
}

QButtonGroup* WindowFixture::pageOptions() const
{
    return find<QRadioButton>(QStringLiteral("optbarh"))->group();
}

void Fixture::openPort()
{
    click(QStringLiteral("cmdCom"));
}

} // namespace varnix::test

namespace varnix::test {

PtyFixture::PtyFixture()
{
    ports.setDevices({pty.slavePath()});
    window = std::make_unique<Main>(Platform{desktop, ports, port, pause});
}

PtyFixture::~PtyFixture()
{
    window.reset();
}

} // namespace varnix::test
