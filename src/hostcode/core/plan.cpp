// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostcode/core/plan.h"

#include "protocol/encodings.h"

#include "script/escapes.h"
#include "script/runner.h"

#include "varnixversion.h"

#include <QStringList>

#include <utility>

namespace varnix::hostcode {

namespace {

// Which letter case a hex digit has: 0 for a number, 1 lower, 2 upper.
int caseOf(char c)
{
    return c >= 'a' ? 1 : c >= 'A' ? 2 : 0;
}

int blockIndex(Plan& plan, const Block& block)
{
    for (qsizetype i = 0; i < plan.blocks.size(); ++i) {
        if (plan.blocks[i].bytes == block.bytes && plan.blocks[i].upper == block.upper)
            return int(i);
    }
    plan.blocks.append(block);
    return int(plan.blocks.size() - 1);
}

QList<Piece> piecesOf(const QByteArray& frame, Plan& plan)
{
    QList<Piece> pieces;
    QByteArray text;
    qsizetype i = 0;
    while (i < frame.size()) {
        // The run of "]" + two hex digits from here, its letters of one case.
        qsizetype end = i;
        int runCase = 0;
        QByteArray bytes;
        while (end + 3 <= frame.size() && frame[end] == ']') {
            const int high = protocol::hexDigitValue(char16_t(frame[end + 1]));
            const int low = protocol::hexDigitValue(char16_t(frame[end + 2]));
            if (high < 0 || low < 0)
                break;
            const int itemCase = caseOf(frame[end + 1]) | caseOf(frame[end + 2]);
            if (itemCase == 3 || (runCase && itemCase && itemCase != runCase))
                break;
            runCase |= itemCase;
            bytes += char(high * 16 + low);
            end += 3;
        }
        if (bytes.size() >= kShortestBlock) {
            if (!text.isEmpty())
                pieces.append(Piece{std::exchange(text, {}), -1});
            pieces.append(Piece{{}, blockIndex(plan, Block{bytes, runCase == 2})});
            i = end;
        } else {
            // A shorter run stays text, and so does every run inside it.
            end = std::max(end, i + 1);
            text += frame.mid(i, end - i);
            i = end;
        }
    }
    if (!text.isEmpty() || pieces.isEmpty())
        pieces.append(Piece{text, -1});
    return pieces;
}

int needleIndex(Plan& plan, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0xff)
            return -1;  // the answers are single bytes: they never hold it
    }
    const QByteArray latin1 = text.toLatin1();
    const qsizetype at = plan.needles.indexOf(latin1);
    if (at >= 0)
        return int(at);
    plan.needles.append(latin1);
    return int(plan.needles.size() - 1);
}

// Seconds as a script writes them: "5", "0.3".
QString secondsText(int ms)
{
    QString text = QString::number(ms / 1000);
    if (ms % 1000) {
        text += u'.' + QStringLiteral("%1").arg(ms % 1000, 3, 10, QLatin1Char('0'));
        while (text.endsWith(u'0'))
            text.chop(1);
    }
    return text;
}

QStringList wrapped(const QString& sentence, int width)
{
    QStringList lines;
    QString line;
    for (const QString& word : sentence.split(u' ', Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > width) {
            lines << line;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty())
        lines << line;
    return lines;
}

} // namespace

qsizetype Plan::longestNeedle() const
{
    qsizetype longest = 1;
    for (const QByteArray& needle : needles)
        longest = std::max(longest, needle.size());
    return longest;
}

Plan planOf(const script::Script& script, const QHash<int, QByteArray>& screens)
{
    Plan plan;
    plan.needles = {QByteArray(script::Runner::kPrompt), QByteArray(script::Runner::kError)};
    for (const script::Step& step : script.steps) {
        Action action;
        action.line = step.line;
        switch (step.kind) {
        case script::Step::Kind::Delay:
            action.kind = Action::Kind::Delay;
            action.value = step.milliseconds;
            action.said = QStringLiteral("delay %1").arg(step.milliseconds);
            break;
        case script::Step::Kind::Wait:
            action.kind = Action::Kind::Wait;
            action.value = step.milliseconds;
            action.said = QStringLiteral("wait %1").arg(step.milliseconds);
            break;
        case script::Step::Kind::Ready:
            action.kind = Action::Kind::Ready;
            action.value = step.on;
            action.said = step.on ? QStringLiteral("ready on") : QStringLiteral("ready off");
            break;
        case script::Step::Kind::Expect:
            action.kind = Action::Kind::Expect;
            action.value = step.milliseconds;
            action.needle = needleIndex(plan, step.text);
            action.said = QStringLiteral("expect %1 %2").arg(shownInComment(step.text), secondsText(step.milliseconds));
            break;
        case script::Step::Kind::Send:
            action.kind = Action::Kind::Send;
            action.pieces = piecesOf(step.text.toLatin1(), plan);
            action.said = lineInComment(script::sendLine(step.text), step.text.size());
            break;
        case script::Step::Kind::Screen:
            action.kind = Action::Kind::Screen;
            action.pieces = piecesOf(step.frame().toLatin1(), plan);
            if (screens.contains(step.line))
                action.block = blockIndex(plan, Block{screens.value(step.line), false});
            action.said = lineInComment(script::screenLine(step.text), script::screenLine(step.text).size());
            break;
        }
        plan.actions.append(action);
    }
    return plan;
}

