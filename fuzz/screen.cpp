// SPDX-License-Identifier: GPL-3.0-or-later
// The screen editor's reader on any file: it opens every file and writes it
// back byte for byte; each object it makes draws what its line draws, and
// written anew (its frame and its note) reads back as the same object.
#include "check.h"

#include "board/displaycheck.h"
#include "editor/core/note.h"
#include "editor/core/screen.h"

#include <cstdint>

using namespace varnix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView file(data, qsizetype(size));
    editor::Screen screen = editor::Screen::read(file);
    FUZZ_REQUIRE(screen.text() == file);
    for (const editor::Item& item : screen.items()) {
        if (!item.isObject())
            continue;
        const editor::Shape& shape = *item.shape;
        const QString written = editor::frameOf(shape);
        const auto again = editor::shapeOfFrame(written);
        FUZZ_REQUIRE(again && again->n == shape.n && again->text == shape.text && again->bytes == shape.bytes);
        FUZZ_REQUIRE(board::drawn({written}).display() == board::drawn({item.frame}).display());
        // The item written anew from its shape: one object again, the same.
        const editor::Item fresh = screen.objectItem(shape);
        editor::Screen alone = editor::Screen::read(editor::Screen::textOf({fresh}));
        FUZZ_REQUIRE(alone.items().size() == 1 && alone.items().front().isObject());
        FUZZ_REQUIRE(*alone.items().front().shape == shape);
    }
    return 0;
}
