// SPDX-License-Identifier: GPL-3.0-or-later
// C for a POSIX host and C++ for the Arduino core: the same runtime in each
// language's terms (src/hostcode/runtime), the frames as literals and the
// blocks as byte arrays.
#include "hostcode/core/emitters.h"

#include "script/runner.h"

namespace varnix::hostcode {

namespace {

QString cRuntime(bool arduino)
{
    return runtime(arduino ? QStringLiteral("runtime.cpp") : QStringLiteral("runtime.c"),
                   {{QStringLiteral("VX_READY_MS"), QString::number(script::kReadyTimeoutMs)},
                    {QStringLiteral("VX_SETTLE_MS"), QString::number(script::Runner::kSettleMs)},
                    {QStringLiteral("VX_LONGEST_SETTLE_MS"), QString::number(script::Runner::kLongestSettleMs)}});
}

// A byte as a C string literal holds it; "?" escaped so that no trigraph
// forms, others in octal, three digits, so that no digit after it joins.
QString escapedByte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\' || c == '?')
        return QStringLiteral("\\") + QLatin1Char(c);
    if (byte >= 0x20 && byte < 0x7f)
        return QString(QLatin1Char(c));
    return QStringLiteral("\\%1").arg(byte, 3, 8, QLatin1Char('0'));
}

// The bytes as string literals of at most about 64 characters a line, the
// lines after the first indented.
QString literal(const QByteArray& bytes, const QString& indent)
{
    QStringList parts;
    QString part;
    for (const char c : bytes) {
        const QString escaped = escapedByte(c);
        if (part.size() + escaped.size() > 64) {
            parts << part;
            part.clear();
        }
        part += escaped;
    }
    parts << part;
    for (QString& p : parts)
        p = u'"' + p + u'"';
    return parts.join(u'\n' + indent);
}

QString byteArray(const QByteArray& bytes)
{
    QString out;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        out += i % 16 == 0 ? QStringLiteral("\n    ") : QStringLiteral(" ");
        out += QStringLiteral("0x%1,").arg(static_cast<unsigned char>(bytes[i]), 2, 16, QLatin1Char('0'));
    }
    return out;
}

// Block comments only: a line comment that ends in a backslash would take
// the next line with it.
QString commentLines(const QStringList& lines)
{
    QString out = QStringLiteral("/*\n");
    for (const QString& line : lines)
        out += QStringLiteral(" *") + (line.isEmpty() ? QString() : u' ' + line) + u'\n';
    return out + QStringLiteral(" */\n");
}

QString blockName(const Unit& unit, int index)
{
    return QStringLiteral("varnix_%1_block%2").arg(unit.name).arg(index + 1);
}

QString expectName(const Unit& unit, int index)
{
    return QStringLiteral("varnix_%1_expect%2").arg(unit.name).arg(index - 1);
}

