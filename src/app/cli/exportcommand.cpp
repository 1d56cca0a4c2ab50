// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/exportcommand.h"

#include "app/cli/commandline.h"

#include "link/core/linesettings.h"
#include "render/animation.h"
#include "screens/screens.h"

#include <QFileInfo>
#include <QTextStream>

namespace varnix::exporting {

bool isOption(const QString& name)
{
    return name == QLatin1String("--lang") || name == QLatin1String("--name") || name == QLatin1String("-o")
        || name == QLatin1String("--output");
}

QString readOption(const QString& name, const QString& value, ExportChoice& choice)
{
    choice.seen << name;
    if (name == QLatin1String("--lang")) {
        if (!hostcode::languageNamed(value))
            return QStringLiteral("--lang takes c, arduino or python, not \"%1\"").arg(value);
        choice.language = value;
    } else if (name == QLatin1String("--name")) {
        // Made into a name as the dialog makes what is typed; said when written.
        if (hostcode::identifierFrom(value).isEmpty())
            return QStringLiteral("--name \"%1\" gives no name for the function (varnix_send_NAME): use letters, "
                                  "digits and _")
                .arg(value);
        choice.name = value;
    } else if (name == QLatin1String("-o") || name == QLatin1String("--output")) {
        if (value.isEmpty())
            return QStringLiteral("-o needs the file to write the code to");
        choice.output = value;
    }
    return {};
}

QString lacking(const ExportChoice& choice)
{
    if (choice.language.isEmpty())
        return QStringLiteral("--export needs --lang c, arduino or python");
    if (choice.output.isEmpty())
        return QStringLiteral("--export needs -o OUT, the file to write the code to");
    return {};
}

int write(hostcode::Source source, const ExportChoice& choice, const QString& fallbackName, QTextStream& out,
          QTextStream& err)
{
    const QString given = choice.name.isEmpty() ? fallbackName : choice.name;
    const QString name = hostcode::identifierFrom(given);
    if (name.isEmpty()) {
        err << "varnix: \"" << given << "\" gives no name for the function: give --name NAME" << Qt::endl;
        return 2;
    }
    if (name != given)
        err << "varnix: \"" << given << "\" is no name a language takes: the function is "
            << hostcode::functionName(name) << Qt::endl;
    source.lineSettings = choice.line;
    const hostcode::Language language = *hostcode::languageNamed(choice.language);
    const hostcode::Code code = hostcode::generate(source, language, name);
    if (!code.ok()) {
        err << "varnix: " << code.refusal << Qt::endl;
        return 2;
    }
    const QString said = QStringLiteral("%1, %2(), %3 %4 at %5")
                             .arg(hostcode::languageTitle(language), hostcode::functionName(name))
                             .arg(source.script.frameCount())
                             .arg(source.script.frameCount() == 1 ? QStringLiteral("frame") : QStringLiteral("frames"),
                                  choice.line);
    // "-" is the standard output, which then holds the code alone.
    if (choice.output == QLatin1String("-")) {
        out << code.text;
        out.flush();
        err << "varnix: " << said << Qt::endl;
        return out.status() == QTextStream::Ok ? 0 : 2;
    }
    if (const QString failure = render::saveScript(code.text, choice.output); !failure.isEmpty()) {
        err << "varnix: " << failure << Qt::endl;
        return 2;
    }
    out << choice.output << ": " << said << Qt::endl;
    return 0;
}

int exportScript(const QString& path, const ExportChoice& choice, int delay, QTextStream& out, QTextStream& err)
{
    auto read = script::readScriptFile(path);
    if (const auto* error = std::get_if<script::ReadError>(&read)) {
        err << "varnix: " << scriptRefusal(path, *error) << Qt::endl;
        return 2;
    }
    hostcode::Source source;
    source.script = std::get<script::Script>(std::move(read));
    // The screen lines' pictures are built into the code.
    auto pictures = screens::exportedPictures(source.script);
    if (const auto* error = std::get_if<script::ReadError>(&pictures)) {
        err << "varnix: " << scriptRefusal(path, *error) << Qt::endl;
        return 2;
    }
    source.screens = std::get<QHash<int, QByteArray>>(std::move(pictures));
    source.madeFrom = QStringLiteral("the script %1").arg(QFileInfo(path).fileName());
    source.startDelay = delay;
    return write(std::move(source), choice, QFileInfo(path).completeBaseName(), out, err);
}

} // namespace varnix::exporting
