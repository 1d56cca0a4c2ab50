// SPDX-License-Identifier: GPL-3.0-or-later
// Python with pyserial: a function taking a serial.Serial (serial_for_url()
// serves too, rfc2217:// included) and a __main__ that opens a port.
#include "hostcode/core/emitters.h"

#include "script/runner.h"

namespace varnix::hostcode {

namespace {

constexpr char kRuntime[] = R"(
import sys
import time

import serial

# What a send returns.
DONE = 0           # all of it sent, every frame answered
BOARD_ERROR = 1    # the board answered "Error:": the send ended there
EXPECT_MISSED = 2  # an answer expected did not come in time: ended there
NO_PROMPT = 3      # all of it sent, but a frame's "Ready:" did not come
PORT_FAILED = 4    # the device refused a write or went away

WHY = ("sent", 'the board answered "Error:"', "an answer expected did not come in time",
       "a frame's \"Ready:\" did not come", "the device failed")

# How long a frame waits for "Ready:" while nothing arrives; how long the
# line must be quiet before the first frame, and the longest such wait.
_READY_SECONDS = @READY@
_SETTLE_SECONDS = @SETTLE@
_LONGEST_SETTLE_SECONDS = @LONGEST_SETTLE@
_PROMPT = b"Ready:"
_ERROR = b"Error:"


class _Run:
    """A send in progress: its port, and the answers since the last frame."""

    def __init__(self, port, pacing, delay):
        self.port = port
        self.pacing = pacing
        self.delay = delay
        self.ready = True
        self.result = DONE
        self.unanswered = False
        self.answers = bytearray()
        # What is still on its way (a board's banner) answers no frame.
        until = time.monotonic() + _LONGEST_SETTLE_SECONDS
        while time.monotonic() < until and self.read(_SETTLE_SECONDS) > 0:
            pass
        self.answers.clear()

    def fail(self, result):
        if self.result == DONE:
            self.result = result

    def read(self, seconds):
        """Takes what has arrived, waiting up to `seconds` for it: how many bytes."""
        deadline = time.monotonic() + seconds
        while self.result == DONE:
            try:
                waiting = self.port.in_waiting
                data = self.port.read(waiting) if waiting else b""
            except (OSError, serial.SerialException):
                self.fail(PORT_FAILED)
                break
            if data:
                self.answers += data
                return len(data)
            if time.monotonic() >= deadline:
                break
            time.sleep(0.001)
        return 0

    def wait_for(self, text, seconds, renew):
        """Waits until the answers hold `text`, at most `seconds`, or that long
        without an answer when `renew`."""
        deadline = time.monotonic() + seconds
        self.read(0)
        while self.result == DONE:
            if text is not None and text in self.answers:
                return True
            now = time.monotonic()
            if now >= deadline:
                break
            if self.read(deadline - now) > 0 and renew:
                deadline = time.monotonic() + seconds
        return False

    def write(self, data):
        if data and self.result == DONE:
            try:
                self.port.write(data)
            except (OSError, serial.SerialException):
                self.fail(PORT_FAILED)

    def text(self, text):
        """Writes text, pausing the delay before each pacing character."""
        start = 0
        if self.delay > 0 and self.pacing is not None:
            at = text.find(self.pacing)
            while at >= 0 and self.result == DONE:
                self.write(text[start:at])
                start = at
                time.sleep(self.delay / 1000)
                at = text.find(self.pacing, at + 1)
        self.write(text[start:])

    def send(self, *parts):
        """One frame: an error the board gave since the last one (the prompt
        being off) ends the send; then the frame, paced, and its "Ready:"."""
        if self.result != DONE:
            return
        self.read(0)
        if _ERROR in self.answers:
            self.fail(BOARD_ERROR)
            return
        self.answers.clear()
        for part in parts:
            self.text(part)
        if self.ready and self.result == DONE:
            if not self.wait_for(_PROMPT, _READY_SECONDS, True) and self.result == DONE:
                self.unanswered = True
            if _ERROR in self.answers:
                self.fail(BOARD_ERROR)

    def wait(self, seconds):
        until = time.monotonic() + seconds
        while self.result == DONE and time.monotonic() < until:
            self.read(until - time.monotonic())
        if self.result == DONE and not self.ready and _ERROR in self.answers:
            self.fail(BOARD_ERROR)

    def expect(self, text, seconds):
        if self.result == DONE and not self.wait_for(text, seconds, False) and self.result == DONE:
            self.fail(BOARD_ERROR if _ERROR in self.answers else EXPECT_MISSED)

    def finish(self):
        self.read(0)
        if _ERROR in self.answers:
            self.fail(BOARD_ERROR)
        if self.unanswered:
            self.fail(NO_PROMPT)
        return self.result


def _byte_list(data, upper):
    """The bytes as a byte list: "]" and two hex digits each."""
    item = b"]%02X" if upper else b"]%02x"
    return b"".join(item % b for b in data)
)";

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
         QStringLiteral("It returns DONE, or why the send ended.")});
    for (const QString& line : about)
        out += line.isEmpty() ? QStringLiteral("#\n") : QStringLiteral("# %1\n").arg(line);
    out += QString::fromLatin1(kRuntime)
               .replace(QStringLiteral("@READY@"), seconds(script::kReadyTimeoutMs))
               .replace(QStringLiteral("@SETTLE@"), seconds(script::Runner::kSettleMs))
               .replace(QStringLiteral("@LONGEST_SETTLE@"), seconds(script::Runner::kLongestSettleMs));

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
                          "    EXPECT_MISSED, NO_PROMPT, PORT_FAILED).\"\"\"\n"
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
            out += QStringLiteral("    r.wait(%1)\n").arg(seconds(action.value));
            break;
        case Action::Kind::Expect:
            out += QStringLiteral("    r.expect(%1, %2)\n")
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
            out += QStringLiteral("    r.send(%1)\n").arg(parts.join(QStringLiteral(", ")));
            break;
        }
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

def main(argv):
    if len(argv) != 2:
        print("usage: %s PORT" % argv[0], file=sys.stderr)
        return 2
    url = argv[1]
    # ser2net does not acknowledge RFC 2217's control settings, which pyserial
    # would wait for.
    if url.startswith("rfc2217://") and "ign_set_control" not in url:
        url += ("&" if "?" in url else "?") + "ign_set_control"
    try:
        # %1
        port = serial.serial_for_url(url, baudrate=%2, parity=serial.%3,
                                     bytesize=serial.%4, stopbits=serial.%5)
    except (OSError, ValueError, serial.SerialException) as error:
        print("%s: %s" % (argv[1], error), file=sys.stderr)
        return 2
    with port:
        result = %6(port)
    if result != DONE:
        print("%s: %s" % (argv[1], WHY[result]), file=sys.stderr)
    return 0 if result == DONE else 2 if result == PORT_FAILED else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
)")
               .arg(line.text)
               .arg(line.settings.baudRate)
               .arg(parity, bits, stop, unit.function);
    return out;
}

} // namespace varnix::hostcode
