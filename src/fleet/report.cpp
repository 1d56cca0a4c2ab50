// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/report.h"

#include "script/escapes.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QSysInfo>
#include <QXmlStreamWriter>

#include <algorithm>

namespace varnix::fleet {

namespace {

bool notStarted(const BoardReport& report)
{
    return report.stage == BoardReport::Stage::Done && !report.started;
}

QString frameText(const BoardReport& report, int frames)
{
    return notStarted(report) ? QStringLiteral("-") : QStringLiteral("%1/%2").arg(report.framesAnswered).arg(frames);
}

// Why, where the state alone does not say it: a failure's reason, the line
// a board was cut short on, and what went wrong besides.
QString whyText(const BoardReport& report)
{
    QStringList parts;
    if (report.stage == BoardReport::Stage::Done && !report.ending.passed()) {
        if (report.ending.kind != Ending::Kind::CutShort)
            parts << report.ending.describe();
        else if (report.ending.verifying)
            parts << QStringLiteral("while verifying");
        else if (report.ending.line > 0)
            parts << QStringLiteral("at line %1").arg(report.ending.line);
        else if (report.started && report.ending.reason.startsWith(QLatin1String("cut short ")))
            parts << report.ending.reason.mid(10);
    }
    for (const QString& note : report.notes)
        parts << note;
    return parts.join(QStringLiteral("; "));
}

QString seconds(qint64 milliseconds)
{
    return QString::number(double(milliseconds) / 1000.0, 'f', 3);
}

// Text XML 1.0 can hold: characters it has no place for written as escapes.
QString xmlText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool pair = c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        if (pair) {
            out += c;
            out += text[++i];
        } else if ((c.unicode() < 0x20 && c != u'\n' && c != u'\t' && c != u'\r') || c.isSurrogate()
                   || c.unicode() >= 0xfffe) {
            out += script::escaped(QStringView(&c, 1));
        } else {
            out += c;
        }
    }
    return out;
}

QString failureType(Ending::Kind kind)
{
    switch (kind) {
    case Ending::Kind::Passed:
        break;
    case Ending::Kind::Unreachable:
        return QStringLiteral("unreachable");
    case Ending::Kind::BoardError:
        return QStringLiteral("board error");
    case Ending::Kind::ExpectMissed:
        return QStringLiteral("expect");
    case Ending::Kind::NoAnswer:
        return QStringLiteral("no answer");
    case Ending::Kind::Refused:
        return QStringLiteral("refused");
    case Ending::Kind::Lost:
        return QStringLiteral("lost");
    case Ending::Kind::NoDisplay:
        return QStringLiteral("no display");
    case Ending::Kind::Differs:
        return QStringLiteral("display differs");
    case Ending::Kind::CutShort:
        return QStringLiteral("cut short");
    case Ending::Kind::ScreenDiffers:
        return QStringLiteral("screen differs");
    case Ending::Kind::ScreenMissing:
        return QStringLiteral("screen missing");
    }
    return {};
}

// A picture as CI servers find an attachment: from the folder the run was
// started in (their workspace) when it lies within it.
QString attachmentPath(const QString& path)
{
    const QString relative = QDir::current().relativeFilePath(QFileInfo(path).absoluteFilePath());
    return relative.startsWith(QLatin1String("../")) ? QFileInfo(path).absoluteFilePath() : relative;
}

} // namespace

QString stateText(const BoardReport& report)
{
    switch (report.stage) {
    case BoardReport::Stage::Waiting:
        return QStringLiteral("waiting");
    case BoardReport::Stage::Connecting:
        return QStringLiteral("connecting");
    case BoardReport::Stage::Sending:
        return QStringLiteral("sending");
    case BoardReport::Stage::Verifying:
        return QStringLiteral("verifying");
    case BoardReport::Stage::Done:
        break;
    }
    if (report.ending.passed())
        return QStringLiteral("passed");
    if (report.ending.kind != Ending::Kind::CutShort)
        return QStringLiteral("failed");
    return report.started ? QStringLiteral("cut short") : QStringLiteral("not started");
}