// The function's body: one statement or a few for each line of the script.
QString body(const Unit& unit, bool arduino)
{
    const QString r = arduino ? QStringLiteral("r") : QStringLiteral("&r");
    // vx_send() takes the line, for the failure it ends in.
    auto text = [&](const QByteArray& bytes, const QString& call, int line) {
        const QString lit = literal(bytes, QStringLiteral("            "));
        return QStringLiteral("    %1(%2, %3%4, %5);\n")
            .arg(call, r, line > 0 ? QStringLiteral("%1, ").arg(line) : QString(),
                 arduino ? QStringLiteral("F(%1)").arg(lit) : lit)
            .arg(bytes.size());
    };
    QString out;
    for (const Action& action : unit.plan.actions) {
        out += QStringLiteral("    /* line %1: %2 */\n").arg(action.line).arg(action.said);
        switch (action.kind) {
        case Action::Kind::Delay:
            out += QStringLiteral("    r.delay = %1;\n").arg(action.value);
            break;
        case Action::Kind::Ready:
            out += QStringLiteral("    r.ready = %1;\n")
                       .arg(arduino ? (action.value ? QStringLiteral("true") : QStringLiteral("false"))
                                    : QString::number(action.value));
            break;
        case Action::Kind::Wait:
            out += QStringLiteral("    vx_wait(%1, %2, %3);\n").arg(r).arg(action.line).arg(action.value);
            break;
        case Action::Kind::Expect:
            out += QStringLiteral("    vx_expect(%1, %2, %3, %4);\n")
                       .arg(r)
                       .arg(action.line)
                       .arg(action.needle < 0 ? QStringLiteral("VX_NEVER") : QString::number(action.needle))
                       .arg(action.value);
            break;
        case Action::Kind::Send:
            if (action.pieces.size() == 1 && action.pieces.front().block < 0) {
                out += text(action.pieces.front().text, QStringLiteral("vx_send"), action.line);
                break;
            }
            out += QStringLiteral("    vx_frame(%1, %2);\n").arg(r).arg(action.line);
            for (const Piece& piece : action.pieces) {
                if (piece.block < 0) {
                    out += text(piece.text, QStringLiteral("vx_text"), 0);
                    continue;
                }
                const Block& block = unit.plan.blocks[piece.block];
                const QString digits = arduino ? (block.upper ? QStringLiteral("true") : QStringLiteral("false"))
                                               : (block.upper ? QStringLiteral("\"0123456789ABCDEF\"")
                                                              : QStringLiteral("\"0123456789abcdef\""));
                out += QStringLiteral("    vx_block(%1, %2, %3, %4);\n")
                           .arg(r, blockName(unit, piece.block))
                           .arg(block.bytes.size())
                           .arg(digits);
            }
            out += QStringLiteral("    vx_answered(%1);\n").arg(r);
            break;
        case Action::Kind::Screen: {
            // The read of the display, then the picture its answer is
            // compared with.
            const QByteArray read = action.pieces.front().text;
            const QString lit = literal(read, {});
            out += QStringLiteral("    vx_screen(%1, %2, %3, %4, %5);\n")
                       .arg(r)
                       .arg(action.line)
                       .arg(arduino ? QStringLiteral("F(%1)").arg(lit) : lit)
                       .arg(read.size())
                       .arg(blockName(unit, action.block));
            break;
        }
        }
    }
    return out;
}

// The pacing character as vx_start() takes it: a character literal where one
// reads plainly, else its byte's number (-1 for none).
QString pacingArgument(const Source& source)
{
    if (!source.pacing)
        return QStringLiteral("-1");
    const char16_t c = source.pacing->unicode();
    if (c >= 0x20 && c < 0x7f && c != u'\'' && c != u'\\')
        return QStringLiteral("'%1'").arg(QChar(c));
    return QString::number(c);
}

// What both languages' function is: its data, then its body between the
// start and the finish of a run.
QString function(const Unit& unit, bool arduino)
{
    const Plan& plan = unit.plan;
    QString out;
    for (qsizetype i = 0; i < plan.blocks.size(); ++i) {
        out += QStringLiteral("\nstatic const %1 %2[%3]%4 = {%5\n};\n")
                   .arg(arduino ? QStringLiteral("uint8_t") : QStringLiteral("unsigned char"),
                        blockName(unit, int(i)))
                   .arg(plan.blocks[i].bytes.size())
                   .arg(arduino ? QStringLiteral(" PROGMEM") : QString(), byteArray(plan.blocks[i].bytes));
    }
    QStringList needles;
    for (qsizetype i = 0; i < plan.needles.size(); ++i) {
        QString text;
        if (i == Plan::kPrompt || i == Plan::kError) {
            text = arduino ? (i == Plan::kPrompt ? QStringLiteral("vx_prompt_text") : QStringLiteral("vx_error_text"))
                           : literal(plan.needles[i], {});
        } else if (arduino) {
            text = expectName(unit, int(i));
            out += QStringLiteral("\nstatic const char %1[] PROGMEM = %2;\n")
                       .arg(text, literal(plan.needles[i], QStringLiteral("    ")));
        } else {
            text = literal(plan.needles[i], QStringLiteral("        "));
        }
        needles << QStringLiteral("{%1, %2}").arg(text).arg(plan.needles[i].size());
    }
    out += arduino ? QStringLiteral("\nint %1(Stream &port)\n{\n").arg(unit.function)
                   : QStringLiteral("\nint %1(int fd)\n{\n").arg(unit.function);
    out += QStringLiteral("    static const %1 needles[] = {%2};\n")
               .arg(arduino ? QStringLiteral("vx_needle") : QStringLiteral("struct vx_needle"),
                    needles.join(QStringLiteral(", ")));
    out += QStringLiteral("    %1 found[%2];\n    char tail[%3];\n    %4 r;\n\n")
               .arg(arduino ? QStringLiteral("uint8_t") : QStringLiteral("unsigned char"))
               .arg(plan.needles.size())
               .arg(plan.longestNeedle())
               .arg(arduino ? QStringLiteral("vx_run") : QStringLiteral("struct vx_run"));
    out += QStringLiteral("    vx_start(%1, %2, needles, %3, found, tail, sizeof tail, %4, %5);\n")
               .arg(arduino ? QStringLiteral("r") : QStringLiteral("&r"),
                    arduino ? QStringLiteral("port") : QStringLiteral("fd"))
               .arg(plan.needles.size())
               .arg(pacingArgument(unit.source))
               .arg(unit.source.startDelay);
    out += body(unit, arduino);
    out += QStringLiteral("    return vx_finish(%1);\n}\n").arg(arduino ? QStringLiteral("r") : QStringLiteral("&r"));
    return out;
}

