// SPDX-License-Identifier: GPL-3.0-or-later
// What every Arduino export carries before its function: a send's steps on
// any Stream, its texts in flash. Everything after the first empty line
// goes into each exported sketch, the times set from the script runner's
// own; the tests compile it on its own for an Uno.

#include <Arduino.h>

#ifndef VARNIX_RUNTIME
#define VARNIX_RUNTIME

/* What a send returns. */
#define VARNIX_DONE 0          /* all of it sent, every frame answered */
#define VARNIX_BOARD_ERROR 1   /* the board answered "Error:": the send ended there */
#define VARNIX_EXPECT_MISSED 2 /* an answer expected did not come in time: ended there */
#define VARNIX_NO_PROMPT 3     /* a frame's "Ready:" did not come: ended there */
#define VARNIX_PORT_FAILED 4   /* the device refused a write or went away */
#define VARNIX_SCREEN_DIFFERS 5 /* the board's display is not a screen line's picture: ended there */

// How long a frame waits for "Ready:" while nothing arrives; how long the
// line must be quiet before the first frame, and the longest such wait.
#define VX_READY_MS 2000UL
#define VX_SETTLE_MS 30UL
#define VX_LONGEST_SETTLE_MS 1000UL
#define VX_PROMPT 0
#define VX_ERROR 1
#define VX_NEVER ((size_t)-1)
// The board's error line is kept up to this many characters, less one.
#define VARNIX_ANSWER_SIZE 48
// A screen line's picture: the whole display memory, 128 columns of 8 rows
// of bytes, a byte 8 dots down.
#define VX_DISPLAY_BYTES 1024
#define VX_DISPLAY_COLUMNS 128

// An export uses the steps its script needs, and no compiler should warn
// of the others.
#define VX_MAYBE_UNUSED __attribute__((unused))

// Where the last send that failed ended, for the sketch's own code: the
// script's line (as the comments number them), and for VARNIX_BOARD_ERROR
// the board's error line ("Error: block outside the display memory"). Kept
// by the linker even where the sketch does not read them, for a debugger.
int varnix_line __attribute__((used));
char varnix_answer[VARNIX_ANSWER_SIZE] __attribute__((used));
// For VARNIX_SCREEN_DIFFERS: how many dots differ (-1 when the board did not
// send its display memory), and the first, counted from the top left, row
// by row.
int varnix_pixels __attribute__((used));
int varnix_first_x __attribute__((used));
int varnix_first_y __attribute__((used));

static const char vx_prompt_text[] PROGMEM = "Ready:";
static const char vx_error_text[] PROGMEM = "Error:";

// A text in flash.
struct vx_needle {
    const char *text;
    size_t length;
};

// A send in progress: its port, and what the answers since the last frame
// hold (their end, and which of the texts waited for have come). Answers
// are matched a byte at a time against the texts waited for, keeping only
// as much of them as the longest text: the Uno's RAM is small.
struct vx_run {
    Stream *port;
    int result;
    int line;
    int pacing;
    unsigned long delay;
    bool ready;
    bool answering;  // the error line is still coming
    const vx_needle *needles;
    uint8_t *found;
    size_t needle_count;
    char *tail;
    size_t tail_size;
    size_t tail_length;
    size_t answer_length;
    // A screen line's picture (in flash) while its read is answered, and
    // how far the answer has come: its hex digits, the high one of a pair.
    const uint8_t *picture;
    int digits;
    uint8_t high;
};

static inline VX_MAYBE_UNUSED void vx_fail(vx_run &r, int result)
{
    if (r.result != VARNIX_DONE)
        return;
    r.result = result;
    varnix_line = r.line;
}

static inline VX_MAYBE_UNUSED void vx_clear(vx_run &r)
{
    r.tail_length = 0;
    memset(r.found, 0, r.needle_count);
}

// The first error line of the send is kept, up to its line break.
static inline VX_MAYBE_UNUSED void vx_keep(vx_run &r, char c)
{
    if (c == '\r' || c == '\n')
        r.answering = false;
    else if (r.answer_length + 1 < VARNIX_ANSWER_SIZE)
        varnix_answer[r.answer_length++] = c;
}

