// SPDX-License-Identifier: GPL-3.0-or-later
// C for a POSIX host and C++ for the Arduino core: the same runtime in each
// language's terms, the frames as literals and the blocks as byte arrays.
#include "hostcode/core/emitters.h"

#include "script/runner.h"

namespace varnix::hostcode {

namespace {

// The outcomes, the same in every language.
constexpr char kOutcomes[] = R"(/* What a send returns. */
#define VARNIX_DONE 0          /* all of it sent, every frame answered */
#define VARNIX_BOARD_ERROR 1   /* the board answered "Error:": the send ended there */
#define VARNIX_EXPECT_MISSED 2 /* an answer expected did not come in time: ended there */
#define VARNIX_NO_PROMPT 3     /* all of it sent, but a frame's "Ready:" did not come */
#define VARNIX_PORT_FAILED 4   /* the device refused a write or went away */
)";

// Both runtimes match the answers a byte at a time against the texts waited
// for, keeping only as much of them as the longest text, so that a long
// answer costs no memory.
constexpr char kCRuntime[] = R"(
/* How long a frame waits for "Ready:" while nothing arrives; how long the
   line must be quiet before the first frame, and the longest such wait. */
#define VX_READY_MS @READY@
#define VX_SETTLE_MS @SETTLE@
#define VX_LONGEST_SETTLE_MS @LONGEST_SETTLE@
#define VX_PROMPT 0
#define VX_ERROR 1
#define VX_NEVER ((size_t)-1)

struct vx_needle {
    const char *text;
    size_t length;
};

/* A send in progress: its line, and what the answers since the last frame
   hold (their end, and which of the texts waited for have come). */
struct vx_run {
    int fd;
    int result;
    int unanswered;
    int pacing;
    long delay;
    int ready;
    const struct vx_needle *needles;
    unsigned char *found;
    size_t needle_count;
    char *tail;
    size_t tail_size;
    size_t tail_length;
};

static inline long long vx_now(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (long long)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

static inline void vx_sleep(long ms)
{
    struct timespec t;
    t.tv_sec = ms / 1000;
    t.tv_nsec = (ms % 1000) * 1000000L;
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
}

static inline void vx_fail(struct vx_run *r, int result)
{
    if (r->result == VARNIX_DONE)
        r->result = result;
}

static inline void vx_clear(struct vx_run *r)
{
    r->tail_length = 0;
    memset(r->found, 0, r->needle_count);
}

static inline void vx_take(struct vx_run *r, char c)
{
    size_t i;
    if (r->tail_length == r->tail_size) {
        memmove(r->tail, r->tail + 1, r->tail_size - 1);
        --r->tail_length;
    }
    r->tail[r->tail_length++] = c;
    for (i = 0; i < r->needle_count; ++i) {
        const struct vx_needle *n = &r->needles[i];
        if (n->length <= r->tail_length
            && memcmp(r->tail + r->tail_length - n->length, n->text, n->length) == 0)
            r->found[i] = 1;
    }
}

/* Takes what has arrived, waiting up to ms for it: how many bytes, or -1
   when the device failed. */
static inline int vx_read(struct vx_run *r, long ms)
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

static inline void vx_pull(struct vx_run *r)
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
static inline int vx_wait_for(struct vx_run *r, size_t i, long ms, int renew)
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

static inline void vx_start(struct vx_run *r, int fd, const struct vx_needle *needles, size_t needle_count,
                            unsigned char *found, char *tail, size_t tail_size, int pacing, long delay)
{
    long long until = vx_now() + VX_LONGEST_SETTLE_MS;
    r->fd = fd;
    r->result = VARNIX_DONE;
    r->unanswered = 0;
    r->pacing = pacing;
    r->delay = delay;
    r->ready = 1;
    r->needles = needles;
    r->found = found;
    r->needle_count = needle_count;
    r->tail = tail;
    r->tail_size = tail_size;
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
}

static inline void vx_write(struct vx_run *r, const char *bytes, size_t length)
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
static inline void vx_text(struct vx_run *r, const char *text, size_t length)
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
static inline void vx_block(struct vx_run *r, const unsigned char *bytes, size_t count, const char *digits)
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

/* Before a frame: an error the board gave since the last one (the prompt
   being off) ends the send; else the frame's answers begin. */
static inline void vx_frame(struct vx_run *r)
{
    if (r->result != VARNIX_DONE)
        return;
    vx_pull(r);
    if (r->found[VX_ERROR])
        vx_fail(r, VARNIX_BOARD_ERROR);
    vx_clear(r);
}

/* After a frame: its "Ready:", unless the prompt is off; "Error:" ends the
   send. A prompt that does not come is told at the end. */
static inline void vx_answered(struct vx_run *r)
{
    if (r->result != VARNIX_DONE || !r->ready)
        return;
    if (!vx_wait_for(r, VX_PROMPT, VX_READY_MS, 1) && r->result == VARNIX_DONE)
        r->unanswered = 1;
    if (r->found[VX_ERROR])
        vx_fail(r, VARNIX_BOARD_ERROR);
}

static inline void vx_send(struct vx_run *r, const char *text, size_t length)
{
    vx_frame(r);
    vx_text(r, text, length);
    vx_answered(r);
}

static inline void vx_wait(struct vx_run *r, long ms)
{
    long long until = vx_now() + ms;
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

static inline void vx_expect(struct vx_run *r, size_t needle, long ms)
{
    if (r->result == VARNIX_DONE && !vx_wait_for(r, needle, ms, 0) && r->result == VARNIX_DONE)
        vx_fail(r, r->found[VX_ERROR] ? VARNIX_BOARD_ERROR : VARNIX_EXPECT_MISSED);
}

static inline int vx_finish(struct vx_run *r)
{
    if (r->result == VARNIX_DONE)
        vx_pull(r);
    if (r->found[VX_ERROR])
        vx_fail(r, VARNIX_BOARD_ERROR);
    if (r->unanswered)
        vx_fail(r, VARNIX_NO_PROMPT);
    return r->result;
}
)";

constexpr char kArduinoRuntime[] = R"(
// How long a frame waits for "Ready:" while nothing arrives; how long the
// line must be quiet before the first frame, and the longest such wait.
#define VX_READY_MS @READY@UL
#define VX_SETTLE_MS @SETTLE@UL
#define VX_LONGEST_SETTLE_MS @LONGEST_SETTLE@UL
#define VX_PROMPT 0
#define VX_ERROR 1
#define VX_NEVER ((size_t)-1)

static const char vx_prompt_text[] PROGMEM = "Ready:";
static const char vx_error_text[] PROGMEM = "Error:";

// A text in flash.
struct vx_needle {
    const char *text;
    size_t length;
};

// A send in progress: its port, and what the answers since the last frame
// hold (their end, and which of the texts waited for have come).
struct vx_run {
    Stream *port;
    int result;
    bool unanswered;
    int pacing;
    unsigned long delay;
    bool ready;
    const vx_needle *needles;
    uint8_t *found;
    size_t needle_count;
    char *tail;
    size_t tail_size;
    size_t tail_length;
};

static inline void vx_fail(vx_run &r, int result)
{
    if (r.result == VARNIX_DONE)
        r.result = result;
}

static inline void vx_clear(vx_run &r)
{
    r.tail_length = 0;
    memset(r.found, 0, r.needle_count);
}

static inline void vx_take(vx_run &r, char c)
{
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
        if (k == n.length)
            r.found[i] = 1;
    }
}

// Takes what has arrived, waiting up to ms for it: how many bytes.
static inline int vx_read(vx_run &r, unsigned long ms)
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
static inline bool vx_wait_for(vx_run &r, size_t i, unsigned long ms, bool renew)
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

static inline void vx_start(vx_run &r, Stream &port, const vx_needle *needles, size_t needle_count, uint8_t *found,
                            char *tail, size_t tail_size, int pacing, unsigned long delay)
{
    r.port = &port;
    r.result = VARNIX_DONE;
    r.unanswered = false;
    r.pacing = pacing;
    r.delay = delay;
    r.ready = true;
    r.needles = needles;
    r.found = found;
    r.needle_count = needle_count;
    r.tail = tail;
    r.tail_size = tail_size;
    vx_clear(r);
    // What is still on its way (a board's banner) answers no frame.
    unsigned long start = millis();
    while (millis() - start < VX_LONGEST_SETTLE_MS && vx_read(r, VX_SETTLE_MS) > 0) {
    }
    vx_clear(r);
}

// Writes a character, after the delay when it is the pacing character, and
// takes the answers as they come: the port's buffer for them is small.
static inline void vx_put(vx_run &r, char c)
{
    if (r.result != VARNIX_DONE)
        return;
    if ((uint8_t)c == r.pacing && r.delay > 0)
        delay(r.delay);
    if (r.port->write((uint8_t)c) != 1)
        vx_fail(r, VARNIX_PORT_FAILED);
    vx_read(r, 0);
}

static inline void vx_text(vx_run &r, const __FlashStringHelper *text, size_t length)
{
    const char *p = reinterpret_cast<const char *>(text);
    for (size_t i = 0; i < length; ++i)
        vx_put(r, (char)pgm_read_byte(p + i));
}

static inline char vx_digit(uint8_t value, bool upper)
{
    return value < 10 ? (char)('0' + value) : (char)((upper ? 'A' : 'a') + value - 10);
}

// Writes bytes from flash as a byte list: "]" and two hex digits each.
static inline void vx_block(vx_run &r, const uint8_t *bytes, size_t count, bool upper)
{
    for (size_t i = 0; i < count && r.result == VARNIX_DONE; ++i) {
        uint8_t b = pgm_read_byte(bytes + i);
        vx_put(r, ']');
        vx_put(r, vx_digit(b >> 4, upper));
        vx_put(r, vx_digit(b & 15, upper));
    }
}

// Before a frame: an error the board gave since the last one (the prompt
// being off) ends the send; else the frame's answers begin.
static inline void vx_frame(vx_run &r)
{
    if (r.result != VARNIX_DONE)
        return;
    vx_read(r, 0);
    if (r.found[VX_ERROR])
        vx_fail(r, VARNIX_BOARD_ERROR);
    vx_clear(r);
}

// After a frame: its "Ready:", unless the prompt is off; "Error:" ends the
// send. A prompt that does not come is told at the end.
static inline void vx_answered(vx_run &r)
{
    if (r.result != VARNIX_DONE || !r.ready)
        return;
    if (!vx_wait_for(r, VX_PROMPT, VX_READY_MS, true))
        r.unanswered = true;
    if (r.found[VX_ERROR])
        vx_fail(r, VARNIX_BOARD_ERROR);
}

static inline void vx_send(vx_run &r, const __FlashStringHelper *text, size_t length)
{
    vx_frame(r);
    vx_text(r, text, length);
    vx_answered(r);
}

static inline void vx_wait(vx_run &r, unsigned long ms)
{
    if (r.result != VARNIX_DONE)
        return;
    unsigned long start = millis();
    while (millis() - start < ms)
        vx_read(r, 0);
    if (!r.ready && r.found[VX_ERROR])
        vx_fail(r, VARNIX_BOARD_ERROR);
}

static inline void vx_expect(vx_run &r, size_t needle, unsigned long ms)
{
    if (r.result == VARNIX_DONE && !vx_wait_for(r, needle, ms, false))
        vx_fail(r, r.found[VX_ERROR] ? VARNIX_BOARD_ERROR : VARNIX_EXPECT_MISSED);
}

static inline int vx_finish(vx_run &r)
{
    if (r.result == VARNIX_DONE)
        vx_read(r, 0);
    if (r.found[VX_ERROR])
        vx_fail(r, VARNIX_BOARD_ERROR);
    if (r.unanswered)
        vx_fail(r, VARNIX_NO_PROMPT);
    return r.result;
}
)";

