// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/testmain.h"
#include "protocol/frames.h"

#include <QtTest>

#include <functional>

using namespace varnix::protocol;

Q_DECLARE_METATYPE(varnix::protocol::Refusal)

namespace {

using Fields = QList<FieldText>;

struct Command {
    int arity;
    std::function<FrameResult(const Fields&)> compose;
};

// Every composing function, fed from a row's texts. The texts become the
// fields "field1", "field2", ... in the order of the function's parameters;
// texts standing for list items or numbers are passed on as such.
const QHash<QString, Command>& commands()
{
    static const QHash<QString, Command> table = {
        {"clear", {0, [](const Fields&) { return clearDisplayFrame(); }}},
        {"circle", {3, [](const Fields& f) { return circleFrame(f[0], f[1], f[2]); }}},
        {"square", {3, [](const Fields& f) { return squareFrame(f[0], f[1], f[2]); }}},
        {"diamond", {3, [](const Fields& f) { return diamondFrame(f[0], f[1], f[2]); }}},
        {"star4", {3, [](const Fields& f) { return star4Frame(f[0], f[1], f[2]); }}},
        {"rectangle",
         {5, [](const Fields& f) { return rectangleFrame(f[0], f[1], f[2], f[3], f[4]); }}},
        {"line", {4, [](const Fields& f) { return lineFrame(f[0], f[1], f[2], f[3]); }}},
        {"barH",
         {5, [](const Fields& f) { return barFrame(f[0], f[1], f[2], f[3], false, f[4].text); }}},
        {"barV",
         {5, [](const Fields& f) { return barFrame(f[0], f[1], f[2], f[3], true, f[4].text); }}},
        {"fill", {1, [](const Fields& f) { return fillFrame(f[0].text); }}},
        {"dot", {2, [](const Fields& f) { return dotFrame(f[0], f[1]); }}},
        {"dotAt",
         {2, [](const Fields& f) {
              return dotFrameAt(f[0].text.toDouble(), f[1].text.toDouble(), f[0].label, f[1].label);
          }}},
        {"toggle", {2, [](const Fields& f) { return toggleDotFrame(f[0], f[1]); }}},
        {"putByte", {3, [](const Fields& f) { return putByteFrame(f[0], f[1], f[2]); }}},
        {"putChar", {3, [](const Fields& f) { return putCharFrame(f[0], f[1], f[2]); }}},
        {"hString", {3, [](const Fields& f) { return horizontalStringFrame(f[0], f[1], f[2]); }}},
        {"vString", {3, [](const Fields& f) { return verticalStringFrame(f[0], f[1], f[2]); }}},
        {"xAxis", {4, [](const Fields& f) { return xAxisFrame(f[0], f[1], f[2], f[3].text); }}},
        {"yAxis", {4, [](const Fields& f) { return yAxisFrame(f[0], f[1], f[2], f[3].text); }}},
        {"readExt", {2, [](const Fields& f) { return eepromReadFrame(true, f[0], f[1]); }}},
        {"readInt", {2, [](const Fields& f) { return eepromReadFrame(false, f[0], f[1]); }}},
        {"writeExt",
         {3, [](const Fields& f) { return eepromWriteFrame(true, f[0], f[1].text.toInt(), f[2]); }}},
        {"writeInt",
         {3, [](const Fields& f) { return eepromWriteFrame(false, f[0], f[1].text.toInt(), f[2]); }}},
        {"lcdWrite",
         {5, [](const Fields& f) { return lcdWriteFrame(f[0], f[1], f[2], f[3], f[4]); }}},
        {"lcdRead", {4, [](const Fields& f) { return lcdReadFrame(f[0], f[1], f[2], f[3]); }}},
    };
    return table;
}

} // namespace

class TestFrames : public QObject
{
    Q_OBJECT

private:
    FrameResult compose(const QString& command, const QStringList& texts);

private slots:
    void composes_data();
    void composes();
    void refuses_data();
    void refuses();
};

