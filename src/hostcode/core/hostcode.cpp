// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostcode/core/hostcode.h"

#include "hostcode/core/emitters.h"
#include "hostcode/core/plan.h"

#include <QHash>

namespace varnix::hostcode {

namespace {

struct LanguageNames {
    Language language;
    const char* word;   // as --lang takes it
    const char* title;  // as the window offers it
    const char* suffix;
};

constexpr LanguageNames kLanguages[] = {
    {Language::C, "c", "C (POSIX)", "c"},
    {Language::Arduino, "arduino", "Arduino", "ino"},
    {Language::Python, "python", "Python (pyserial)", "py"},
};

const LanguageNames& namesOf(Language language)
{
    return kLanguages[int(language)];
}

bool isIdentifierCharacter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_';
}

} // namespace

std::optional<Language> languageNamed(const QString& word)
{
    for (const LanguageNames& names : kLanguages) {
        if (word.trimmed().compare(QLatin1String(names.word), Qt::CaseInsensitive) == 0)
            return names.language;
    }
    return std::nullopt;
}

QString languageTitle(Language language)
{
    return QString::fromUtf8(namesOf(language).title);
}

QString suffix(Language language)
{
    return QString::fromLatin1(namesOf(language).suffix);
}

QString functionName(const QString& name)
{
    return QStringLiteral("varnix_send_") + name;
}

namespace {

// Letters beyond ASCII as their ASCII letters: an accent dropped ("é" as
// "e"), and the few that do not decompose spelled out.
QString asciiLetters(const QString& text)
{
    static const QHash<QChar, QString> spelled{
        {u'\u00df', QStringLiteral("ss")}, {u'\u00e6', QStringLiteral("ae")}, {u'\u00c6', QStringLiteral("AE")},
        {u'\u00f8', QStringLiteral("o")},  {u'\u00d8', QStringLiteral("O")},  {u'\u0153', QStringLiteral("oe")},
        {u'\u0152', QStringLiteral("OE")}, {u'\u0142', QStringLiteral("l")},  {u'\u0141', QStringLiteral("L")},
        {u'\u0111', QStringLiteral("d")},  {u'\u0110', QStringLiteral("D")},  {u'\u00fe', QStringLiteral("th")},
        {u'\u00de', QStringLiteral("TH")}, {u'\u00f0', QStringLiteral("d")},  {u'\u00d0', QStringLiteral("D")},
    };
    QString out;
    for (const QChar c : text.normalized(QString::NormalizationForm_KD)) {
        if (c.unicode() < 0x80)
            out += c;
        else if (const auto it = spelled.constFind(c); it != spelled.constEnd())
            out += *it;
        else if (c.category() != QChar::Mark_NonSpacing)
            out += u' ';
    }
    return out;
}

} // namespace

QString identifierFrom(const QString& text)
{
    QString out;
    bool gap = false;
    for (const QChar c : asciiLetters(text)) {
        if (!isIdentifierCharacter(c)) {
            gap = true;
            continue;
        }
        if (gap && !out.isEmpty())
            out += u'_';
        gap = false;
        out += c;
    }
    out.truncate(kLongestName);
    while (out.endsWith(u'_'))
        out.chop(1);
    while (out.startsWith(u'_'))
        out.remove(0, 1);
    return out;
}

bool isIdentifier(const QString& name)
{
    return !name.isEmpty() && identifierFrom(name) == name;
}

Code generate(const Source& source, Language language, const QString& name)
{
    if (!isIdentifier(name))
        return {{}, QStringLiteral("\"%1\" is no name for a function: use letters, digits and _.").arg(name)};
    const auto line = lineOf(source.lineSettings);
    if (!line)
        return {{}, QStringLiteral("\"%1\" is no line setting such as 19200,n,8,1.").arg(source.lineSettings)};
    if (const QString refusal = lineRefusal(*line, language); !refusal.isEmpty())
        return {{}, refusal};
    for (const script::Step& step : source.script.steps) {
        if (step.kind == script::Step::Kind::Screen && source.screens.value(step.line).size() != kScreenBytes)
            return {{}, QStringLiteral("Line %1: the picture of \"%2\" was not read.").arg(step.line).arg(step.text)};
    }
    const Plan plan = planOf(source.script, source.screens);
    const Unit unit{plan, source, *line, name, functionName(name)};
    switch (language) {
    case Language::C:
        return {cCode(unit), {}};
    case Language::Arduino:
        return {arduinoCode(unit), {}};
    case Language::Python:
        return {pythonCode(unit), {}};
    }
    return {};
}

} // namespace varnix::hostcode
