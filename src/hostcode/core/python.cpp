// SPDX-License-Identifier: GPL-3.0-or-later
// Python with pyserial: a function taking a serial.Serial (serial_for_url()
// serves too, rfc2217:// included) and a __main__ that opens a port.
#include "hostcode/core/emitters.h"

#include "script/runner.h"

namespace varnix::hostcode {

namespace {

// A bytes literal of Python: printable ASCII as itself, the rest as \xhh.
QString bytesLiteral(const QByteArray& bytes)
{
    QString out = QStringLiteral("b\"");
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            out += u'\\' + QString(QLatin1Char(c));
        else if (byte >= 0x20 && byte < 0x7f)
            out += QLatin1Char(c);
        else
            out += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
    }
    return out + u'"';
}

// A long literal as several on lines of their own, which Python joins
// within the call's parentheses.
QString wrappedLiteral(const QByteArray& bytes, const QString& indent)
{
    QStringList parts;
    for (qsizetype i = 0; i < bytes.size() || parts.isEmpty(); i += 60)
        parts << bytesLiteral(bytes.mid(i, 60));
    return parts.join(u'\n' + indent);
}

QString seconds(int ms)
{
    return QString::number(double(ms) / 1000.0, 'g', 10);
}

QString blockName(int index)
{
    return QStringLiteral("_BLOCK_%1").arg(index + 1);
}

} // namespace

QString pythonCode(const Unit& unit)
{
    const Plan& plan = unit.plan;
    QString out = QStringLiteral("#!/usr/bin/env python3\n");
    const QStringList about = aboutLines(
        unit.source, unit.line, unit.function + QStringLiteral("()"),
        {QStringLiteral("It needs Python 3 and pyserial alone. Run by itself (python3 %1.py /dev/ttyUSB0, or "
                        "rfc2217://HOST:PORT for a board behind a serial server) it opens the port with the "
                        "line's settings; or import it and call %2(port) with a serial.Serial of your own.")
             .arg(unit.name, unit.function),
         QStringLiteral("It returns DONE, or why the send ended; ended_line then holds the script's line where it "
                        "ended, ended_answer the board's error line, and ended_pixels and ended_first how many dots "
                        "of a screen line's picture differ and the first.")});
    for (const QString& line : about)
        out += line.isEmpty() ? QStringLiteral("#\n") : QStringLiteral("# %1\n").arg(line);
    out += u'\n'
        + runtime(QStringLiteral("runtime.py"),
                  {{QStringLiteral("_READY_SECONDS"), seconds(script::kReadyTimeoutMs)},
                   {QStringLiteral("_SETTLE_SECONDS"), seconds(script::Runner::kSettleMs)},
                   {QStringLiteral("_LONGEST_SETTLE_SECONDS"), seconds(script::Runner::kLongestSettleMs)}});

    for (qsizetype i = 0; i < plan.blocks.size(); ++i) {
        const QByteArray hex = plan.blocks[i].bytes.toHex();
        out += QStringLiteral("\n%1 = bytes.fromhex(\n").arg(blockName(int(i)));
        for (qsizetype at = 0; at < hex.size(); at += 72)
            out += QStringLiteral("    \"%1\"\n").arg(QString::fromLatin1(hex.mid(at, 72)));
        out += QStringLiteral(")\n");
    }

    QString pacing = QStringLiteral("None");
    if (unit.source.pacing && unit.source.pacing->unicode() <= 0xff)
        pacing = bytesLiteral(QByteArray(1, char(unit.source.pacing->unicode())));
    out += QStringLiteral("\n\ndef %1(port):\n"
                          "    \"\"\"Sends it all on the port: DONE, or why the send ended (BOARD_ERROR,\n"
                          "    EXPECT_MISSED, NO_PROMPT, PORT_FAILED, SCREEN_DIFFERS).\"\"\"\n"
                          "    r = _Run(port, %2, %3)\n")
               .arg(unit.function, pacing)
               .arg(unit.source.startDelay);
    for (const Action& action : plan.actions) {
        out += QStringLiteral("    # line %1: %2\n").arg(action.line).arg(action.said);
        switch (action.kind) {
        case Action::Kind::Delay:
            out += QStringLiteral("    r.delay = %1\n").arg(action.value);
            break;
        case Action::Kind::Ready:
            out += QStringLiteral("    r.ready = %1\n").arg(action.value ? QStringLiteral("True") : QStringLiteral("False"));
            break;
        case Action::Kind::Wait:
            out += QStringLiteral("    r.wait(%1, %2)\n").arg(action.line).arg(seconds(action.value));
            break;
        case Action::Kind::Expect:
            out += QStringLiteral("    r.expect(%1, %2, %3)\n")
                       .arg(action.line)
                       .arg(action.needle < 0 ? QStringLiteral("None") : bytesLiteral(plan.needles[action.needle]),
                            seconds(action.value));
            break;
        case Action::Kind::Send: {
            QStringList parts;
            for (const Piece& piece : action.pieces) {
                if (piece.block < 0) {
                    parts << wrappedLiteral(piece.text, QStringLiteral("           "));
                } else {
                    parts << QStringLiteral("_byte_list(%1, %2)")
                                 .arg(blockName(piece.block), plan.blocks[piece.block].upper ? QStringLiteral("True")
                                                                                             : QStringLiteral("False"));
                }
            }
            out += QStringLiteral("    r.send(%1, %2)\n").arg(action.line).arg(parts.join(QStringLiteral(", ")));
            break;
        }
        case Action::Kind::Screen:
            out += QStringLiteral("    r.screen(%1, %2, %3)\n")
                       .arg(action.line)
                       .arg(bytesLiteral(action.pieces.front().text), blockName(action.block));
            break;
        }
    }
    out += QStringLiteral("    return r.finish()\n");

    const Line& line = unit.line;
    const QString parity = line.parity == 'e' ? QStringLiteral("PARITY_EVEN")
                         : line.parity == 'o' ? QStringLiteral("PARITY_ODD")
                         : line.parity == 'm' ? QStringLiteral("PARITY_MARK")
                         : line.parity == 's' ? QStringLiteral("PARITY_SPACE")
                                              : QStringLiteral("PARITY_NONE");
    const QString bits = line.dataBits == 5 ? QStringLiteral("FIVEBITS")
                       : line.dataBits == 6 ? QStringLiteral("SIXBITS")
                       : line.dataBits == 7 ? QStringLiteral("SEVENBITS")
                                            : QStringLiteral("EIGHTBITS");
    const QString stop = line.stopBits == u"2"     ? QStringLiteral("STOPBITS_TWO")
                       : line.stopBits == u"1.5" ? QStringLiteral("STOPBITS_ONE_POINT_FIVE")
                                                 : QStringLiteral("STOPBITS_ONE");
    out += QStringLiteral(R"(

if __name__ == "__main__":
    # %1
    sys.exit(_main(sys.argv, %2, baudrate=%3, parity=serial.%4,
                   bytesize=serial.%5, stopbits=serial.%6))
)")
               .arg(line.text, unit.function)
               .arg(line.settings.baudRate)
               .arg(parity, bits, stop);
    return out;
}

} // namespace varnix::hostcode
