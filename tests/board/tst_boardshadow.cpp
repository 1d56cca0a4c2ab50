// SPDX-License-Identifier: GPL-3.0-or-later
// The board as the program's own sending leaves it.
#include "board/boardshadow.h"
#include "link/core/connection.h"
#include "support/fixture.h"
#include "support/testmain.h"

#include <QTest>

using namespace varnix;

namespace {
// The program's connection on a port in memory, and the shadow it feeds.
struct Rig {
    test::FakePort port;
    test::RecordingPause pause;
    link::Connection connection{port, pause};
    board::BoardShadow shadow{connection};
};
} // namespace

class BoardShadowTest : public QObject
{
    Q_OBJECT
private slots:
    void framesSentAreDrawnInOrder();
    void typedCharactersCountOnceTheLineIsQuiet();
    void previewLeavesTheShadowAlone();
};

void BoardShadowTest::framesSentAreDrawnInOrder()
{
    Rig rig;
    auto& connection = rig.connection;
    const auto& shadow = rig.shadow;
    QVERIFY(connection.open());
    connection.transmit(QStringLiteral("]f]1"), QChar(u']'), 0);
    connection.transmit(QStringLiteral("]k"), QChar(u']'), 0);
    connection.transmit(QStringLiteral("]c]402014"), QChar(u']'), 0);
    // A step ends with its frame: the rectangle is drawn without waiting.
    connection.transmit(QStringLiteral("]r]00030003]1"), QChar(u']'), 0);
    const board::Display& display = shadow.firmware().display();
    QVERIFY(display.pixel(84, 32));
    QVERIFY(!display.pixel(64, 32));
    QVERIFY(display.pixel(3, 3));
    QVERIFY(!display.pixel(1, 1));
    QCOMPARE(shadow.firmware().errors(), 0);
}

void BoardShadowTest::typedCharactersCountOnceTheLineIsQuiet()
{
    Rig rig;
    auto& connection = rig.connection;
    const auto& shadow = rig.shadow;
    QVERIFY(connection.open());
    for (QChar c : QStringLiteral("]f]1"))
        QVERIFY(connection.writeCharacter(c));
    QVERIFY(!shadow.firmware().display().pixel(5, 5));
    QTRY_VERIFY(shadow.firmware().display().pixel(5, 5));
}

void BoardShadowTest::previewLeavesTheShadowAlone()
{
    Rig rig;
    const auto& shadow = rig.shadow;
    const board::Firmware preview = shadow.after({QStringLiteral("]d]0102"), QStringLiteral("]x]000a05]2")});
    QVERIFY(preview.display().pixel(1, 2));
    QVERIFY(preview.display().pixel(10, 5));
    QVERIFY(shadow.firmware().display() == board::Display{});
}

VARNIX_TEST_MAIN(BoardShadowTest)
#include "tst_boardshadow.moc"