QString liveLine(const BoardReport& report, int frames, int nameWidth)
{
    const int digits = int(QString::number(frames).size());
    QString line = QStringLiteral("%1  %2/%3  %4")
                       .arg(report.board.name.leftJustified(nameWidth),
                            QString::number(report.framesAnswered).rightJustified(digits), QString::number(frames),
                            stateText(report));
    if (const QString why = whyText(report); !why.isEmpty())
        line += QStringLiteral(": ") + why;
    return line;
}

QString countsLine(const QList<BoardReport>& reports)
{
    // In the order a run moves them along.
    const QStringList order{QStringLiteral("passed"),     QStringLiteral("failed"),     QStringLiteral("cut short"),
                            QStringLiteral("not started"), QStringLiteral("sending"),    QStringLiteral("verifying"),
                            QStringLiteral("connecting"),  QStringLiteral("waiting")};
    QList<int> counts(order.size(), 0);
    for (const BoardReport& report : reports)
        ++counts[order.indexOf(stateText(report))];
    QStringList parts;
    for (qsizetype i = 0; i < order.size(); ++i) {
        if (counts[i] > 0 || i == 0)
            parts << QStringLiteral("%1 %2").arg(counts[i]).arg(order[i]);
    }
    return QStringLiteral("%1 %2: %3")
        .arg(reports.size())
        .arg(reports.size() == 1 ? QStringLiteral("board") : QStringLiteral("boards"),
             parts.join(QStringLiteral(", ")));
}

int rowsTaken(const QList<int>& widths, int columns)
{
    int rows = 0;
    for (const int width : widths)
        rows += columns > 0 ? std::max(1, (width + columns - 1) / columns) : 1;
    return rows;
}

QString eventLine(const BoardReport& report, int frames)
{
    const QString& name = report.board.name;
    switch (report.stage) {
    case BoardReport::Stage::Waiting:
    case BoardReport::Stage::Connecting:
        return {};
    case BoardReport::Stage::Sending:
        return QStringLiteral("%1: connected%2, sending %3 frames")
            .arg(name,
                 report.board.address == name ? QString()
                                              : QStringLiteral(" to ") + script::escaped(report.board.address),
                 QString::number(frames));
    case BoardReport::Stage::Verifying:
        return QStringLiteral("%1: verifying the display").arg(name);
    case BoardReport::Stage::Done:
        break;
    }
    if (notStarted(report))
        return QStringLiteral("%1: not started").arg(name);
    QString line = QStringLiteral("%1: %2, %3 of %4 frames answered, %5")
                       .arg(name, stateText(report), QString::number(report.framesAnswered), QString::number(frames),
                            script::durationText(report.milliseconds));
    if (const QString why = whyText(report); !why.isEmpty())
        line += QStringLiteral(": ") + why;
    return line;
}

QStringList table(const QList<BoardReport>& reports, int frames)
{
    QList<QStringList> rows{{QStringLiteral("Board"), QStringLiteral("Result"), QStringLiteral("Frame"),
                             QStringLiteral("Time"), QStringLiteral("Why")}};
    for (const BoardReport& report : reports) {
        rows.append({report.board.name, stateText(report), frameText(report, frames),
                     notStarted(report) ? QStringLiteral("-") : script::durationText(report.milliseconds),
                     whyText(report)});
    }
    QList<qsizetype> widths(rows.front().size(), 0);
    for (const QStringList& row : rows) {
        for (qsizetype column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], row[column].size());
    }
    QStringList lines;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype column = 0; column < row.size(); ++column) {
            // Frames and times read best lined up on the right.
            const bool right = column == 2 || column == 3;
            const QString cell = right ? row[column].rightJustified(widths[column])
                                       : row[column].leftJustified(widths[column]);
            line += (column > 0 ? QStringLiteral("  ") : QString()) + cell;
        }
        lines << line.trimmed();
    }
    lines << countsLine(reports);
    return lines;
}

