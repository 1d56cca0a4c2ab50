# SPDX-License-Identifier: GPL-3.0-or-later
# What every Python export carries before its function: a send's steps on a
# pyserial port. Everything after the first empty line goes into each
# exported file, the times set from the script runner's own; the tests
# byte-compile it on its own.

import sys
import time

import serial

# What a send returns.
DONE = 0           # all of it sent, every frame answered
BOARD_ERROR = 1    # the board answered "Error:": the send ended there
EXPECT_MISSED = 2  # an answer expected did not come in time: ended there
NO_PROMPT = 3      # a frame's "Ready:" did not come: ended there
PORT_FAILED = 4    # the device refused a write or went away
SCREEN_DIFFERS = 5 # the board's display is not a screen line's picture: ended there

WHY = ("sent", "the board answered", "an answer expected did not come in time",
       "a frame's \"Ready:\" did not come", "the device failed", "the board's display differs from the picture")

# Where the last send that failed ended: the script's line (as the comments
# number them), for BOARD_ERROR the board's error line
# (b"Error: block outside the display memory"), and for SCREEN_DIFFERS how
# many dots differ (-1 when the board did not send its display memory) and
# the first, (x, y) from the top left, row by row.
ended_line = 0
ended_answer = b""
ended_pixels = 0
ended_first = None

# How long a frame waits for "Ready:" while nothing arrives; how long the
# line must be quiet before the first frame, and the longest such wait.
_READY_SECONDS = 2
_SETTLE_SECONDS = 0.03
_LONGEST_SETTLE_SECONDS = 1
_PROMPT = b"Ready:"
_ERROR = b"Error:"
_BLANKS = b" \r\n\t]"
# A screen line's picture: the whole display memory, 128 columns of 8 rows
# of bytes, a byte 8 dots down.
_DISPLAY_BYTES = 1024
_DISPLAY_COLUMNS = 128


