// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testmain.h"
#include "board/firmware.h"
#include "board/font.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <functional>

// Inside the namespace, Display is the board's and not X11's.
namespace varnix::board {
using Rule = std::function<bool(int x, int y)>; // the pixels expected set
}
Q_DECLARE_METATYPE(varnix::board::Rule)

namespace varnix::board {
namespace {

const QByteArray ready = "Ready:\r\n";

Firmware run(QByteArrayView frames, QByteArray* replies = nullptr)
{
    Firmware board;
    QByteArray out = board.feed(frames);
    out += board.silence();
    if (replies)
        *replies = out;
    return board;
}

// The first pixels that break the rule, for the failure message.
QString mismatches(const Display& display, const Rule& expected)
{
    QStringList wrong;
    for (int y = 0; y < Display::height && wrong.size() < 8; ++y)
        for (int x = 0; x < Display::width && wrong.size() < 8; ++x)
            if (display.pixel(x, y) != expected(x, y))
                wrong << QStringLiteral("%1,%2").arg(x).arg(y);
    return wrong.join(u' ');
}

bool in(int value, int low, int high)
{
    return value >= low && value <= high;
}

double distanceToSegment(QPointF p, QPointF a, QPointF b)
{
    const QPointF d = b - a;
    const double t = std::clamp(QPointF::dotProduct(p - a, d) / QPointF::dotProduct(d, d), 0.0, 1.0);
    const QPointF off = p - a - t * d;
    return std::hypot(off.x(), off.y());
}

} // namespace

class TestFirmware : public QObject
{
    Q_OBJECT

private slots:
    void displayLayout();
    void shapes_data();
    void shapes();
    void circle();
    void star();
    void font();
    void characters_data();
    void characters();
    void replies_data();
    void replies();
    void displayMemoryBlocks();
    void trailingNumbers();
    void copiesAreIndependent();
    void malformedFramesRecover_data();
    void malformedFramesRecover();
    void splitFeedingGivesTheSameResult();
    void randomBytesNeverBreakIt();
};

void TestFirmware::displayLayout()
{
    Display display;
    display.setPixel(3, 10);
    display.setByte(5, 2, 0x81);
    display.togglePixel(5, 23);
    QCOMPARE(display.byteAt(3, 1), quint8(0x04));
    QVERIFY(display.pixel(5, 16) && !display.pixel(5, 23));
    const Display before = display;
    for (int far : {-1, 128, INT_MIN, INT_MAX}) {
        display.setPixel(far, 0);
        display.setPixel(0, far == 128 ? 64 : far);
        display.togglePixel(far, far);
        display.setByte(far, 0, 0xff);
        display.setByte(0, far == 128 ? 8 : far, 0xff);
    }
    QCOMPARE(display, before);
}

void TestFirmware::shapes_data()
{
    QTest::addColumn<QByteArray>("frames");
    QTest::addColumn<Rule>("expected");
    auto row = [](const char* name, const char* frames, Rule rule) {
        QTest::newRow(name) << QByteArray(frames) << rule;
    };
    auto dashedRectangle = [](int x, int y) {
        return ((y == 5 || y == 20) && in(x, 10, 30) && (x - 10) % 3 == 0)
            || ((x == 10 || x == 30) && in(y, 5, 20) && (y - 5) % 3 == 0);
    };
    auto patternedBar = [](int x, int y) { return in(x, 10, 30) && in(y, 5, 20) && x % 2 == 0 && (y - 5) % 2 == 0; };
    auto dashedRow = [](int x, int y) { return y == 5 && in(x, 10, 30) && (x - 10) % 3 == 0; };

    row("clear", "]f]1]k", [](int, int) { return false; });
    row("fill step 1", "]f]1", [](int, int) { return true; });
    row("fill grid replaces the display", "]d]0101]F]3", [](int x, int y) { return x % 3 == 0 || y % 3 == 0; });
    row("square", "]s]402014", [](int x, int y) { return std::max(std::abs(x - 64), std::abs(y - 32)) == 20; });
    row("square clipped", "]s]000014", [](int x, int y) { return std::max(x, y) == 20; });
    row("diamond", "]q]402014", [](int x, int y) { return std::abs(x - 64) + std::abs(y - 32) == 20; });
    row("rectangle step 3", "]r]0a1e0514]3", dashedRectangle);
    row("rectangle corners reversed", "]r]1e0a1405]3", dashedRectangle);
    row("rectangle on one row", "]r]0a641414]5", [](int x, int y) { return y == 20 && in(x, 10, 100) && x % 5 == 0; });
    row("line x1 x2 y1 y2", "]l]0a14000a", [](int x, int y) { return y == x - 10 && in(x, 10, 20); });
    row("line right to left", "]l]140a000a", [](int x, int y) { return x + y == 20 && in(x, 10, 20); });
    row("line vertical", "]l]0a0a0532", [](int x, int y) { return x == 10 && in(y, 5, 50); });
    row("bar solid", "]b]0a1e0514]1", [](int x, int y) { return in(x, 10, 30) && in(y, 5, 20); });
    row("bar step 2", "]b]0a1e0514]2", patternedBar);
    row("bar corners reversed", "]b]1e0a1405]2", patternedBar);
    row("dot", "]d]4020]d]ff40]d]40ff", [](int x, int y) { return x == 64 && y == 32; });
    row("toggle", "]d]4020]e]4020]e]0102", [](int x, int y) { return x == 1 && y == 2; });
    row("byte 81", "]u]0a0a81", [](int x, int y) { return x == 10 && (y == 10 || y == 17); });
    row("byte clears its 0 bits", "]f]1]u]0a0a81", [](int x, int y) { return !(x == 10 && in(y, 11, 16)); });
    row("x-axis", "]x]107438]4", [](int x, int y) {
        return in(x, 16, 116) && (y == 56 || ((y == 57 || y == 58) && x % 4 == 0));
    });
    row("x-axis, tick 10", "]x]001405]10", [](int x, int y) {
        return in(x, 0, 20) && (y == 5 || ((y == 6 || y == 7) && x % 10 == 0));
    });
    row("y-axis", "]y]0a3810]4", [](int x, int y) {
        return in(y, 10, 56) && (x == 16 || ((x == 15 || x == 14) && (y - 10) % 4 == 0));
    });
    row("straight line across", "]i]0a1e0514]3", dashedRow);
    row("step with a fraction", "]i]0a1e0514]3.5", dashedRow);
    row("straight line down", "]j]0a1e0514]3",
        [](int x, int y) { return x == 10 && in(y, 5, 20) && (y - 5) % 3 == 0; });
    row("third hex digit left over", "]d]4020]c]4020100]k]d]0a0b0", [](int x, int y) { return x == 10 && y == 11; });
}

void TestFirmware::shapes()
{
    QFETCH(QByteArray, frames);
    QFETCH(Rule, expected);
    QByteArray replies;
    const Firmware board = run(frames, &replies);
    const QString wrong = mismatches(board.display(), expected);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QCOMPARE(board.errors(), 0);
    QCOMPARE(replies, ready.repeated(board.commandsDone()));
}

void TestFirmware::circle()
{
    const Display display = run("]c]402014").display();
    QVERIFY(display.pixel(84, 32) && display.pixel(44, 32) && display.pixel(64, 12) && display.pixel(64, 52));
    QVERIFY(!display.pixel(64, 32));
    QVERIFY(mismatches(display, [&](int x, int y) {
                return display.pixel(x, y) && std::abs(std::hypot(x - 64, y - 32) - 20) < 1;
            }).isEmpty());
    for (int degree = 0; degree < 360; degree += 3) { // no gap
        const int x = int(std::lround(64 + 20 * std::cos(degree * M_PI / 180)));
        const int y = int(std::lround(32 + 20 * std::sin(degree * M_PI / 180)));
        QVERIFY2(display.pixel(x, y) || display.pixel(x + 1, y) || display.pixel(x - 1, y)
                     || display.pixel(x, y + 1) || display.pixel(x, y - 1),
                 qPrintable(QString::number(degree)));
    }
}

void TestFirmware::star()
{
    const Display display = run("]t]402014").display();
    const QPointF corners[] = {{84, 32}, {69, 27}, {64, 12}, {59, 27}, {44, 32}, {59, 37}, {64, 52}, {69, 37}};
    QVERIFY(mismatches(display, [&](int x, int y) {
                double nearest = 99;
                for (int i = 0; i < 8; ++i)
                    nearest = std::min(nearest, distanceToSegment(QPointF(x, y), corners[i], corners[(i + 1) % 8]));
                return display.pixel(x, y) && nearest < 0.75;
            }).isEmpty());
    QVERIFY(display.pixel(84, 32) && display.pixel(44, 32) && display.pixel(64, 12) && display.pixel(64, 52));
    // Dashed: next to each point, inwards, nothing is set.
    for (int d = -1; d <= 1; ++d)
        QVERIFY(!display.pixel(83, 32 + d) && !display.pixel(45, 32 + d) && !display.pixel(64 + d, 13)
                && !display.pixel(64 + d, 51));
}

void TestFirmware::font()
{
    const QByteArray drawn = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!\"#$%&'()*+,-./:<=>?@[\\]^_";
    const Glyph blank{};
    const Glyph box = glyph('~');
    QCOMPARE(box, (Glyph{0x7f, 0x41, 0x41, 0x41, 0x7f}));
    QCOMPARE(glyph(char(0xe9)), box);
    QCOMPARE(glyph(';'), blank);
    QCOMPARE(glyph(' '), blank);
    for (int i = 0; i < drawn.size(); ++i) {
        QVERIFY2(glyph(drawn[i]) != blank && glyph(drawn[i]) != box, drawn.mid(i, 1).constData());
        QCOMPARE(glyph(char(QChar::toLower(char16_t(drawn[i])))), glyph(drawn[i]));
        for (int j = 0; j < i; ++j)
            QVERIFY2(glyph(drawn[i]) != glyph(drawn[j]), drawn.mid(j, 1).append(drawn[i]).constData());
    }
}

void TestFirmware::characters_data()
{
    QTest::addColumn<QByteArray>("frames");
    QTest::addColumn<QByteArray>("shown");
    QTest::addColumn<QPoint>("topLeft");
    QTest::addColumn<QPoint>("advance");
    auto row = [](const char* name, const char* frames, const char* shown, QPoint topLeft, QPoint advance) {
        QTest::newRow(name) << QByteArray(frames) << QByteArray(shown) << topLeft << advance;
    };
    // Put character centres its cell on x, y.
    row("put A", "]p]0a0a]A", "A", {8, 7}, {});
    row("put lower case", "]p]0a0a]q", "Q", {8, 7}, {});
    row("put ; is blank", "]p]0a0a];", " ", {8, 7}, {});
    row("put ] then silence", "]p]7c3c]]", "]", {122, 57}, {});
    row("put ] then a frame", "]p]0a0a]]]p]1010]B", "]", {8, 7}, {});
    row("horizontal", "]h]0120]A];]B]@", "A B", {1, 32}, {6, 0});
    row("horizontal, capital hex, clipped", "]h]0A3C]Z]9]@", "Z9", {10, 60}, {6, 0});
    row("horizontal ] and unknown", "]h]0000]]]\xe9]@", "]\xe9", {0, 0}, {6, 0});
    row("vertical", "]v]4000]O]K]@", "OK", {64, 0}, {0, 8});
}

void TestFirmware::characters()
{
    QFETCH(QByteArray, frames);
    QFETCH(QByteArray, shown);
    QFETCH(QPoint, topLeft);
    QFETCH(QPoint, advance);
    QByteArray replies;
    const Firmware board = run("]f]1" + frames, &replies);
    const Rule expected = [&](int x, int y) {
        if (frames.endsWith("]B") && in(x, 14, 18) && in(y, 13, 19))
            return bool((glyph('B')[x - 14] >> (y - 13)) & 1);
        for (int i = 0; i < shown.size(); ++i) {
            const QPoint cell = QPoint(x, y) - topLeft - i * advance;
            if (in(cell.x(), 0, glyphWidth - 1) && in(cell.y(), 0, glyphHeight - 1))
                return bool((glyph(shown[i])[cell.x()] >> cell.y()) & 1);
        }
        return true; // opaque cells, the rest of the display untouched
    };
    const QString wrong = mismatches(board.display(), expected);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QCOMPARE(board.errors(), 0);
    QCOMPARE(replies, ready.repeated(board.commandsDone()));
}

void TestFirmware::replies_data()
{
    QTest::addColumn<QByteArray>("frames");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("erased"); // both EEPROMs as they started

    const QByteArray outside = "Error: address outside the EEPROM\r\n" + ready;
    const QByteArray endBefore = "Error: end before start\r\n" + ready;
    const QByteArray offDisplay = "Error: block outside the display memory\r\n" + ready;
    auto row = [](const char* name, const QByteArray& frames, const QByteArray& answer, bool erased) {
        QTest::newRow(name) << frames << answer << erased;
    };
    row("external write and read", "]o]00100013]41]42]43]44]]a]00100013", ready + "41424344" + ready, false);
    row("internal write and read", "]w]00fe00ff]aa]BB]]g]00fd00ff", ready + "ffaabb" + ready, false);
    row("write to one EEPROM only", "]o]00000000]00]]g]00000000", ready + "ff" + ready, false);
    row("external read at the end", "]A]7fff7fff", "ff" + ready, true);
    row("external read beyond", "]a]7fff8000", outside, true);
    row("internal read beyond", "]g]00000100", outside, true);
    row("read end before start", "]a]00050004", endBefore, true);
    row("external write beyond, data skipped", "]o]7fff8000]01]02]", outside, true);
    row("internal write beyond", "]w]00ff0100]01]02]", outside, true);
    row("write end before start", "]w]00100008]01]", endBefore, true);
    row("display read", "]n]00020000", "000000" + ready, true);
    row("display read beyond", "]n]00800000", offDisplay, true);
    row("display write beyond, data skipped", "]m]007f0008]01]02", offDisplay, true);
    row("display read end before start", "]n]05040000", endBefore, true);
}

void TestFirmware::replies()
{
    QFETCH(QByteArray, frames);
    QFETCH(QByteArray, answer);
    QFETCH(bool, erased);
    QByteArray replies;
    const Firmware board = run(frames, &replies);
    QCOMPARE(replies, answer);
    QCOMPARE(board.externalEeprom() == QByteArray(Firmware::externalEepromSize, char(0xff))
                 && board.internalEeprom() == QByteArray(Firmware::internalEepromSize, char(0xff)),
             erased);
    QCOMPARE(board.display(), Display());
}

void TestFirmware::displayMemoryBlocks()
{
    // Row by row: columns 3 and 4 of row 0, then of row 1.
    const Display small = run("]m]03040001]ff]00]0f]80").display();
    QVERIFY(mismatches(small, [](int x, int y) { return (x == 3 && y < 12) || (x == 4 && y == 15); }).isEmpty());

    QRandomGenerator random(7);
    QByteArray bytes(Display::byteCount, 0);
    random.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
    QByteArray frame = "]m]007f0007";
    for (char byte : bytes)
        frame += ']' + QByteArray(1, byte).toHex();
    Firmware board;
    QCOMPARE(board.feed(frame), ready);
    QCOMPARE(board.feed("]n]007f0007"), bytes.toHex() + ready);
    QByteArray block;
    for (int row = 3; row <= 5; ++row)
        block += bytes.mid(row * 128 + 16, 3);
    QCOMPARE(board.feed("]n]10120305"), block.toHex() + ready);
    QCOMPARE(board.display().pixel(16, 24), bool(bytes[3 * 128 + 16] & 1));
}

void TestFirmware::trailingNumbers()
{
    Firmware board;
    QVERIFY(board.feed("]f]1").isEmpty());
    QVERIFY(!board.display().pixel(5, 5));
    QCOMPARE(board.silence(), ready);
    QVERIFY(board.display().pixel(5, 5));
    // Ended by the next frame or a line end; a pause before the digits does
    // not end it.
    QCOMPARE(board.feed("]k]f]2]d]0101"), ready.repeated(3));
    QVERIFY(board.display().pixel(1, 1) && !board.display().pixel(1, 3));
    QCOMPARE(board.feed("]k]f]1\r]k]r]00010001]"), ready.repeated(3));
    QVERIFY(board.silence().isEmpty());
    QVERIFY(board.feed("1").isEmpty());
    QCOMPARE(board.silence(), ready);
    QVERIFY(board.display().pixel(1, 1) && !board.display().pixel(1, 2));
    QCOMPARE(board.commandsDone(), 8);
}

void TestFirmware::copiesAreIndependent()
{
    Firmware original;
    original.feed("]d]0000]w]00000000]11]]d]01");
    Firmware copy = original;
    copy.feed("01]k]o]00000000]22]]w]00000000]33]");
    QVERIFY(original.display().pixel(0, 0) && !original.display().pixel(1, 1));
    QCOMPARE(original.internalEeprom().at(0), char(0x11));
    QCOMPARE(original.externalEeprom().at(0), char(0xff));
    QCOMPARE(copy.internalEeprom().at(0), char(0x33));
    QCOMPARE(copy.externalEeprom().at(0), char(0x22));
    // The frame half read when copying goes on in each on its own.
    QCOMPARE(original.feed("02"), ready);
    QVERIFY(original.display().pixel(1, 2));
}

void TestFirmware::malformedFramesRecover_data()
{
    QTest::addColumn<QByteArray>("frames");
    QTest::addColumn<QByteArray>("errors");
    auto row = [](const char* name, const char* frames, const char* errors) {
        QTest::newRow(name) << QByteArray(frames) << QByteArray(errors);
    };
    // Each row is followed by a dot at 127,63. In errors each letter is an
    // error line: u unknown command, b "]" expected, h hex digit expected,
    // c cut short, n number expected, s bad step, m missing character; a dot
    // is a command done. \x01 is a pause on the line.
    row("unknown letter and its parameters", "]z]4020]41]", "u");
    row("letter without its ]", "]c4020", "b");
    row("bad hex digit", "]c]40zz14", "h");
    // A command letter where a hex digit belongs begins a new command only
    // right after a "]" of the frame and with its own "]" behind it.
    row("command letter inside the pairs", "]d]0g00", "h");
    row("command letter after a hex letter", "]d]ag00", "h");
    row("command letter after ] without its ]", "]d]l0a14", "h");
    row("command letter after ] with its ]", "]d]l]0a14000a", "c.");
    row("hex letter after ] with its ]", "]d]f]1", "c.");
    row("]k right after ]", "]c]k", "c.");
    row("data: command letter in a byte", "]m]00010000]0g]01", "h");
    row("data: command letter after ] without its ]", "]m]00010000]g0]01", "h");
    row("data: command letter after ] with its ]", "]m]00010000]l]0a14000a", "c.");
    row("cut short by a frame", "]c]40]d]0506", "c.");
    row("lone ] restarts", "]]d]0506", ".");
    row("cut short right after its ]", "]c]]d]0506", "c.");
    row("cut short by ]k", "]f]1]c]40]k", ".c.");
    row("data cut short by ]d]", "]m]00010000]ff]d]0506", "c.");
    row("data cut short by ]f]", "]m]00010000]f]1", "c.");
    row("data error skips the rest", "]m]00050000]zz]01]02]03]04]05", "h");
    row("data without ]", "]m]00000000ff", "b");
    row("data beyond the block", "]m]00000000]ff]ee]dd", ".b");
    row("EEPROM write's closing ] then a pause", "]o]00000000]41]\x01", ".");
    row("string cut short by a command", "]h]0000]A]B]d]0506", "c.");
    row("string cut short by ]k", "]h]0000]A]k", "c.");
    row("string without ]", "]h]0000]AB]@", "b");
    row("put character without one", "]p]0a0a]]k", "m.");
    row("step 0", "]f]0\x01", "s");
    row("number missing", "]f]]d]0506", "n.");
    row("number with a letter", "]r]00010001]1x", "n");
    row("stray bytes between frames", "abc\r\n@", "");
}

void TestFirmware::malformedFramesRecover()
{
    QFETCH(QByteArray, frames);
    QFETCH(QByteArray, errors);
    static const QHash<char, QByteArray> lines = {
        {'u', "unknown command"}, {'b', "] expected"}, {'h', "hex digit expected"}, {'c', "frame cut short"},
        {'n', "number expected"}, {'s', "step must be 1 or more"}, {'m', "character missing"}};
    QByteArray expected;
    for (char e : errors)
        expected += (e == '.' ? QByteArray() : "Error: " + lines.value(e) + "\r\n") + ready;

    Firmware board;
    QByteArray replies;
    for (const QByteArray& part : frames.split('\x01')) {
        replies += board.feed(part);
        replies += board.silence();
    }
    QCOMPARE(replies, expected);
    QCOMPARE(board.errors(), errors.size() - errors.count('.'));
    QCOMPARE(board.feed("]d]7f3f"), ready);
    QVERIFY(board.display().pixel(127, 63));
}

void TestFirmware::splitFeedingGivesTheSameResult()
{
    const QList<QByteArray> frames = {
        "]c]402014", "]t]402014", "]r]007f003f]1", "]b]14381419]2", "]x]107438]10", "]f]3", "]p]0a0a]]",
        "]p]0a0a]A", "]h]0120]A];]]]B]@", "]m]00010000]ff]a5", "]o]00100013]41]42]43]44]", "]a]00100013",
        "]n]00010000", "]c]40]d]0506", "]m]00050000]zz]01]02", "]h]0000]A]k", "]g]01000100"};
    Firmware start;
    start.feed("]u]0000a5]w]00000001]12]34]");
    for (const QByteArray& frame : frames) {
        auto feedParts = [&](const QList<QByteArrayView>& parts) {
            Firmware board = start;
            QByteArray replies;
            for (QByteArrayView part : parts)
                replies += board.feed(part);
            replies += board.silence();
            return std::tuple{board.display(), replies, board.externalEeprom(), board.commandsDone()};
        };
        const auto whole = feedParts({frame});
        QList<QByteArrayView> bytes;
        for (int i = 0; i < frame.size(); ++i)
            bytes << QByteArrayView(frame).sliced(i, 1);
        QVERIFY2(feedParts(bytes) == whole, frame.constData());
        for (int cut = 1; cut < frame.size(); ++cut)
            QVERIFY2(feedParts({QByteArrayView(frame).first(cut), QByteArrayView(frame).sliced(cut)}) == whole,
                     qPrintable(QStringLiteral("%1 cut at %2").arg(frame.constData()).arg(cut)));
    }
}

void TestFirmware::randomBytesNeverBreakIt()
{
    // Biased towards the bytes frames are made of, to reach deep into frames.
    const QByteArray common = "]]]]]]0123456789abcdefABCDEFklmnopqrstuvwxyz@.;\r";
    const QByteArray check = "]c]402014]x]107438]4]d]7f3f]n]7c7f0707]g]00000003";
    Firmware fresh;
    const QByteArray freshReplies = fresh.feed(check);
    QRandomGenerator random(20240611);
    for (int round = 0; round < 200; ++round) {
        Firmware board;
        for (int i = 0; i < 400; ++i) {
            const int pick = random.bounded(20);
            if (pick == 0)
                board.silence();
            else
                board.feed(QByteArray(1, pick == 1 ? char(random.bounded(256))
                                                   : common[random.bounded(int(common.size()))]));
        }
        board.feed("]k]k"); // ends whatever frame the garbage left open
        board.silence();
        board.feed("]w]00000003]ff]ff]ff]ff]");
        QCOMPARE(board.feed(check), freshReplies);
        QCOMPARE(board.display(), fresh.display());
    }
}

} // namespace varnix::board

VARNIX_TEST_MAIN(varnix::board::TestFirmware)
#include "tst_firmware.moc"