static inline VX_MAYBE_UNUSED int vx_hex(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A character of the answer to a screen line's read: its hex pairs are the
// display's bytes, compared with the picture's as they come. A character
// that is neither a digit nor a blank (a late "Ready:" ahead of the bytes)
// starts them again.
static inline VX_MAYBE_UNUSED void vx_compare(vx_run &r, char c)
{
    if (r.digits >= 2 * VX_DISPLAY_BYTES)
        return;
    int value = vx_hex(c);
    if (value < 0) {
        if (c != ' ' && c != '\r' && c != '\n' && c != '\t' && c != ']') {
            r.digits = 0;
            varnix_pixels = 0;
        }
        return;
    }
    if (r.digits++ % 2 == 0) {
        r.high = (uint8_t)value;
        return;
    }
    int index = r.digits / 2 - 1;
    uint8_t differ = (uint8_t)((r.high << 4 | value) ^ pgm_read_byte(r.picture + index));
    if (differ == 0)
        return;
    int column = index % VX_DISPLAY_COLUMNS;
    int row = index / VX_DISPLAY_COLUMNS;
    for (int bit = 0; bit < 8; ++bit) {
        if (!(differ >> bit & 1))
            continue;
        int y = row * 8 + bit;
        if (varnix_pixels++ == 0 || y < varnix_first_y || (y == varnix_first_y && column < varnix_first_x)) {
            varnix_first_x = column;
            varnix_first_y = y;
        }
    }
}

static inline VX_MAYBE_UNUSED void vx_take(vx_run &r, char c)
{
    if (r.answering)
        vx_keep(r, c);
    if (r.picture)
        vx_compare(r, c);
    if (r.tail_length == r.tail_size) {
        memmove(r.tail, r.tail + 1, r.tail_size - 1);
        --r.tail_length;
    }
    r.tail[r.tail_length++] = c;
    for (size_t i = 0; i < r.needle_count; ++i) {
        const vx_needle &n = r.needles[i];
        if (n.length > r.tail_length)
            continue;
        const char *end = r.tail + r.tail_length - n.length;
        size_t k = 0;
        while (k < n.length && end[k] == (char)pgm_read_byte(n.text + k))
            ++k;
        if (k < n.length)
            continue;
        if (i == VX_ERROR && r.answer_length == 0) {
            memcpy_P(varnix_answer, n.text, n.length);
            r.answer_length = n.length;
            r.answering = true;
        }
        r.found[i] = 1;
    }
}

// Takes what has arrived, waiting up to ms for it: how many bytes.
static inline VX_MAYBE_UNUSED int vx_read(vx_run &r, unsigned long ms)
{
    unsigned long start = millis();
    int n = 0;
    for (;;) {
        while (r.port->available() > 0) {
            int c = r.port->read();
            if (c < 0)
                break;
            vx_take(r, (char)c);
            ++n;
        }
        if (n > 0 || millis() - start >= ms)
            return n;
    }
}

// Waits until the answers hold text i, at most ms, or ms of quiet when
// `renew`.
static inline VX_MAYBE_UNUSED bool vx_wait_for(vx_run &r, size_t i, unsigned long ms, bool renew)
{
    unsigned long start = millis();
    vx_read(r, 0);
    for (;;) {
        if (i < r.needle_count && r.found[i])
            return true;
        unsigned long gone = millis() - start;
        if (gone >= ms)
            return false;
        if (vx_read(r, ms - gone) > 0 && renew)
            start = millis();
    }
}

static inline VX_MAYBE_UNUSED void vx_start(vx_run &r, Stream &port, const vx_needle *needles,
                                            size_t needle_count, uint8_t *found, char *tail, size_t tail_size,
                                            int pacing, unsigned long delay)
{
    varnix_line = 0;
    r.port = &port;
    r.result = VARNIX_DONE;
    r.line = 0;
    r.pacing = pacing;
    r.delay = delay;
    r.ready = true;
    r.needles = needles;
    r.found = found;
    r.needle_count = needle_count;
    r.tail = tail;
    r.tail_size = tail_size;
    r.picture = nullptr;
    vx_clear(r);
    // What is still on its way (a board's banner) answers no frame.
    unsigned long start = millis();
    while (millis() - start < VX_LONGEST_SETTLE_MS && vx_read(r, VX_SETTLE_MS) > 0) {
    }
    vx_clear(r);
    r.answer_length = 0;
    r.answering = false;
    memset(varnix_answer, 0, sizeof varnix_answer);
}

// Writes a character, after the delay when it is the pacing character, and
// takes the answers as they come: the port's buffer for them is small.
static inline VX_MAYBE_UNUSED void vx_put(vx_run &r, char c)
{
    if (r.result != VARNIX_DONE)
        return;
    if ((uint8_t)c == r.pacing && r.delay > 0)
        delay(r.delay);
    if (r.port->write((uint8_t)c) != 1)
        vx_fail(r, VARNIX_PORT_FAILED);
    vx_read(r, 0);
}

static inline VX_MAYBE_UNUSED void vx_text(vx_run &r, const __FlashStringHelper *text, size_t length)
{
    const char *p = reinterpret_cast<const char *>(text);
    for (size_t i = 0; i < length; ++i)
        vx_put(r, (char)pgm_read_byte(p + i));
}

static inline VX_MAYBE_UNUSED char vx_digit(uint8_t value, bool upper)
{
    return value < 10 ? (char)('0' + value) : (char)((upper ? 'A' : 'a') + value - 10);
}

// Writes bytes from flash as a byte list: "]" and two hex digits each.
static inline VX_MAYBE_UNUSED void vx_block(vx_run &r, const uint8_t *bytes, size_t count, bool upper)
{
    for (size_t i = 0; i < count && r.result == VARNIX_DONE; ++i) {
        uint8_t b = pgm_read_byte(bytes + i);
        vx_put(r, ']');
        vx_put(r, vx_digit(b >> 4, upper));
        vx_put(r, vx_digit(b & 15, upper));
    }
}

// Before the frame of a line: an error the board gave since the last one
// (the prompt being off) ends the send; else the frame's answers begin.
static inline VX_MAYBE_UNUSED void vx_frame(vx_run &r, int line)
{
    if (r.result != VARNIX_DONE)
        return;
    vx_read(r, 0);
    if (r.found[VX_ERROR])
        vx_fail(r, VARNIX_BOARD_ERROR);
    r.line = line;
    vx_clear(r);
}

// After a frame: its "Ready:", unless the prompt is off; "Error:", or no
// prompt within VX_READY_MS of quiet, ends the send there.
static inline VX_MAYBE_UNUSED void vx_answered(vx_run &r)
{
    if (r.result != VARNIX_DONE || !r.ready)
        return;
    bool prompted = vx_wait_for(r, VX_PROMPT, VX_READY_MS, true);
    if (r.found[VX_ERROR])
        vx_fail(r, VARNIX_BOARD_ERROR);
    else if (!prompted)
        vx_fail(r, VARNIX_NO_PROMPT);
}

static inline VX_MAYBE_UNUSED void vx_send(vx_run &r, int line, const __FlashStringHelper *text, size_t length)
{
    vx_frame(r, line);
    vx_text(r, text, length);
    vx_answered(r);
}

static inline VX_MAYBE_UNUSED void vx_wait(vx_run &r, int line, unsigned long ms)
{
    if (r.result != VARNIX_DONE)
        return;
    r.line = line;
    unsigned long start = millis();
    while (millis() - start < ms)
        vx_read(r, 0);
    if (!r.ready && r.found[VX_ERROR])
        vx_fail(r, VARNIX_BOARD_ERROR);
}

static inline VX_MAYBE_UNUSED void vx_expect(vx_run &r, int line, size_t needle, unsigned long ms)
{
    if (r.result != VARNIX_DONE)
        return;
    r.line = line;
    if (!vx_wait_for(r, needle, ms, false))
        vx_fail(r, r.found[VX_ERROR] ? VARNIX_BOARD_ERROR : VARNIX_EXPECT_MISSED);
}

// A screen line: the read of the whole display, its answer awaited (the
// prompt on or off) and compared with the picture in flash as it comes; a
// dot that differs ends the send there.
static inline VX_MAYBE_UNUSED void vx_screen(vx_run &r, int line, const __FlashStringHelper *read, size_t length,
                                             const uint8_t *picture)
{
    bool ready = r.ready;
    vx_frame(r, line);
    if (r.result != VARNIX_DONE)
        return;
    varnix_pixels = 0;
    r.digits = 0;
    r.picture = picture;
    vx_text(r, read, length);
    r.ready = true;
    vx_answered(r);
    r.ready = ready;
    r.picture = nullptr;
    if (r.result != VARNIX_DONE)
        return;
    if (r.digits < 2 * VX_DISPLAY_BYTES)
        varnix_pixels = -1;
    if (varnix_pixels != 0)
        vx_fail(r, VARNIX_SCREEN_DIFFERS);
}

static inline VX_MAYBE_UNUSED int vx_finish(vx_run &r)
{
    if (r.result == VARNIX_DONE)
        vx_read(r, 0);
    if (r.found[VX_ERROR])
        vx_fail(r, VARNIX_BOARD_ERROR);
    return r.result;
}

#endif
