// SPDX-License-Identifier: GPL-3.0-or-later
#include "script/escapes.h"

#include "protocol/encodings.h"

namespace varnix::script {

namespace {
constexpr char kDigits[] = "0123456789abcdef";
} // namespace

QString escaped(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c == u'\\') {
            out += QStringLiteral("\\\\");
        } else if (c >= 0x20 && c < 0x7f) {
            out += ch;
        } else if (c <= 0xff) {
            out += QStringLiteral("\\x");
            out += QChar(kDigits[c >> 4]);
            out += QChar(kDigits[c & 0xf]);
        } else {
            out += QStringLiteral("\\u");
            for (int shift = 12; shift >= 0; shift -= 4)
                out += QChar(kDigits[(c >> shift) & 0xf]);
        }
    }
    return out;
}

std::optional<QString> unescaped(QStringView line, qsizetype* badAt)
{
    QString out;
    out.reserve(line.size());
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] != u'\\') {
            out += line[i];
            continue;
        }
        const qsizetype at = i;
        const char16_t next = i + 1 < line.size() ? line[i + 1].unicode() : 0;
        if (next == u'\\') {
            out += QChar(u'\\');
            ++i;
            continue;
        }
        if (next == u'x' && i + 3 < line.size()) {
            const int high = protocol::hexDigitValue(line[i + 2].unicode());
            const int low = protocol::hexDigitValue(line[i + 3].unicode());
            if (high >= 0 && low >= 0) {
                out += QChar(char16_t(high * 16 + low));
                i += 3;
                continue;
            }
        }
        if (badAt)
            *badAt = at;
        return std::nullopt;
    }
    return out;
}

} // namespace varnix::script
