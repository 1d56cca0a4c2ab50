/* SPDX-License-Identifier: GPL-3.0-or-later */
/* What every C export carries before its function: a send's steps on a
   POSIX descriptor. Everything after the first empty line goes into each
   exported file, the times set from the script runner's own; the tests
   compile it on its own. */

#define _POSIX_C_SOURCE 200809L

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stddef.h>
#include <string.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#ifndef VARNIX_RUNTIME
#define VARNIX_RUNTIME

/* What a send returns. */
#define VARNIX_DONE 0          /* all of it sent, every frame answered */
#define VARNIX_BOARD_ERROR 1   /* the board answered "Error:": the send ended there */
#define VARNIX_EXPECT_MISSED 2 /* an answer expected did not come in time: ended there */
#define VARNIX_NO_PROMPT 3     /* a frame's "Ready:" did not come: ended there */
#define VARNIX_PORT_FAILED 4   /* the device refused a write or went away */
#define VARNIX_SCREEN_DIFFERS 5 /* the board's display is not a screen line's picture: ended there */

/* How long a frame waits for "Ready:" while nothing arrives; how long the
   line must be quiet before the first frame, and the longest such wait. */
#define VX_READY_MS 2000
#define VX_SETTLE_MS 30
#define VX_LONGEST_SETTLE_MS 1000
#define VX_PROMPT 0
#define VX_ERROR 1
#define VX_NEVER ((size_t)-1)
/* The board's error line is kept up to this many characters, less one. */
#define VARNIX_ANSWER_SIZE 48
/* A screen line's picture: the whole display memory, 128 columns of 8 rows
   of bytes, a byte 8 dots down. */
#define VX_DISPLAY_BYTES 1024
#define VX_DISPLAY_COLUMNS 128

/* An export uses the steps its script needs, and no compiler should warn
   of the others. */
#if defined(__GNUC__)
#define VX_MAYBE_UNUSED __attribute__((unused))
#else
#define VX_MAYBE_UNUSED
#endif

/* Where the last send that failed ended: the script's line (as the
   comments number them), and for VARNIX_BOARD_ERROR the board's error line
   ("Error: block outside the display memory"). */
static VX_MAYBE_UNUSED int varnix_line;
static VX_MAYBE_UNUSED char varnix_answer[VARNIX_ANSWER_SIZE];
/* For VARNIX_SCREEN_DIFFERS: how many dots differ (-1 when the board did
   not send its display memory), and the first, counted from the top left,
   row by row. */
static VX_MAYBE_UNUSED int varnix_pixels;
static VX_MAYBE_UNUSED int varnix_first_x;
static VX_MAYBE_UNUSED int varnix_first_y;

struct vx_needle {
    const char *text;
    size_t length;
};

/* A send in progress: its line, and what the answers since the last frame
   hold (their end, and which of the texts waited for have come). Answers
   are matched a byte at a time against the texts waited for, keeping only
   as much of them as the longest text, so that a long answer costs no
   memory. */
struct vx_run {
    int fd;
    int result;
    int line;
    int pacing;
    long delay;
    int ready;
    const struct vx_needle *needles;
    unsigned char *found;
    size_t needle_count;
    char *tail;
    size_t tail_size;
    size_t tail_length;
    size_t answer_length;
    int answering;   /* the error line is still coming */
    /* A screen line's picture while its read is answered, and how far the
       answer has come: its hex digits, the high one of a pair. */
    const unsigned char *picture;
    int digits;
    int high;
};

static inline VX_MAYBE_UNUSED long long vx_now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

