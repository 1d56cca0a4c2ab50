// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/hostrun.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
#if defined(VARNIX_UNORUN) && defined(VARNIX_ARDUINO_BUILDER)
        return found(QStringLiteral("socat")).isEmpty() ? QStringLiteral("socat is not installed") : QString();
#else
        return QStringLiteral("arduino-builder, arduino-core-avr or libsimavr-dev was missing when this was built");
#endif
    }
    return {};
#endif
}

bool HostRun::build(const QString& code, hostcode::Language language, const QString& dir)
{
    m_language = language;
    const QString base = QDir(dir).filePath(QStringLiteral("export"));
    // A sketch is a folder of its name, as the Arduino tools want it.
    const QString source = language == hostcode::Language::Arduino
        ? QDir(base).filePath(QStringLiteral("export.ino"))
        : base + u'.' + hostcode::suffix(language);
    QDir().mkpath(QFileInfo(source).path());
    QFile file(source);
    if (!file.open(QIODevice::WriteOnly) || file.write(code.toUtf8()) < 0) {
        m_error = file.errorString();
        return false;
    }
    file.close();
    Ended built{0, {}, {}};
    switch (language) {
    case hostcode::Language::C:
        // cc is clang on macOS and the BSDs, and clang warns of more: the
        // code is checked by it first, as a program and as a function alone.
        if (!found(QStringLiteral("clang")).isEmpty()) {
            for (const QStringList& defines : {QStringList{"-DVARNIX_MAIN"}, QStringList{}}) {
                built = runToEnd(QStringLiteral("clang"),
                                 QStringList{"-Wall", "-Wextra", "-Werror", "-fsyntax-only"} + defines + QStringList{source},
                                 60000);
                if (built.code != 0) {
                    m_error = QStringLiteral("clang: ") + QString::fromLocal8Bit(built.out + built.err);
                    return false;
                }
            }
        }
        m_built = base;
        built = runToEnd(QStringLiteral("gcc"),
                         {"-Wall", "-Wextra", "-Werror", "-fsanitize=address,undefined", "-fno-sanitize-recover=all",
                          "-DVARNIX_MAIN", "-o", m_built, source}, 60000);
        break;
    case hostcode::Language::Python:
        m_built = source;
        break;
    case hostcode::Language::Arduino: {
#if defined(VARNIX_UNORUN) && defined(VARNIX_ARDUINO_BUILDER)
        // As docs/export.md has a user build it on Debian, with every
        // warning shown and the core kept for the next sketch.
        const QString buildPath = QDir(dir).filePath(QStringLiteral("build"));
        QDir().mkpath(buildPath);
        QDir().mkpath(QStringLiteral(VARNIX_UNO_CACHE));
        m_built = QDir(buildPath).filePath(QStringLiteral("export.ino.elf"));
        built = runToEnd(QStringLiteral(VARNIX_ARDUINO_BUILDER),
                         {"-hardware", "/usr/share/arduino/hardware", "-hardware", "/usr/share/arduino-builder",
                          "-tools", "/usr/share/arduino-builder", "-fqbn", "arduino:avr:uno",
                          "-prefs=compiler.cpp.extra_flags=-DDECIMAL_DIG=__DECIMAL_DIG__", "-warnings", "all",
                          "-build-cache", QStringLiteral(VARNIX_UNO_CACHE), "-build-path", buildPath, source},
                         120000);
        // The core's warnings are Debian's; the sketch has none.
        const QByteArray said = built.out + built.err;
        if (built.code == 0 && said.contains(QFile::encodeName(source) + ':') && said.contains("warning:")) {
            for (const QByteArray& line : said.split('\n')) {
                if (line.startsWith(QFile::encodeName(source)) && line.contains("warning:"))
                    built.code = 1;
            }
        }
#endif
        break;
    }
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
