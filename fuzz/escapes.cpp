// SPDX-License-Identifier: GPL-3.0-or-later
// The escapes of the session log and of scripts: any text of single bytes
// comes back from unescaped(escaped(text)) as it was, and escaped() writes
// printable ASCII only. Any line unescaped() takes, it takes back from its
// escaped form; any it refuses, it refuses at a backslash.
#include "check.h"

#include "script/escapes.h"

#include <cstdint>
#include <cstring>
#include <string>

using namespace varnix;

namespace {

bool printable(const QString& line)
{
    for (const QChar c : line) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Every byte one character, as the serial line carries them.
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString line = script::escaped(text);
    FUZZ_REQUIRE(printable(line));
    FUZZ_REQUIRE(script::unescaped(line) == text);

    // The same bytes read as a line someone wrote.
    qsizetype badAt = -1;
    if (const auto read = script::unescaped(text, &badAt)) {
        FUZZ_REQUIRE(script::unescaped(script::escaped(*read)) == *read);
    } else {
        FUZZ_REQUIRE(badAt >= 0 && badAt < text.size() && text[badAt] == u'\\');
    }

    // Characters beyond one byte are written so that no reader mistakes them
    // for bytes.
    std::u16string units(size / 2, u'\0');
    std::memcpy(units.data(), data, units.size() * sizeof(char16_t));
    const QString wide = QString::fromStdU16String(units);
    const QString wideLine = script::escaped(wide);
    FUZZ_REQUIRE(printable(wideLine));
    bool narrow = true;
    for (const QChar c : wide)
        narrow = narrow && c.unicode() <= 0xff;
    const auto back = script::unescaped(wideLine);
    FUZZ_REQUIRE(narrow ? back == wide : !back);
    return 0;
}