QString cParity(char parity)
{
    return parity == 'e' ? QStringLiteral("PARENB") : parity == 'o' ? QStringLiteral("PARENB | PARODD") : QString();
}

} // namespace

QString cCode(const Unit& unit)
{
    const QStringList about = aboutLines(
        unit.source, unit.line, unit.function + QStringLiteral("()"),
        {QStringLiteral("It needs a POSIX system and its C compiler alone. Built as a program of its own (cc "
                        "-DVARNIX_MAIN -o %1 %1.c; ./%1 /dev/ttyUSB0) it opens the device and sets the line; or "
                        "call %2(fd) with a descriptor you have opened and set up.")
             .arg(unit.name, unit.function),
         QStringLiteral("It returns VARNIX_DONE, or why the send ended; varnix_line then holds the script's line "
                        "where it ended, varnix_answer the board's error line, and varnix_pixels, varnix_first_x and "
                        "varnix_first_y how many dots of a screen line's picture differ and the first.")});
    QString out = commentLines(about) + u'\n' + cRuntime(false);
    out += function(unit, false);

    const Line& line = unit.line;
    QString flags = QStringLiteral("CS%1 | CREAD | CLOCAL").arg(line.dataBits);
    if (const QString parity = cParity(line.parity); !parity.isEmpty())
        flags += QStringLiteral(" | ") + parity;
    if (line.stopBits == u"2")
        flags += QStringLiteral(" | CSTOPB");
    out += QStringLiteral(R"(
#ifdef VARNIX_MAIN
int main(int argc, char **argv)
{
    int fd, result;
    if (argc != 2) {
        fprintf(stderr, "usage: %s DEVICE\n", argv[0]);
        return 2;
    }
    /* %1 */
    fd = vx_open(argv[1], B%2, %3);
    if (fd < 0)
        return 2;
    result = %4(fd);
    close(fd);
    return vx_told(argv[1], result);
}
#endif
)")
               .arg(line.text)
               .arg(line.settings.baudRate)
               .arg(flags, unit.function);
    return out;
}

QString arduinoCode(const Unit& unit)
{
    const QStringList about = aboutLines(
        unit.source, unit.line, unit.function + QStringLiteral("()"),
        {QStringLiteral("It needs the Arduino core alone; frames and blocks stay in flash. As a sketch of its own "
                        "it sends once after a reset on Serial (pins 0 and 1 of an Uno) and lights the LED when "
                        "the send failed. Elsewhere, define VARNIX_NO_SKETCH before including it and call %1() "
                        "with any Stream: Serial1, a SoftwareSerial, ...")
             .arg(unit.function),
         QStringLiteral("It returns VARNIX_DONE, or why the send ended; varnix_line then holds the script's line "
                        "where it ended, varnix_answer the board's error line, and varnix_pixels, varnix_first_x and "
                        "varnix_first_y how many dots of a screen line's picture differ and the first.")});
    QString out = commentLines(about) + u'\n' + cRuntime(true);
    out += function(unit, true);
    const Line& line = unit.line;
    out += QStringLiteral(R"(
#ifndef VARNIX_NO_SKETCH
void setup()
{
    Serial.begin(%1, SERIAL_%2%3%4);
    int result = %5(Serial);
    pinMode(LED_BUILTIN, OUTPUT);
    digitalWrite(LED_BUILTIN, result == VARNIX_DONE ? LOW : HIGH);
}

void loop()
{
}
#endif
)")
               .arg(line.settings.baudRate)
               .arg(line.dataBits)
               .arg(QChar(line.parity).toUpper())
               .arg(line.stopBits, unit.function);
    return out;
}

} // namespace varnix::hostcode