QString withTimes(const char* runtime)
{
    return QString::fromLatin1(runtime)
        .replace(QStringLiteral("@READY@"), QString::number(script::kReadyTimeoutMs))
        .replace(QStringLiteral("@SETTLE@"), QString::number(script::Runner::kSettleMs))
        .replace(QStringLiteral("@LONGEST_SETTLE@"), QString::number(script::Runner::kLongestSettleMs));
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
    auto text = [&](const QByteArray& bytes, const QString& call) {
        const QString lit = literal(bytes, QStringLiteral("            "));
        return QStringLiteral("    %1(%2, %3, %4);\n")
            .arg(call, r, arduino ? QStringLiteral("F(%1)").arg(lit) : lit)
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
            out += QStringLiteral("    vx_wait(%1, %2);\n").arg(r).arg(action.value);
            break;
        case Action::Kind::Expect:
            out += QStringLiteral("    vx_expect(%1, %2, %3);\n")
                       .arg(r, action.needle < 0 ? QStringLiteral("VX_NEVER") : QString::number(action.needle))
                       .arg(action.value);
            break;
        case Action::Kind::Send:
            if (action.pieces.size() == 1 && action.pieces.front().block < 0) {
                out += text(action.pieces.front().text, QStringLiteral("vx_send"));
                break;
            }
            out += QStringLiteral("    vx_frame(%1);\n").arg(r);
            for (const Piece& piece : action.pieces) {
                if (piece.block < 0) {
                    out += text(piece.text, QStringLiteral("vx_text"));
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
         QStringLiteral("It returns VARNIX_DONE, or why the send ended.")});
    QString out = commentLines(about);
    out += QStringLiteral("\n#define _POSIX_C_SOURCE 200809L\n\n"
                          "#include <errno.h>\n#include <fcntl.h>\n#include <poll.h>\n#include <stddef.h>\n"
                          "#include <string.h>\n#include <termios.h>\n#include <time.h>\n#include <unistd.h>\n\n"
                          "#ifndef VARNIX_RUNTIME\n#define VARNIX_RUNTIME\n\n");
    out += QString::fromLatin1(kOutcomes) + withTimes(kCRuntime) + QStringLiteral("\n#endif\n");
    out += function(unit, false);

    const Line& line = unit.line;
    QString flags = QStringLiteral("CS%1 | CREAD | CLOCAL").arg(line.dataBits);
    if (const QString parity = cParity(line.parity); !parity.isEmpty())
        flags += QStringLiteral(" | ") + parity;
    if (line.stopBits == u"2")
        flags += QStringLiteral(" | CSTOPB");
    out += QStringLiteral(R"(
#ifdef VARNIX_MAIN
#include <stdio.h>

int main(int argc, char **argv)
{
    static const char *const why[] = {
        "sent", "the board answered \"Error:\"", "an answer expected did not come in time",
        "a frame's \"Ready:\" did not come", "the device failed",
    };
    struct termios line;
    int fd, result;
    if (argc != 2) {
        fprintf(stderr, "usage: %s DEVICE\n", argv[0]);
        return 2;
    }
    fd = open(argv[1], O_RDWR | O_NOCTTY);
    if (fd < 0 || tcgetattr(fd, &line) != 0) {
        perror(argv[1]);
        return 2;
    }
    /* @TEXT@, raw: nothing translated, echoed or taken as a signal. */
    line.c_iflag &= ~(tcflag_t)(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | INPCK);
    line.c_oflag &= ~(tcflag_t)OPOST;
    line.c_lflag &= ~(tcflag_t)(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    line.c_cflag &= ~(tcflag_t)(CSIZE | PARENB | PARODD | CSTOPB);
    line.c_cflag |= @FLAGS@;
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    if (cfsetispeed(&line, B@BAUD@) != 0 || cfsetospeed(&line, B@BAUD@) != 0 || tcsetattr(fd, TCSANOW, &line) != 0) {
        perror(argv[1]);
        close(fd);
        return 2;
    }
    result = @FUNCTION@(fd);
    close(fd);
    if (result != VARNIX_DONE)
        fprintf(stderr, "%s: %s\n", argv[1], why[result]);
    return result == VARNIX_DONE ? 0 : result == VARNIX_PORT_FAILED ? 2 : 1;
}
#endif
)")
               .replace(QStringLiteral("@TEXT@"), line.text)
               .replace(QStringLiteral("@FLAGS@"), flags)
               .replace(QStringLiteral("@BAUD@"), QString::number(line.settings.baudRate))
               .replace(QStringLiteral("@FUNCTION@"), unit.function);
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
         QStringLiteral("It returns VARNIX_DONE, or why the send ended.")});
    QString out = commentLines(about);
    out += QStringLiteral("\n#include <Arduino.h>\n\n#ifndef VARNIX_RUNTIME\n#define VARNIX_RUNTIME\n\n");
    out += QString::fromLatin1(kOutcomes) + withTimes(kArduinoRuntime) + QStringLiteral("\n#endif\n");
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