FrameResult TestFrames::compose(const QString& command, const QStringList& texts)
{
    const auto it = commands().constFind(command);
    if (it == commands().constEnd()) {
        QTest::qFail(qPrintable("no command " + command), __FILE__, __LINE__);
        return {};
    }
    if (texts.size() != it->arity) {
        QTest::qFail(qPrintable(QStringLiteral("%1 takes %2 texts").arg(command).arg(it->arity)),
                     __FILE__, __LINE__);
        return {};
    }
    Fields fields;
    for (qsizetype i = 0; i < texts.size(); ++i)
        fields.append({QStringLiteral("field%1").arg(i + 1), texts[i]});
    return it->compose(fields);
}

void TestFrames::composes_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("frame");

    const QString alphabet = "]A]B]C]D]E]F]G]H]I]J]K]L]M]N]O]P]Q]R]S]T]U]V]W]X]Y]Z";

    // The fields as the window opens.
    QTest::newRow("start: clear") << "clear" << QStringList{} << "]k";
    QTest::newRow("start: circle") << "circle" << QStringList{"64", "32", "20"} << "]c]402014";
    QTest::newRow("start: square") << "square" << QStringList{"64", "32", "20"} << "]s]402014";
    QTest::newRow("start: diamond") << "diamond" << QStringList{"64", "32", "20"} << "]q]402014";
    QTest::newRow("start: star4") << "star4" << QStringList{"64", "32", "20"} << "]t]402014";
    QTest::newRow("start: rectangle")
        << "rectangle" << QStringList{"0", "127", "0", "63", "1"} << "]r]007f003f]1";
    QTest::newRow("start: line") << "line" << QStringList{"00", "127", "00", "40"} << "]l]007f0028";
    QTest::newRow("start: bar") << "barH" << QStringList{"20", "20", "5", "36", "1"}
                                << "]b]14381419]1";
    QTest::newRow("start: bar vertical")
        << "barV" << QStringList{"20", "20", "5", "36", "1"} << "]b]14191438]1";
    QTest::newRow("start: fill") << "fill" << QStringList{"1"} << "]f]1";
    QTest::newRow("start: dot") << "dot" << QStringList{"64", "32"} << "]d]4020";
    QTest::newRow("start: toggle") << "toggle" << QStringList{"64", "32"} << "]e]4020";
    QTest::newRow("start: put byte") << "putByte" << QStringList{"10", "10", "124"} << "]u]0a0a7c";
    QTest::newRow("start: put char") << "putChar" << QStringList{"10", "10", "A"} << "]p]0a0a]A";
    QTest::newRow("start: x axis") << "xAxis" << QStringList{"16", "56", "100", "4"}
                                   << "]x]107438]4";
    QTest::newRow("start: y axis") << "yAxis" << QStringList{"16", "10", "46", "4"}
                                   << "]y]0a3810]4";
    QTest::newRow("start: h string")
        << "hString" << QStringList{"1", "32", "A;TESSEL;DEMO;BY;ORVANTA"}
        << "]h]0120]A];]T]E]S]S]E]L];]D]E]M]O];]B]Y];]O]R]V]A]N]T]A]@";
    QTest::newRow("start: v string") << "vString" << QStringList{"64", "0", "ORVANTA1"}
                                     << "]v]4000]O]R]V]A]N]T]A]1]@";
    QTest::newRow("start: eeprom read") << "readExt" << QStringList{"0000", "0000"} << "]a]00000000";
    QTest::newRow("start: lcd write")
        << "lcdWrite" << QStringList{"000", "000", "00", "00", "]ff"} << "]m]00000000]ff";

    // Hex pairs: padding, lower case, no cut, how field texts are read.
    QTest::newRow("pairs padded") << "circle" << QStringList{"5", "9", "3"} << "]c]050903";
    QTest::newRow("0, 255, 171") << "circle" << QStringList{"0", "255", "171"} << "]c]00ffab";
    QTest::newRow("256 not cut") << "circle" << QStringList{"64", "32", "256"} << "]c]4020100";
    QTest::newRow("largest pair")
        << "circle" << QStringList{"2147483647", "0", "0"} << "]c]7fffffff0000";
    QTest::newRow("blanks around") << "circle" << QStringList{" 64 ", "\t32", "20\t"} << "]c]402014";
    QTest::newRow("halves to even") << "circle" << QStringList{"0.5", "1.5", "2.5"} << "]c]000202";
    QTest::newRow("exponents") << "circle" << QStringList{"1e1", "2.5D1", "6.4e1"} << "]c]0a1940";
    QTest::newRow("minus zero") << "circle" << QStringList{"-0", "0", "20"} << "]c]000014";

    QTest::newRow("rectangle dashed line")
        << "rectangle" << QStringList{"10", "100", "20", "20", "5"} << "]r]0a641414]5";
    QTest::newRow("rectangle reversed")
        << "rectangle" << QStringList{"100", "10", "20", "20", "1"} << "]r]640a1414]1";
    QTest::newRow("rectangle step fraction")
        << "rectangle" << QStringList{"0", "127", "0", "63", "2.5"} << "]r]007f003f]2.5";
    QTest::newRow("rectangle step leading number")
        << "rectangle" << QStringList{"0", "127", "0", "63", " 3 abc"} << "]r]007f003f]3";
    QTest::newRow("rectangle step empty")
        << "rectangle" << QStringList{"0", "127", "0", "63", ""} << "]r]007f003f]0";
    QTest::newRow("line vertical") << "line" << QStringList{"0", "0", "0", "63"} << "]l]0000003f";
    QTest::newRow("line past 255") << "line" << QStringList{"0", "300", "0", "40"} << "]l]0012c0028";

    // Bar corners are start + extent, read by leading numbers.
    QTest::newRow("bar far corner past 255")
        << "barH" << QStringList{"200", "20", "5", "99", "1"} << "]b]c812b1419]1";
    QTest::newRow("bar small values") << "barH" << QStringList{"1", "2", "3", "4", "1"}
                                      << "]b]01050205]1";
    QTest::newRow("bar vertical zero width")
        << "barV" << QStringList{"20", "20", "0", "36", "3"} << "]b]14141438]3";
    QTest::newRow("bar width letters read 0")
        << "barH" << QStringList{"20", "20", "abc", "36", "1"} << "]b]14381414]1";
    QTest::newRow("bar width with blank inside")
        << "barH" << QStringList{"20", "20", "1 0", "36", "1"} << "]b]1438141e]1";
    QTest::newRow("bar sum 22.5 to even")
        << "barH" << QStringList{"20", "20", "2.5", "36", "1"} << "]b]14381416]1";
    QTest::newRow("bar sum 23.5 to even")
        << "barH" << QStringList{"20", "20", "3.5", "36", "1"} << "]b]14381418]1";

    QTest::newRow("dot padded") << "dot" << QStringList{"5", "9"} << "]d]0509";
    QTest::newRow("dot at 250") << "dotAt" << QStringList{"250", "30"} << "]d]fa1e";
    QTest::newRow("dot at 256") << "dotAt" << QStringList{"256", "30"} << "]d]1001e";
    QTest::newRow("dot at halves") << "dotAt" << QStringList{"10.5", "29.5"} << "]d]0a1e";

    QTest::newRow("put byte 5") << "putByte" << QStringList{"10", "10", "5"} << "]u]0a0a05";
    QTest::newRow("put byte 255") << "putByte" << QStringList{"10", "10", "255"} << "]u]0a0aff";
    QTest::newRow("put char upper-cased") << "putChar" << QStringList{"10", "10", "b"} << "]p]0a0a]B";
    QTest::newRow("put char accented") << "putChar" << QStringList{"10", "10", "\u00e9"}
                                       << "]p]0a0a]\u00c9";
    QTest::newRow("put char digit") << "putChar" << QStringList{"10", "10", "7"} << "]p]0a0a]7";

    // Strings: upper-case pairs, the characters of the text without its surrounding blanks.
    QTest::newRow("string AB") << "hString" << QStringList{"1", "32", "AB"} << "]h]0120]A]B]@";
    QTest::newRow("string in capitals") << "hString" << QStringList{"1", "32", "a\u00e9"} << "]h]0120]A]\u00c9]@";
    QTest::newRow("string capital pair digits")
        << "hString" << QStringList{"10", "60", "AB"} << "]h]0A3C]A]B]@";
    QTest::newRow("string x 300") << "hString" << QStringList{"300", "32", "AB"}
                                  << "]h]12C20]A]B]@";
    QTest::newRow("string trailing blanks") << "hString" << QStringList{"1", "32", "AB  "}
                                            << "]h]0120]A]B]@";
    QTest::newRow("string leading blank") << "hString" << QStringList{"1", "32", " AB"}
                                          << "]h]0120]A]B]@";
    QTest::newRow("string blanks around, blank inside")
        << "hString" << QStringList{"1", "32", "  A B  "} << "]h]0120]A] ]B]@";
    QTest::newRow("v string leading blanks keep all 8")
        << "vString" << QStringList{"64", "0", "  ABCDEFGH"} << "]v]4000]A]B]C]D]E]F]G]H]@";
    QTest::newRow("string empty") << "hString" << QStringList{"1", "32", ""} << "]h]0120]@";
    QTest::newRow("string blanks only") << "hString" << QStringList{"1", "32", "   "} << "]h]0120]@";
    QTest::newRow("string of markers") << "hString" << QStringList{"1", "32", "]@"}
                                       << "]h]0120]]]@]@";
    QTest::newRow("string 26 whole")
        << "hString" << QStringList{"1", "32", "ABCDEFGHIJKLMNOPQRSTUVWXYZ"}
        << "]h]0120" + alphabet + "]@";
    QTest::newRow("string 27 cut")
        << "hString" << QStringList{"1", "32", "ABCDEFGHIJKLMNOPQRSTUVWXYZ1"}
        << "]h]0120" + alphabet + "]@";
    QTest::newRow("v string 8 whole") << "vString" << QStringList{"64", "0", "ABCDEFGH"}
                                      << "]v]4000]A]B]C]D]E]F]G]H]@";
    QTest::newRow("v string unsent tail not checked")
        << "vString" << QStringList{"64", "0", "ABCDEFGH\u20ac"} << "]v]4000]A]B]C]D]E]F]G]H]@";

    QTest::newRow("x axis tick 10") << "xAxis" << QStringList{"16", "56", "100", "10"}
                                    << "]x]107438]10";
    QTest::newRow("x axis 0 to 255") << "xAxis" << QStringList{"0", "56", "255", "4"}
                                     << "]x]00ff38]4";
    QTest::newRow("x axis length 0") << "xAxis" << QStringList{"16", "56", "0", "4"}
                                     << "]x]101038]4";
    QTest::newRow("x axis negative length")
        << "xAxis" << QStringList{"16", "56", "-6", "4"} << "]x]100a38]4";
    QTest::newRow("y axis from 5") << "yAxis" << QStringList{"16", "5", "20", "4"} << "]y]051910]4";

    // EEPROM words: upper case, four digits, negatives as 32-bit two's complement.
    QTest::newRow("read external") << "readExt" << QStringList{"0016", "0031"} << "]a]0010001F";
    QTest::newRow("read internal") << "readInt" << QStringList{"0016", "0031"} << "]g]0010001F";
    QTest::newRow("read five digits") << "readExt" << QStringList{"9999", "19997"} << "]a]270F4E1D";
    QTest::newRow("read end -0001") << "readExt" << QStringList{"0000", "-0001"}
                                    << "]a]0000FFFFFFFF";
    QTest::newRow("write external") << "writeExt" << QStringList{"0016", "19", "]41]42]43]44]"}
                                    << "]o]00100013]41]42]43]44]";
    QTest::newRow("write internal") << "writeInt" << QStringList{"0016", "19", "]41]42]43]44]"}
                                    << "]w]00100013]41]42]43]44]";
    QTest::newRow("write end -1") << "writeExt" << QStringList{"0000", "-1", "]"}
                                  << "]o]0000FFFFFFFF]";
    QTest::newRow("write 0300") << "writeExt" << QStringList{"0300", "315", "]ab]"}
                                << "]o]012C013B]ab]";
    QTest::newRow("write data as typed")
        << "writeExt" << QStringList{"0000", "0", "4A \r\n"} << "]o]000000004A \r\n";

    QTest::newRow("lcd write block") << "lcdWrite"
                                     << QStringList{"000", "001", "00", "01", "]ff]00]ff]00"}
                                     << "]m]00010001]ff]00]ff]00";
    QTest::newRow("lcd write no data")
        << "lcdWrite" << QStringList{"000", "000", "00", "00", ""} << "]m]00000000";
    QTest::newRow("lcd read") << "lcdRead" << QStringList{"000", "127", "00", "07"} << "]n]007f0007";
}

