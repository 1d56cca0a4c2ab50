// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/hostrun.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace varnix::test {

namespace {

bool waitUntilEnded(QProcess& process, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (process.state() != QProcess::NotRunning) {
        if (deadline.hasExpired()) {
            process.kill();
            process.waitForFinished(3000);
            return false;
        }
        QTest::qWait(5);
    }
    return true;
}

Ended ended(QProcess& process, bool inTime)
{
    return {inTime && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput(), process.readAllStandardError()};
}

QString found(const QString& program)
{
    return QStandardPaths::findExecutable(program);
}

// Debian's own Python, whose pyserial is python3-serial, before another one
// the path may put first.
QString python()
{
    const QString debian = QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
    return debian.isEmpty() ? found(QStringLiteral("python3")) : debian;
}

} // namespace

Ended runToEnd(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return {-1, {}, process.errorString().toUtf8()};
    return ended(process, waitUntilEnded(process, timeoutMs));
}

QString HostRun::missing(hostcode::Language language)
{
#ifdef VARNIX_SANITIZED
    Q_UNUSED(language);
    return QStringLiteral("the exported code runs in the release build's tests: the sanitizers see none of it");
#else
    switch (language) {
    case hostcode::Language::C:
        return found(QStringLiteral("gcc")).isEmpty() ? QStringLiteral("gcc is not installed") : QString();
    case hostcode::Language::Python:
        if (python().isEmpty())
            return QStringLiteral("python3 is not installed");
        return runToEnd(python(), {"-c", "import serial"}).code == 0
            ? QString()
            : QStringLiteral("pyserial (python3-serial) is not installed");
    case hostcode::Language::Arduino:
#if defined(VARNIX_UNORUN) && defined(VARNIX_UNO_BUILD)
        return found(QStringLiteral("socat")).isEmpty() ? QStringLiteral("socat is not installed") : QString();
#else
        return QStringLiteral("gcc-avr, arduino-core-avr or libsimavr-dev was missing when this was built");
#endif
    }
    return {};
#endif
}

bool HostRun::build(const QString& code, hostcode::Language language, const QString& dir)
{
    m_language = language;
    const QString base = QDir(dir).filePath(QStringLiteral("export"));
    const QString source = base + u'.' + hostcode::suffix(language);
    QFile file(source);
    if (!file.open(QIODevice::WriteOnly) || file.write(code.toUtf8()) < 0) {
        m_error = file.errorString();
        return false;
    }
    file.close();
    Ended built{0, {}, {}};
    switch (language) {
    case hostcode::Language::C:
        m_built = base;
        built = runToEnd(QStringLiteral("gcc"),
                         {"-Wall", "-Wextra", "-Werror", "-fsanitize=address,undefined", "-fno-sanitize-recover=all",
                          "-DVARNIX_MAIN", "-o", m_built, source}, 60000);
        break;
    case hostcode::Language::Python:
        m_built = source;
        break;
    case hostcode::Language::Arduino:
#if defined(VARNIX_UNORUN) && defined(VARNIX_UNO_BUILD)
        m_built = base + QStringLiteral(".elf");
        built = runToEnd(QStringLiteral(VARNIX_MAKE),
                         {"-s", "-f", QStringLiteral(VARNIX_UNO_MAKEFILE),
                          QStringLiteral("BUILD=") + QStringLiteral(VARNIX_UNO_BUILD), m_built},
                         120000);
#endif
        break;
    }
    m_error = QString::fromLocal8Bit(built.out + built.err);
    return built.code == 0;
}

Ended HostRun::run(const QString& device, int timeoutMs) const
{
    switch (m_language) {
    case hostcode::Language::C:
        return runToEnd(m_built, {device}, timeoutMs);
    case hostcode::Language::Python:
        return runToEnd(python(), {m_built, device}, timeoutMs);
    case hostcode::Language::Arduino:
        break;
    }
#ifdef VARNIX_UNORUN
    // The Uno's serial port is a pseudo-terminal of simavr's; socat joins it
    // to the device before the sketch starts.
    QProcess uno;
    uno.start(QStringLiteral(VARNIX_UNORUN), {m_built, QString::number(timeoutMs / 1000.0)});
    QByteArray said;
    QString uart;
    const QDeadlineTimer deadline(10000);
    while (uart.isEmpty() && !deadline.hasExpired() && uno.state() != QProcess::NotRunning) {
        uno.waitForReadyRead(50);
        said += uno.readAllStandardOutput();
        for (const QByteArray& line : said.split('\n')) {
            if (line.startsWith("uart /dev/"))
                uart = QString::fromLocal8Bit(line.mid(5).trimmed());
        }
    }
    if (uart.isEmpty()) {
        uno.kill();
        uno.waitForFinished(3000);
        return {-1, said, uno.readAllStandardError()};
    }
    QProcess socat;
    socat.start(QStringLiteral("socat"), {"-d", "-d", uart + QStringLiteral(",rawer"), device + QStringLiteral(",rawer")});
    QByteArray socatSaid;
    const QDeadlineTimer joined(10000);
    while (!socatSaid.contains("starting data transfer loop") && !joined.hasExpired()
           && socat.state() != QProcess::NotRunning) {
        socat.waitForReadyRead(50);
        socatSaid += socat.readAllStandardError();
    }
    uno.write("go\n");
    Ended result = ended(uno, waitUntilEnded(uno, timeoutMs + 5000));
    result.out.prepend(said);
    socat.terminate();
    socat.waitForFinished(3000);
    return result;
#else
    Q_UNUSED(device);
    return {};
#endif
}

} // namespace varnix::test
