// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/boardfixture.h"

#include "widgets/fields.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QTest>

namespace varnix::test {

BoardFixture::BoardFixture()
{
    if (board.start())
        ports.setDevices({board.devicePath()}, board.devicePath());
    window = std::make_unique<Main>(Platform{desktop, ports, port, pause});
}

BoardFixture::~BoardFixture()
{
    // The window refers to the fixture's desktop, port and pause.
    window.reset();
}

void BoardFixture::open()
{
    QVERIFY2(!board.devicePath().isEmpty(), qPrintable(board.errorString()));
    click(QStringLiteral("cmdCom"));
    QVERIFY2(port.isOpen(), qPrintable(desktop.texts().join(u'|')));
}

bool BoardFixture::openNetwork(const QString& address)
{
    find<QComboBox>(QStringLiteral("cboAddress"))->setCurrentText(address);
    find<QRadioButton>(QStringLiteral("optNetwork"))->setChecked(true);
    click(QStringLiteral("cmdCom"));
    // The window goes on while the server is reached: until it has answered.
    const QDeadlineTimer deadline(30000);
    while (port.opening() && !deadline.hasExpired())
        QTest::qWait(5);
    return port.isOpen();
}

bool BoardFixture::settle(int timeoutMs)
{
    // Quiet for longer than the board's silence and two receive polls.
    constexpr qint64 kQuietMs = 200;
    QElapsedTimer total;
    total.start();
    QElapsedTimer quiet;
    quiet.start();
    qint64 seen = board.receivedCount();
    QString shown = rcvText()->exactText();
    while (total.elapsed() < timeoutMs) {
        QTest::qWait(20);
        if (board.receivedCount() != seen || rcvText()->exactText() != shown) {
            seen = board.receivedCount();
            shown = rcvText()->exactText();
            quiet.restart();
        } else if (quiet.elapsed() >= kQuietMs) {
            return true;
        }
    }
    return false;
}

} // namespace varnix::test