void TestFrames::composes()
{
    QFETCH(QString, command);
    QFETCH(QStringList, texts);
    QFETCH(QString, frame);

    const FrameResult result = compose(command, texts);
    QVERIFY2(result.ok(), qPrintable(result.message()));
    QCOMPARE(result.frame, frame);
    QVERIFY(result.message().isEmpty());
}

void TestFrames::refuses_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<Refusal>("refusal");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("detail");

    QTest::newRow("letters") << "circle" << QStringList{"abc", "32", "20"} << Refusal::NotANumber
                             << "field1" << "abc";
    QTest::newRow("empty") << "circle" << QStringList{"64", "", "20"} << Refusal::NotANumber
                           << "field2" << "";
    QTest::newRow("number then letters") << "circle" << QStringList{"64", "32", "12a"}
                                         << Refusal::NotANumber << "field3" << "12a";
    QTest::newRow("blank inside") << "square" << QStringList{"64", "32", "1 2"}
                                  << Refusal::NotANumber << "field3" << "1 2";
    QTest::newRow("euro in a number field") << "dot" << QStringList{"\u20ac", "32"}
                                            << Refusal::NotANumber << "field1" << "\u20ac";
    QTest::newRow("first bad field wins") << "star4" << QStringList{"64", "x", "-1"}
                                          << Refusal::NotANumber << "field2" << "x";
    QTest::newRow("negative") << "circle" << QStringList{"64", "32", "-3"} << Refusal::Negative
                              << "field3" << "-3";
    QTest::newRow("rounds negative") << "toggle" << QStringList{"64", "-0.6"} << Refusal::Negative
                                     << "field2" << "-0.6";
    QTest::newRow("negative rounding to 0") << "circle" << QStringList{"64", "-0.3", "20"}
                                            << Refusal::Negative << "field2" << "-0.3";
    QTest::newRow("negative overflow") << "putByte" << QStringList{"-1e999", "10", "5"}
                                       << Refusal::Negative << "field1" << "-1e999";
    QTest::newRow("beyond 32 bits") << "circle" << QStringList{"2147483648", "32", "20"}
                                    << Refusal::TooLarge << "field1" << "2147483648";
    QTest::newRow("overflow") << "line" << QStringList{"0", "1e999", "0", "0"} << Refusal::TooLarge
                              << "field2" << "1e999";
    QTest::newRow("rectangle infinite step")
        << "rectangle" << QStringList{"0", "127", "0", "63", "1e999"} << Refusal::TooLarge
        << "field5" << "1e999";

    QTest::newRow("bar negative y2") << "barH" << QStringList{"20", "20", "-30", "5", "1"}
                                     << Refusal::Negative << "field2 + field3" << "-10";
    QTest::newRow("bar vertical negative x2") << "barV" << QStringList{"20", "20", "-30", "5", "1"}
                                              << Refusal::Negative << "field1 + field3" << "-10";
    QTest::newRow("bar corner not a number")
        << "barH" << QStringList{"20", "abc", "5", "36", "1"} << Refusal::NotANumber << "field2"
        << "abc";
    QTest::newRow("x axis end negative") << "xAxis" << QStringList{"16", "56", "-20", "4"}
                                         << Refusal::Negative << "field1 + field3" << "-4";
    QTest::newRow("y axis end negative") << "yAxis" << QStringList{"16", "10", "-20.5", "4"}
                                         << Refusal::Negative << "field2 + field3" << "-10.5";
    QTest::newRow("dot at negative") << "dotAt" << QStringList{"-1", "30"} << Refusal::Negative
                                     << "field1" << "-1";
    QTest::newRow("dot at too large") << "dotAt" << QStringList{"10", "3e9"} << Refusal::TooLarge
                                      << "field2" << "3000000000";

    QTest::newRow("put char euro") << "putChar" << QStringList{"10", "10", "\u20ac"}
                                   << Refusal::NotSingleByte << "field3" << "\u20ac";
    QTest::newRow("put char position empty") << "putChar" << QStringList{"", "10", "A"}
                                             << Refusal::NotANumber << "field1" << "";
    QTest::newRow("put char empty") << "putChar" << QStringList{"10", "10", ""} << Refusal::NoCharacter
                                    << "field3" << "";
    QTest::newRow("put char and position empty") << "putChar" << QStringList{"10", "", ""}
                                                 << Refusal::NotANumber << "field2" << "";
    QTest::newRow("string euro") << "hString" << QStringList{"1", "32", "A\u20ac"}
                                 << Refusal::NotSingleByte << "field3" << "\u20ac";
    QTest::newRow("string emoji whole") << "vString" << QStringList{"64", "0", "A\U0001F600"}
                                        << Refusal::NotSingleByte << "field3" << "\U0001F600";
    QTest::newRow("string position letters") << "hString" << QStringList{"1", "y", "AB"}
                                              << Refusal::NotANumber << "field2" << "y";
    QTest::newRow("fill step") << "fill" << QStringList{"\u20ac"} << Refusal::NotSingleByte
                               << "Step" << "\u20ac";

    QTest::newRow("read start letters") << "readExt" << QStringList{"abc", "0000"}
                                        << Refusal::NotANumber << "field1" << "abc";
    QTest::newRow("read end beyond 32 bits") << "readInt" << QStringList{"0000", "3000000000"}
                                             << Refusal::TooLarge << "field2" << "3000000000";
    QTest::newRow("write start below 32 bits")
        << "writeExt" << QStringList{"-3000000000", "0", "]"} << Refusal::TooLarge << "field1"
        << "-3000000000";
    QTest::newRow("write data euro") << "writeInt" << QStringList{"0016", "19", "]41]\u20ac"}
                                     << Refusal::NotSingleByte << "field3" << "\u20ac";
    QTest::newRow("lcd write data euro")
        << "lcdWrite" << QStringList{"000", "000", "00", "00", "]ff\u20ac"}
        << Refusal::NotSingleByte << "field5" << "\u20ac";
    QTest::newRow("lcd read corner letters") << "lcdRead" << QStringList{"000", "abc", "00", "00"}
                                             << Refusal::NotANumber << "field2" << "abc";
}

void TestFrames::refuses()
{
    QFETCH(QString, command);
    QFETCH(QStringList, texts);
    QFETCH(Refusal, refusal);
    QFETCH(QString, field);
    QFETCH(QString, detail);

    const FrameResult result = compose(command, texts);
    QVERIFY(!result.ok());
    QVERIFY2(result.frame.isEmpty(), qPrintable(result.frame));
    QCOMPARE(result.refusal, refusal);
    QCOMPARE(result.field, field);
    QCOMPARE(result.detail, detail);

    // The user must be told which field and what in it.
    const QString message = result.message();
    QVERIFY2(message.contains(field), qPrintable(message));
    QVERIFY2(message.contains(detail), qPrintable(message));
    QVERIFY2(!message.contains(u'\n'), qPrintable(message));
}

VARNIX_TEST_MAIN(TestFrames)
#include "tst_frames.moc"