std::optional<Line> lineOf(const QString& settings)
{
    const auto parsed = link::LineSettings::parse(settings);
    if (!parsed)
        return std::nullopt;
    Line line;
    line.settings = *parsed;
    const QStringList parts = settings.split(u',');
    line.parity = parts[1].trimmed().toLower().front().toLatin1();
    line.dataBits = parts[2].trimmed().toInt();
    line.stopBits = parts[3].trimmed();
    line.text = QStringLiteral("%1,%2,%3,%4")
                    .arg(parsed->baudRate)
                    .arg(QLatin1Char(line.parity))
                    .arg(line.dataBits)
                    .arg(line.stopBits);
    const char* parity = line.parity == 'e' ? "even" : line.parity == 'o' ? "odd" : line.parity == 'm' ? "mark"
                       : line.parity == 's' ? "space" : "no";
    line.described = QStringLiteral("%1 baud, %2 parity, %3 data bits, %4 stop %5")
                         .arg(parsed->baudRate)
                         .arg(QLatin1String(parity))
                         .arg(line.dataBits)
                         .arg(line.stopBits, line.stopBits == u"1" ? QStringLiteral("bit") : QStringLiteral("bits"));
    return line;
}

QString lineRefusal(const Line& line, Language language)
{
    const QString who = language == Language::Arduino ? QStringLiteral("The Arduino core's Serial")
                                                       : QStringLiteral("POSIX termios");
    if (language == Language::Python)
        return {};
    if (line.parity == 'm' || line.parity == 's')
        return QStringLiteral("%1 has no %2 parity: choose n, e or o.")
            .arg(who, line.parity == 'm' ? QStringLiteral("mark") : QStringLiteral("space"));
    if (line.stopBits == u"1.5")
        return QStringLiteral("%1 has no 1.5 stop bits: choose 1 or 2.").arg(who);
    if (language == Language::C) {
        static const QList<int> rates = {50, 75, 110, 134, 150, 200, 300, 600, 1200, 1800, 2400, 4800, 9600, 19200,
                                         38400, 57600, 115200, 230400, 460800, 500000, 576000, 921600, 1000000,
                                         1152000, 1500000, 2000000, 2500000, 3000000, 3500000, 4000000};
        if (!rates.contains(line.settings.baudRate))
            return QStringLiteral("POSIX termios has no speed of %1 baud: choose one such as 9600, 19200, 38400, "
                                  "57600 or 115200.")
                .arg(line.settings.baudRate);
    }
    return {};
}

QStringList aboutLines(const Source& source, const Line& line, const QString& function, const QStringList& usage)
{
    bool delayLines = false;
    for (const script::Step& step : source.script.steps)
        delayLines |= step.kind == script::Step::Kind::Delay;
    QString pacing;
    if (!source.pacing) {
        pacing = QStringLiteral("No character is paced.");
    } else {
        pacing = QStringLiteral("Pacing: %1 ms before each \"%2\"%3.")
                     .arg(source.startDelay)
                     .arg(shownInComment(QString(*source.pacing)),
                          delayLines ? QStringLiteral(" at first; the script's delay lines change it")
                                     : QString());
    }
    const QStringList sentences = {
        QStringLiteral("%1 sends to a Tessel graphic LCD board what Varnix sends when it runs the script: the "
                       "same bytes with the same pauses, each frame waiting for the board's \"%2\" (up to %3 s "
                       "while nothing comes), and \"%4\" from the board ending it.")
            .arg(function, QLatin1String(script::Runner::kPrompt))
            .arg(script::kReadyTimeoutMs / 1000)
            .arg(QLatin1String(script::Runner::kError)),
        // Escaped, so that no file name or text can end the comment and be
        // taken for code.
        QStringLiteral("Made by Varnix %1 from %2.").arg(QLatin1String(kVersion), shownInComment(source.madeFrom, 120)),
        QStringLiteral("Line: %1 (%2).").arg(line.described, line.text),
        pacing,
    };
    QStringList lines;
    for (const QString& sentence : sentences)
        lines << wrapped(sentence, 74);
    lines << QString();
    for (const QString& sentence : usage)
        lines << wrapped(sentence, 74);
    return lines;
}

QString shownInComment(const QString& text, int most)
{
    return lineInComment(script::escaped(text), text.size(), most);
}

QString lineInComment(const QString& line, qsizetype textLength, int most)
{
    QString shown = line;
    if (shown.size() > most)
        shown = shown.left(most) + QStringLiteral("... (%1 characters)").arg(textLength);
    // Nothing in it may end a C comment.
    shown.replace(QStringLiteral("*/"), QStringLiteral("*\\x2f"));
    return shown;
}

} // namespace varnix::hostcode