class _Run:
    """A send in progress: its port, and the answers since the last frame."""

    def __init__(self, port, pacing, delay):
        self.port = port
        self.pacing = pacing
        self.delay = delay
        self.ready = True
        self.result = DONE
        self.line = 0
        self.answer = b""
        self.pixels = 0
        self.first = None
        self.answers = bytearray()
        # What is still on its way (a board's banner) answers no frame.
        until = time.monotonic() + _LONGEST_SETTLE_SECONDS
        while time.monotonic() < until and self.read(_SETTLE_SECONDS) > 0:
            pass
        self.answers.clear()

    def fail(self, result):
        if self.result == DONE:
            self.result = result
            if result == BOARD_ERROR:
                # The error line, up to its line break.
                start = self.answers.find(_ERROR)
                ends = [end for end in (self.answers.find(b"\r", start), self.answers.find(b"\n", start))
                        if end >= 0]
                self.answer = bytes(self.answers[start:min(ends) if ends else len(self.answers)])

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

    def send(self, line, *parts):
        """The frame of a line: an error the board gave since the last one (the
        prompt being off) ends the send; then the frame, paced, and its
        "Ready:", which ends the send there when it does not come."""
        if self.result != DONE:
            return
        self.read(0)
        if _ERROR in self.answers:
            self.fail(BOARD_ERROR)
            return
        self.line = line
        self.answers.clear()
        for part in parts:
            self.text(part)
        if self.ready and self.result == DONE:
            prompted = self.wait_for(_PROMPT, _READY_SECONDS, True)
            if _ERROR in self.answers:
                self.fail(BOARD_ERROR)
            elif not prompted:
                self.fail(NO_PROMPT)

    def screen(self, line, read, picture):
        """A screen line: the read of the whole display, its answer awaited (the
        prompt on or off) and compared with the picture; a dot that differs
        ends the send there."""
        ready, self.ready = self.ready, True
        self.send(line, read)
        self.ready = ready
        if self.result != DONE:
            return
        shown = _display(self.answers)
        if shown is None:
            self.pixels = -1
            self.fail(SCREEN_DIFFERS)
            return
        for index, (have, want) in enumerate(zip(shown, picture)):
            for bit in range(8):
                if (have ^ want) >> bit & 1:
                    self.pixels += 1
                    at = (index % _DISPLAY_COLUMNS, index // _DISPLAY_COLUMNS * 8 + bit)
                    if self.first is None or (at[1], at[0]) < (self.first[1], self.first[0]):
                        self.first = at
        if self.pixels:
            self.fail(SCREEN_DIFFERS)

    def wait(self, line, seconds):
        if self.result != DONE:
            return
        self.line = line
        until = time.monotonic() + seconds
        while self.result == DONE and time.monotonic() < until:
            self.read(until - time.monotonic())
        if self.result == DONE and not self.ready and _ERROR in self.answers:
            self.fail(BOARD_ERROR)

    def expect(self, line, text, seconds):
        if self.result != DONE:
            return
        self.line = line
        if not self.wait_for(text, seconds, False) and self.result == DONE:
            self.fail(BOARD_ERROR if _ERROR in self.answers else EXPECT_MISSED)

    def finish(self):
        global ended_line, ended_answer, ended_pixels, ended_first
        self.read(0)
        if _ERROR in self.answers:
            self.fail(BOARD_ERROR)
        ended_line, ended_answer = (self.line, self.answer) if self.result != DONE else (0, b"")
        ended_pixels, ended_first = (self.pixels, self.first) if self.result == SCREEN_DIFFERS else (0, None)
        return self.result


def _display(answers):
    """The display memory in the answer to a read of it: its bytes, the
    prompts of frames before passed over; None when they are not all there."""
    text = bytes(answers).lstrip(_BLANKS)
    while text.startswith(_PROMPT):
        text = text[len(_PROMPT):].lstrip(_BLANKS)
    end = text.find(_PROMPT)
    digits = bytes(c for c in (text if end < 0 else text[:end]) if c not in _BLANKS)
    try:
        shown = bytes.fromhex(digits.decode("ascii"))
    except ValueError:
        return None
    return shown if len(shown) == _DISPLAY_BYTES else None


def _byte_list(data, upper):
    """The bytes as a byte list: "]" and two hex digits each."""
    item = b"]%02X" if upper else b"]%02x"
    return b"".join(item % b for b in data)


def _main(argv, send, **settings):
    """Opens the port named on the command line with the line's settings and
    sends: the exit status, 0, 1, or 2 when the port failed."""
    if len(argv) != 2:
        print("usage: %s PORT" % argv[0], file=sys.stderr)
        return 2
    url = argv[1]
    # ser2net does not acknowledge RFC 2217's control settings, which pyserial
    # would wait for.
    if url.startswith("rfc2217://") and "ign_set_control" not in url:
        url += ("&" if "?" in url else "?") + "ign_set_control"
    try:
        port = serial.serial_for_url(url, **settings)
    except (OSError, ValueError, serial.SerialException) as error:
        print("%s: %s" % (argv[1], error), file=sys.stderr)
        return 2
    with port:
        result = send(port)
    if result != DONE:
        said = "%s: line %d: %s" % (argv[1], ended_line, WHY[result])
        if result == BOARD_ERROR:
            said += ' "%s"' % ended_answer.decode("latin-1").encode("unicode_escape").decode("ascii").replace('"', '\\"')
        elif result == SCREEN_DIFFERS and ended_pixels < 0:
            said += ": the board did not send its display memory"
        elif result == SCREEN_DIFFERS:
            said += ": %d %s (first at %d, %d)" % ((ended_pixels, "pixel differs" if ended_pixels == 1 else "pixels differ")
                                                    + ended_first)
        print(said, file=sys.stderr)
    return 0 if result == DONE else 2 if result == PORT_FAILED else 1