bool writeJUnit(const QString& path, const QString& suite, const QList<BoardReport>& reports, int frames,
                qint64 milliseconds, QString* error)
{
    int failures = 0;
    int skipped = 0;
    for (const BoardReport& report : reports) {
        if (notStarted(report))
            ++skipped;
        else if (!report.ending.passed())
            ++failures;
    }
    const QString tests = QString::number(reports.size());
    const QString time = seconds(milliseconds);
    const QString className = QFileInfo(suite).completeBaseName();

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("testsuites"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("varnix"));
    xml.writeAttribute(QStringLiteral("tests"), tests);
    xml.writeAttribute(QStringLiteral("failures"), QString::number(failures));
    xml.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("skipped"), QString::number(skipped));
    xml.writeAttribute(QStringLiteral("time"), time);

    xml.writeStartElement(QStringLiteral("testsuite"));
    xml.writeAttribute(QStringLiteral("name"), xmlText(suite));
    xml.writeAttribute(QStringLiteral("tests"), tests);
    xml.writeAttribute(QStringLiteral("failures"), QString::number(failures));
    xml.writeAttribute(QStringLiteral("errors"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("skipped"), QString::number(skipped));
    xml.writeAttribute(QStringLiteral("time"), time);
    xml.writeAttribute(QStringLiteral("timestamp"),
                       QDateTime::currentDateTime().addMSecs(-milliseconds).toString(Qt::ISODate));
    xml.writeAttribute(QStringLiteral("hostname"), xmlText(QSysInfo::machineHostName()));
    for (const BoardReport& report : reports) {
        xml.writeStartElement(QStringLiteral("testcase"));
        xml.writeAttribute(QStringLiteral("name"), xmlText(report.board.name));
        xml.writeAttribute(QStringLiteral("classname"), xmlText(className));
        xml.writeAttribute(QStringLiteral("time"), seconds(report.milliseconds));
        if (notStarted(report)) {
            xml.writeEmptyElement(QStringLiteral("skipped"));
            xml.writeAttribute(QStringLiteral("message"), QStringLiteral("not started: the run was stopped first"));
        } else if (!report.ending.passed()) {
            const QString why = whyText(report);
            const QString message = report.ending.kind == Ending::Kind::CutShort
                ? QStringLiteral("cut short") + (why.isEmpty() ? QString() : QStringLiteral(" ") + why)
                : why;
            xml.writeStartElement(QStringLiteral("failure"));
            xml.writeAttribute(QStringLiteral("message"), xmlText(message));
            xml.writeAttribute(QStringLiteral("type"), failureType(report.ending.kind));
            xml.writeCharacters(xmlText(QStringLiteral("%1, %2 of %3 frames answered: %4")
                                            .arg(report.board.address, QString::number(report.framesAnswered),
                                                 QString::number(frames), message)));
            xml.writeEndElement();
        }
        if (!report.answers.isEmpty() || !report.ending.pictures.isEmpty()) {
            QString out;
            if (report.answersLeftOut > 0)
                out = QStringLiteral("(%1 earlier answers left out)\n").arg(report.answersLeftOut);
            for (const QString& answer : report.answers)
                out += answer + u'\n';
            // The form Jenkins' JUnit attachments and GitLab read.
            for (const QString& picture : report.ending.pictures)
                out += QStringLiteral("[[ATTACHMENT|%1]]\n").arg(attachmentPath(picture));
            xml.writeTextElement(QStringLiteral("system-out"), xmlText(out));
        }
        if (!report.notes.isEmpty())
            xml.writeTextElement(QStringLiteral("system-err"), xmlText(report.notes.join(u'\n') + u'\n'));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    if (xml.hasError() || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace varnix::fleet
