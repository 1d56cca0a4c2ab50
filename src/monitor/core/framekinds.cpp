// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/framekinds.h"

#include "script/escapes.h"

namespace varnix::monitor {

namespace {

// By letter; the parameter names are those of the firmware's reference.
constexpr FrameKind kKinds[] = {
    {'a', "External EEPROM read", {"from", "to"}, nullptr},
    {'b', "Bar", {"x1", "x2", "y1", "y2"}, "step"},
    {'c', "Circle", {"x", "y", "radius"}, nullptr},
    {'d', "Set dot", {"x", "y"}, nullptr},
    {'e', "Toggle dot", {"x", "y"}, nullptr},
    {'f', "Fill", {}, "step"},
    {'g', "Internal EEPROM read", {"from", "to"}, nullptr},
    {'h', "Horizontal string", {"x", "y"}, "text"},
    {'i', "Horizontal line", {"x1", "x2", "y1", "y2"}, "step"},
    {'j', "Vertical line", {"x1", "x2", "y1", "y2"}, "step"},
    {'k', "Clear display", {}, nullptr},
    {'l', "Line", {"x1", "x2", "y1", "y2"}, nullptr},
    {'m', "LCD write", {"x1", "x2", "row1", "row2"}, "bytes"},
    {'n', "LCD read", {"x1", "x2", "row1", "row2"}, nullptr},
    {'o', "External EEPROM write", {"from", "to"}, "bytes"},
    {'p', "Put character", {"x", "y"}, "character"},
    {'q', "Diamond", {"x", "y", "size"}, nullptr},
    {'r', "Rectangle", {"x1", "x2", "y1", "y2"}, "step"},
    {'s', "Square", {"x", "y", "half side"}, nullptr},
    {'t', "Star", {"x", "y", "size"}, nullptr},
    {'u', "Put byte", {"x", "y", "byte"}, nullptr},
    {'v', "Vertical string", {"x", "y"}, "text"},
    {'w', "Internal EEPROM write", {"from", "to"}, "bytes"},
    {'x', "X axis", {"x1", "x2", "y"}, "tick"},
    {'y', "Y axis", {"y1", "y2", "x"}, "tick"},
};

// Escaped as scripts write bytes, and the quote too, so that no quote in
// the text can end it.
QString quotedBytes(QByteArrayView bytes)
{
    return u'"' + script::escaped(QString::fromLatin1(bytes)).replace(u'"', QStringLiteral("\\x22")) + u'"';
}

} // namespace

const FrameKind* frameKind(char letter)
{
    if (letter >= 'A' && letter <= 'Y')
        letter = char(letter - 'A' + 'a');
    if (letter < 'a' || letter > 'y')
        return nullptr;
    return &kKinds[letter - 'a'];
}

QList<const FrameKind*> frameKinds()
{
    QList<const FrameKind*> kinds;
    for (const FrameKind& kind : kKinds)
        kinds << &kind;
    return kinds;
}

QList<Parameter> frameParameters(const board::FrameRead& frame)
{
    QList<Parameter> parameters;
    const FrameKind* kind = frameKind(frame.letter);
    if (!kind)
        return parameters;
    for (qsizetype i = 0; i < frame.fields.size() && i < 4 && kind->fields[i]; ++i)
        parameters << Parameter{QLatin1String(kind->fields[i]), frame.fields[i]};
    if (frame.number)
        parameters << Parameter{QLatin1String(kind->tail), *frame.number};
    if (frame.character)
        parameters << Parameter{QStringLiteral("character"), QByteArray(1, *frame.character)};
    if (!frame.text.isEmpty())
        parameters << Parameter{QStringLiteral("text"), frame.text};
    if (frame.dataExpected > 0)
        parameters << Parameter{QStringLiteral("bytes"), frame.dataStored};
    return parameters;
}

QString frameMeaning(const board::FrameRead& frame)
{
    const FrameKind* kind = frameKind(frame.letter);
    if (!kind)
        return QString::fromLatin1(kUnknownKind);
    QStringList parts;
    for (const Parameter& parameter : frameParameters(frame)) {
        if (parameter.name == u"bytes") {
            parts << (frame.dataStored == frame.dataExpected
                          ? QStringLiteral("%1 bytes").arg(frame.dataExpected)
                          : QStringLiteral("%1 of %2 bytes").arg(frame.dataStored).arg(frame.dataExpected));
        } else if (parameter.value.typeId() == QMetaType::QByteArray) {
            parts << parameter.name + u' ' + quotedBytes(parameter.value.toByteArray());
        } else {
            parts << QStringLiteral("%1 %2").arg(parameter.name).arg(parameter.value.toInt());
        }
    }
    const QString name = QLatin1String(kind->name);
    return parts.isEmpty() ? name : name + u' ' + parts.join(QStringLiteral(", "));
}

} // namespace varnix::monitor