static inline VX_MAYBE_UNUSED void vx_sleep(long ms)
{
    struct timespec t;
    t.tv_sec = ms / 1000;
    t.tv_nsec = (ms % 1000) * 1000000L;
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

static inline VX_MAYBE_UNUSED void vx_fail(struct vx_run *r, int result)
{
    if (r->result != VARNIX_DONE)
        return;
    r->result = result;
    varnix_line = r->line;
}

static inline VX_MAYBE_UNUSED void vx_clear(struct vx_run *r)
{
    r->tail_length = 0;
    memset(r->found, 0, r->needle_count);
}

/* The first error line of the send is kept, up to its line break. */
static inline VX_MAYBE_UNUSED void vx_keep(struct vx_run *r, char c)
{
    if (c == '\r' || c == '\n')
        r->answering = 0;
    else if (r->answer_length + 1 < VARNIX_ANSWER_SIZE)
        varnix_answer[r->answer_length++] = c;
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

/* A character of the answer to a screen line's read: its hex pairs are the
   display's bytes, compared with the picture's as they come. A character
   that is neither a digit nor a blank (a late "Ready:" ahead of the bytes)
   starts them again. */
static inline VX_MAYBE_UNUSED void vx_compare(struct vx_run *r, char c)
{
    int value = vx_hex(c), index, column, row, bit;
    unsigned char differ;
    if (r->digits >= 2 * VX_DISPLAY_BYTES)
        return;
    if (value < 0) {
        if (c != ' ' && c != '\r' && c != '\n' && c != '\t' && c != ']') {
            r->digits = 0;
            varnix_pixels = 0;
        }
        return;
    }
    if (r->digits++ % 2 == 0) {
        r->high = value;
        return;
    }
    index = r->digits / 2 - 1;
    differ = (unsigned char)((r->high << 4 | value) ^ r->picture[index]);
    if (differ == 0)
        return;
    column = index % VX_DISPLAY_COLUMNS;
    row = index / VX_DISPLAY_COLUMNS;
    for (bit = 0; bit < 8; ++bit) {
        if (!(differ >> bit & 1))
            continue;
        if (varnix_pixels++ == 0 || row * 8 + bit < varnix_first_y
            || (row * 8 + bit == varnix_first_y && column < varnix_first_x)) {
            varnix_first_x = column;
            varnix_first_y = row * 8 + bit;
        }
    }
}

static inline VX_MAYBE_UNUSED void vx_take(struct vx_run *r, char c)
{
    size_t i;
    if (r->answering)
        vx_keep(r, c);
    if (r->picture)
        vx_compare(r, c);
    if (r->tail_length == r->tail_size) {
        memmove(r->tail, r->tail + 1, r->tail_size - 1);
        --r->tail_length;
    }
    r->tail[r->tail_length++] = c;
    for (i = 0; i < r->needle_count; ++i) {
        const struct vx_needle *n = &r->needles[i];
        if (n->length <= r->tail_length
            && memcmp(r->tail + r->tail_length - n->length, n->text, n->length) == 0) {
            if (i == VX_ERROR && r->answer_length == 0) {
                memcpy(varnix_answer, n->text, n->length);
                r->answer_length = n->length;
                r->answering = 1;
            }
            r->found[i] = 1;
        }
    }
}

/* Takes what has arrived, waiting up to ms for it: how many bytes, or -1
   when the device failed. */
static inline VX_MAYBE_UNUSED int vx_read(struct vx_run *r, long ms)
{
    struct pollfd p;
    char buffer[256];
    ssize_t n, i;
    p.fd = r->fd;
    p.events = POLLIN;
    p.revents = 0;
    n = poll(&p, 1, (int)ms);
    if (n <= 0)
        return n < 0 && errno != EINTR ? -1 : 0;
    if (p.revents & (POLLERR | POLLNVAL))
        return -1;
    n = read(r->fd, buffer, sizeof buffer);
    if (n < 0)
        return errno == EINTR || errno == EAGAIN ? 0 : -1;
    if (n == 0)
        return -1;
    for (i = 0; i < n; ++i)
        vx_take(r, buffer[i]);
    return (int)n;
}

static inline VX_MAYBE_UNUSED void vx_pull(struct vx_run *r)
{
    int n;
    do
        n = vx_read(r, 0);
    while (n > 0);
    if (n < 0)
        vx_fail(r, VARNIX_PORT_FAILED);
}

/* Waits until the answers hold text i, at most ms, or ms of quiet when
   `renew`: 1 when they do. */
static inline VX_MAYBE_UNUSED int vx_wait_for(struct vx_run *r, size_t i, long ms, int renew)
{
    long long deadline = vx_now() + ms;
    vx_pull(r);
    while (r->result == VARNIX_DONE) {
        long long now = vx_now();
        int n;
        if (i < r->needle_count && r->found[i])
            return 1;
        if (now >= deadline)
            return 0;
        n = vx_read(r, (long)(deadline - now));
        if (n < 0)
            vx_fail(r, VARNIX_PORT_FAILED);
        else if (n > 0 && renew)
            deadline = vx_now() + ms;
    }
    return 0;
}

static inline VX_MAYBE_UNUSED void vx_start(struct vx_run *r, int fd, const struct vx_needle *needles,
                                            size_t needle_count, unsigned char *found, char *tail,
                                            size_t tail_size, int pacing, long delay)
{
    long long until = vx_now() + VX_LONGEST_SETTLE_MS;
    varnix_line = 0;
    r->fd = fd;
    r->result = VARNIX_DONE;
    r->line = 0;
    r->pacing = pacing;
    r->delay = delay;
    r->ready = 1;
    r->needles = needles;
    r->found = found;
    r->needle_count = needle_count;
    r->tail = tail;
    r->tail_size = tail_size;
    r->picture = NULL;
    vx_clear(r);
    /* What is still on its way (a board's banner) answers no frame. */
    while (r->result == VARNIX_DONE && vx_now() < until) {
        int n = vx_read(r, VX_SETTLE_MS);
        if (n < 0)
            vx_fail(r, VARNIX_PORT_FAILED);
        if (n <= 0)
            break;
    }
    vx_clear(r);
    r->answer_length = 0;
    r->answering = 0;
    memset(varnix_answer, 0, sizeof varnix_answer);
}

static inline VX_MAYBE_UNUSED void vx_write(struct vx_run *r, const char *bytes, size_t length)
{
    while (length > 0 && r->result == VARNIX_DONE) {
        ssize_t n = write(r->fd, bytes, length);
        if (n > 0) {
            bytes += n;
            length -= (size_t)n;
        } else if (n < 0 && errno == EAGAIN) {
            struct pollfd p;
            p.fd = r->fd;
            p.events = POLLOUT;
            p.revents = 0;
            poll(&p, 1, -1);
        } else if (n == 0 || errno != EINTR) {
            vx_fail(r, VARNIX_PORT_FAILED);
        }
    }
}

/* Writes text, pausing the delay before each pacing character. */
static inline VX_MAYBE_UNUSED void vx_text(struct vx_run *r, const char *text, size_t length)
{
    size_t start = 0, i;
    if (r->delay > 0 && r->pacing >= 0) {
        for (i = 0; i < length && r->result == VARNIX_DONE; ++i) {
            if ((unsigned char)text[i] == r->pacing) {
                vx_write(r, text + start, i - start);
                start = i;
                vx_sleep(r->delay);
            }
        }
    }
    vx_write(r, text + start, length - start);
}

/* Writes bytes as a byte list: "]" and two hex digits each. */
static inline VX_MAYBE_UNUSED void vx_block(struct vx_run *r, const unsigned char *bytes, size_t count,
                                            const char *digits)
{
    char text[3 * 64];
    size_t i = 0;
    while (i < count && r->result == VARNIX_DONE) {
        size_t n = 0;
        for (; i < count && n < sizeof text; ++i) {
            text[n++] = ']';
            text[n++] = digits[bytes[i] >> 4];
            text[n++] = digits[bytes[i] & 15];
        }
        vx_text(r, text, n);
    }
}

/* Before the frame of a line: an error the board gave since the last one
   (the prompt being off) ends the send; else the frame's answers begin. */
static inline VX_MAYBE_UNUSED void vx_frame(struct vx_run *r, int line)
{
    if (r->result != VARNIX_DONE)
        return;
    vx_pull(r);
    if (r->found[VX_ERROR])
        vx_fail(r, VARNIX_BOARD_ERROR);
    r->line = line;
    vx_clear(r);
}

/* After a frame: its "Ready:", unless the prompt is off; "Error:", or no
   prompt within VX_READY_MS of quiet, ends the send there. */
static inline VX_MAYBE_UNUSED void vx_answered(struct vx_run *r)
{
    int prompted;
    if (r->result != VARNIX_DONE || !r->ready)
        return;
    prompted = vx_wait_for(r, VX_PROMPT, VX_READY_MS, 1);
    if (r->found[VX_ERROR])
        vx_fail(r, VARNIX_BOARD_ERROR);
    else if (!prompted)
        vx_fail(r, VARNIX_NO_PROMPT);
}

static inline VX_MAYBE_UNUSED void vx_send(struct vx_run *r, int line, const char *text, size_t length)
{
    vx_frame(r, line);
    vx_text(r, text, length);
    vx_answered(r);
}

static inline VX_MAYBE_UNUSED void vx_wait(struct vx_run *r, int line, long ms)
{
    long long until = vx_now() + ms;
    if (r->result == VARNIX_DONE)
        r->line = line;
    while (r->result == VARNIX_DONE) {
        long long now = vx_now();
        if (now >= until)
            break;
        if (vx_read(r, (long)(until - now)) < 0)
            vx_fail(r, VARNIX_PORT_FAILED);
    }
    if (r->result == VARNIX_DONE && !r->ready && r->found[VX_ERROR])
        vx_fail(r, VARNIX_BOARD_ERROR);
}

static inline VX_MAYBE_UNUSED void vx_expect(struct vx_run *r, int line, size_t needle, long ms)
{
    if (r->result != VARNIX_DONE)
        return;
    r->line = line;
    if (!vx_wait_for(r, needle, ms, 0) && r->result == VARNIX_DONE)
        vx_fail(r, r->found[VX_ERROR] ? VARNIX_BOARD_ERROR : VARNIX_EXPECT_MISSED);
}

/* A screen line: the read of the whole display, its answer awaited (the
   prompt on or off) and compared with the picture as it comes; a dot that
   differs ends the send there. */
static inline VX_MAYBE_UNUSED void vx_screen(struct vx_run *r, int line, const char *read, size_t length,
                                             const unsigned char *picture)
{
    int ready = r->ready;
    vx_frame(r, line);
    if (r->result != VARNIX_DONE)
        return;
    varnix_pixels = 0;
    r->digits = 0;
    r->picture = picture;
    vx_text(r, read, length);
    r->ready = 1;
    vx_answered(r);
    r->ready = ready;
    r->picture = NULL;
    if (r->result != VARNIX_DONE)
        return;
    if (r->digits < 2 * VX_DISPLAY_BYTES)
        varnix_pixels = -1;
    if (varnix_pixels != 0)
        vx_fail(r, VARNIX_SCREEN_DIFFERS);
}

static inline VX_MAYBE_UNUSED int vx_finish(struct vx_run *r)
{
    if (r->result == VARNIX_DONE)
        vx_pull(r);
    if (r->found[VX_ERROR])
        vx_fail(r, VARNIX_BOARD_ERROR);
    return r->result;
}

#ifdef VARNIX_MAIN
#include <stdio.h>

/* Opens the device with the line's settings, raw: nothing translated,
   echoed or taken as a signal. The descriptor, or -1 said on stderr. */
static VX_MAYBE_UNUSED int vx_open(const char *device, speed_t speed, tcflag_t flags)
{
    struct termios line;
    int fd = open(device, O_RDWR | O_NOCTTY);
    if (fd < 0 || tcgetattr(fd, &line) != 0) {
        perror(device);
        if (fd >= 0)
            close(fd);
        return -1;
    }
    line.c_iflag &= ~(tcflag_t)(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | INPCK);
    line.c_oflag &= ~(tcflag_t)OPOST;
    line.c_lflag &= ~(tcflag_t)(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    line.c_cflag &= ~(tcflag_t)(CSIZE | PARENB | PARODD | CSTOPB);
    line.c_cflag |= flags;
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    if (cfsetispeed(&line, speed) != 0 || cfsetospeed(&line, speed) != 0 || tcsetattr(fd, TCSANOW, &line) != 0) {
        perror(device);
        close(fd);
        return -1;
    }
    return fd;
}

/* Says on stderr why a send ended, with the script's line and the board's
   error line, and gives the program's exit status: 0, 1, or 2 when the
   device failed. */
static VX_MAYBE_UNUSED int vx_told(const char *device, int result)
{
    static const char *const why[] = {
        "sent", "the board answered", "an answer expected did not come in time",
        "a frame's \"Ready:\" did not come", "the device failed", "the board's display differs from the picture",
    };
    const char *c;
    if (result == VARNIX_DONE)
        return 0;
    fprintf(stderr, "%s: line %d: %s", device, varnix_line, why[result]);
    if (result == VARNIX_SCREEN_DIFFERS && varnix_pixels < 0)
        fputs(": the board did not send its display memory", stderr);
    else if (result == VARNIX_SCREEN_DIFFERS)
        fprintf(stderr, ": %d %s (first at %d, %d)", varnix_pixels,
                varnix_pixels == 1 ? "pixel differs" : "pixels differ", varnix_first_x, varnix_first_y);
    if (result == VARNIX_BOARD_ERROR) {
        fputs(" \"", stderr);
        for (c = varnix_answer; *c; ++c) {
            if (*c == '\\' || *c == '"')
                fprintf(stderr, "\\%c", *c);
            else if ((unsigned char)*c >= 0x20 && (unsigned char)*c < 0x7f)
                fputc(*c, stderr);
            else
                fprintf(stderr, "\\x%02x", (unsigned char)*c);
        }
        fputc('"', stderr);
    }
    fputc('\n', stderr);
    return result == VARNIX_PORT_FAILED ? 2 : 1;
}
#endif

#endif
