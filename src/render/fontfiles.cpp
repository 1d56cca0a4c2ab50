// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/fontfiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BDF_H
#include FT_GZIP_H
#include FT_SYSTEM_H

#include <algorithm>
#include <cstdlib>
#include <tuple>

namespace varnix::render {

namespace {

QString shownName(const QString& path)
{
    return QFileInfo(path).fileName();
}

// FreeType's gzip reader: the whole file, up to kLargestFontBytes.
struct Unzipped {
    QByteArray bytes;
    QString error;
};

void* ftAlloc(FT_Memory, long size)
{
    return std::malloc(std::size_t(size));
}
void ftFree(FT_Memory, void* block)
{
    std::free(block);
}
void* ftRealloc(FT_Memory, long, long size, void* block)
{
    return std::realloc(block, std::size_t(size));
}

Unzipped gunzipped(const QByteArray& gz, const QString& path)
{
    // The size that gzip keeps at its end (modulo 4 GB): enough room, or a
    // sign of a file too large or damaged, which the inflating then finds.
    const auto* end = reinterpret_cast<const unsigned char*>(gz.constData() + gz.size());
    const quint64 size = gz.size() < 18 ? 0 : quint64(end[-4]) | quint64(end[-3]) << 8 | quint64(end[-2]) << 16
            | quint64(end[-1]) << 24;
    if (size > quint64(kLargestFontBytes))
        return {{}, QStringLiteral("%1 unpacks to more than %2 MB, which no bitmap font does.")
                        .arg(shownName(path))
                        .arg(kLargestFontBytes >> 20)};
    QByteArray out(qsizetype(std::max<quint64>(size, 1)), Qt::Uninitialized);
    FT_MemoryRec_ memory{nullptr, ftAlloc, ftFree, ftRealloc};
    FT_ULong length = FT_ULong(out.size());
    if (FT_Gzip_Uncompress(&memory, reinterpret_cast<FT_Byte*>(out.data()), &length,
                           reinterpret_cast<const FT_Byte*>(gz.constData()), FT_ULong(gz.size()))
        != 0)
        return {{}, QStringLiteral("%1 is damaged: its gzip data does not unpack.").arg(shownName(path))};
    out.truncate(qsizetype(length));
    return {out, {}};
}

// The DEFAULT_CHAR of a PCF: FreeType copies its glyph to its glyph 0
// (the first glyph where it is not valid) and does not say which character
// it is, so it is read from the file's table of encodings.
std::optional<std::uint32_t> pcfDefaultChar(const QByteArray& pcf)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(pcf.constData());
    const quint64 size = quint64(pcf.size());
    const auto number = [&](quint64 at, int width, bool msbFirst) -> std::optional<quint32> {
        if (at + quint64(width) > size)
            return std::nullopt;
        quint32 value = 0;
        for (int i = 0; i < width; ++i)
            value |= quint32(bytes[at + quint64(i)]) << (8 * (msbFirst ? width - 1 - i : i));
        return value;
    };
    constexpr quint32 kEncodings = 1u << 5;
    constexpr quint32 kMsbFirst = 1u << 2;
    if (!pcf.startsWith("\1fcp"))
        return std::nullopt;
    const quint32 tables = number(4, 4, false).value_or(0);
    for (quint64 i = 0; i < tables && 8 + 16 * i + 16 <= size; ++i) {
        const quint64 entry = 8 + 16 * i;
        if (number(entry, 4, false) != kEncodings)
            continue;
        const quint64 at = number(entry + 12, 4, false).value_or(quint32(size));
        const std::optional<quint32> format = number(at, 4, false);
        if (!format)
            return std::nullopt;
        const auto defaultChar = number(at + 4 + 4 * 2, 2, *format & kMsbFirst);
        return defaultChar ? std::optional<std::uint32_t>(*defaultChar) : std::nullopt;
    }
    return std::nullopt;
}

// PCF, and the other bitmap formats FreeType reads, into the same form as
// a BDF: each glyph's box, offsets, advance and dots as the file has them.
LoadedFont readWithFreeType(const QByteArray& bytes, const QString& path)
{
    const QString name = shownName(path);
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        return {nullptr, QStringLiteral("FreeType does not start, so %1 cannot be read.").arg(name)};
    const std::unique_ptr<FT_LibraryRec_, decltype(&FT_Done_FreeType)> ownLibrary(library, FT_Done_FreeType);
    FT_Face face = nullptr;
    if (FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(bytes.constData()), FT_Long(bytes.size()), 0,
                           &face)
        != 0)
        return {nullptr, QStringLiteral("%1 is not a bitmap font: neither BDF nor PCF, nor another that FreeType "
                                        "reads.")
                             .arg(name)};
    const std::unique_ptr<FT_FaceRec_, decltype(&FT_Done_Face)> ownFace(face, FT_Done_Face);
    if (FT_IS_SCALABLE(face) || face->num_fixed_sizes < 1 || FT_Select_Size(face, 0) != 0)
        return {nullptr, QStringLiteral("%1 is an outline font, not a bitmap font: choose its family among the "
                                        "installed fonts.")
                             .arg(name)};

    auto font = std::make_shared<BitmapFont>();
    font->name = fontFileName(path);
    const char* encoding = nullptr;
    const char* registry = nullptr;
    if (FT_Get_BDF_Charset_ID(face, &encoding, &registry) == 0 && registry)
        font->charset = QString::fromLatin1(registry) + (encoding && *encoding ? QStringLiteral("-%1").arg(QString::fromLatin1(encoding)) : QString());
    else if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) == 0)
        font->charset = QStringLiteral("ISO10646-1");
    // The font's own codes where it has no Unicode map: the charset says
    // which characters they are.
    if (!face->charmap && face->num_charmaps > 0)
        FT_Set_Charmap(face, face->charmaps[0]);
    // A PCF's FONT_ASCENT and FONT_DESCENT, which bdftopcf keeps as these.
    const int ascent = int(face->size->metrics.ascender >> 6);
    const int descent = int(-(face->size->metrics.descender >> 6));
    if (ascent < 0 || descent < 0 || ascent > kLargestGlyph || descent > kLargestGlyph)
        return {nullptr, QStringLiteral("%1 has an ascent of %2 and a descent of %3: each is from 0 to %4.")
                             .arg(name)
                             .arg(ascent)
                             .arg(descent)
                             .arg(kLargestGlyph)};
    font->ascent = ascent;
    font->descent = descent;

    FT_UInt index = 0;
    for (FT_ULong code = FT_Get_First_Char(face, &index); index != 0; code = FT_Get_Next_Char(face, code, &index)) {
        if (code > kLastCharacter)
            continue;
        if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_MONOCHROME | FT_LOAD_TARGET_MONO) != 0
            || face->glyph->format != FT_GLYPH_FORMAT_BITMAP)
            return {nullptr, QStringLiteral("%1: the glyph of character %2 does not read.").arg(name).arg(code)};
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        BitmapGlyph glyph{std::uint32_t(code), int(slot->advance.x >> 6), int(bitmap.width), int(bitmap.rows),
                          slot->bitmap_left, slot->bitmap_top - int(bitmap.rows), font->bits.size()};
        if (glyph.width > kLargestGlyph || glyph.height > kLargestGlyph || std::abs(glyph.left) > kLargestGlyph
            || std::abs(glyph.bottom) > kLargestGlyph || std::abs(glyph.advance) > kLargestGlyph)
            return {nullptr, QStringLiteral("%1: the glyph of character %2 is %3 x %4 pixels at %5, %6: a glyph is "
                                            "at most %7 pixels each way.")
                                 .arg(name)
                                 .arg(code)
                                 .arg(glyph.width)
                                 .arg(glyph.height)
                                 .arg(glyph.left)
                                 .arg(glyph.bottom)
                                 .arg(kLargestGlyph)};
        if (glyph.width > 0 && glyph.height > 0 && bitmap.pixel_mode != FT_PIXEL_MODE_MONO)
            return {nullptr, QStringLiteral("%1 has grey dots, not black and white ones.").arg(name)};
        // Many glyphs of a PCF may share one bitmap: their dots are counted
        // here, each time, against the bound.
        const std::size_t rowBytes = std::size_t(glyph.rowBytes());
        if (font->bits.size() + rowBytes * std::size_t(glyph.height) > std::size_t(kLargestFontBytes))
            return {nullptr, QStringLiteral("%1: the glyphs hold more than %2 MB of dots.")
                                 .arg(name)
                                 .arg(kLargestFontBytes >> 20)};
        for (int row = 0; row < glyph.height; ++row) {
            const unsigned char* from = bitmap.pitch >= 0 ? bitmap.buffer + std::ptrdiff_t(row) * bitmap.pitch
                                                          : bitmap.buffer
                                                                + std::ptrdiff_t(glyph.height - 1 - row) * -bitmap.pitch;
            font->bits.insert(font->bits.end(), from, from + rowBytes);
        }
        font->glyphs.push_back(glyph);
    }
    font->finish();
    if (const auto fallback = pcfDefaultChar(bytes); fallback && font->byEncoding(*fallback))
        font->defaultChar = *fallback;
    return {font, {}};
}

LoadedFont readFontFile(const QString& path)
{
    const QString name = shownName(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {nullptr, QStringLiteral("%1 cannot be read: %2.").arg(QDir::toNativeSeparators(path), file.errorString())};
    if (file.size() > kLargestFontBytes)
        return {nullptr, QStringLiteral("%1 is larger than %2 MB, which no bitmap font is.")
                             .arg(name)
                             .arg(kLargestFontBytes >> 20)};
    QByteArray bytes = file.read(kLargestFontBytes + 1);
    if (bytes.startsWith("\x1f\x8b")) {
        Unzipped unzipped = gunzipped(bytes, path);
        if (!unzipped.error.isEmpty())
            return {nullptr, unzipped.error};
        bytes = std::move(unzipped.bytes);
    }
    if (!bytes.startsWith("STARTFONT"))
        return readWithFreeType(bytes, path);
    BitmapFontRead read = readBdf(bytes, fontFileName(path));
    if (!read.error.isEmpty())
        return {nullptr, QStringLiteral("%1, %2.").arg(name, read.error)};
    return {std::make_shared<const BitmapFont>(std::move(read.font)), {}};
}

// Fonts read, the newest last, guarded by their mutex: the dialog's
// thread and any other may read fonts.
struct Kept {
    QString path;
    qint64 size;
    QDateTime changed;
    LoadedFont loaded;
};
constexpr int kFontsKept = 8;
QMutex keptMutex;
QList<Kept> kept;

} // namespace

LoadedFont loadBitmapFont(const QString& path)
{
    const QFileInfo info(path);
    const QString absolute = info.absoluteFilePath();
    const qint64 size = info.size();
    const QDateTime changed = info.lastModified();
    {
        const QMutexLocker lock(&keptMutex);
        for (qsizetype i = 0; i < kept.size(); ++i)
            if (kept[i].path == absolute && kept[i].size == size && kept[i].changed == changed) {
                kept.move(i, kept.size() - 1);
                return kept.constLast().loaded;
            }
    }
    LoadedFont loaded = readFontFile(path);
    const QMutexLocker lock(&keptMutex);
    kept.append({absolute, size, changed, loaded});
    if (kept.size() > kFontsKept)
        kept.removeFirst();
    return loaded;
}

bool isFontFile(const QString& name)
{
    static const char* const endings[] = {".bdf", ".pcf", ".gz", ".z", ".otb"};
    return name.contains(u'/')
        || std::any_of(std::begin(endings), std::end(endings),
                       [&](const char* ending) { return name.endsWith(QLatin1String(ending), Qt::CaseInsensitive); })
        || QFileInfo(name).isFile();
}

QString fontFileName(const QString& path)
{
    QString name = QFileInfo(path).fileName();
    for (const char* ending : {".gz", ".Z", ".bdf", ".pcf", ".otb"})
        if (name.endsWith(QLatin1String(ending), Qt::CaseInsensitive) && name.size() > qsizetype(std::strlen(ending)))
            name.chop(qsizetype(std::strlen(ending)));
    return name;
}

QString bitmapFontFilter()
{
    return QStringLiteral("Bitmap fonts (*.bdf *.pcf *.pcf.gz *.bdf.gz *.otb);;All files (*)");
}

QString BitmapFace::label() const
{
    return QStringLiteral("%1 %2, %3 pixels (%4)").arg(family, style).arg(pixelSize).arg(fontFileName(file));
}

namespace {

// A fontconfig of the system's font folders and caches without its rules,
// so that bitmap fonts are not turned away; made once, then only read,
// which fontconfig allows from any thread.
FcConfig* bitmapConfig()
{
    static FcConfig* const config = [] {
        FcConfig* system = FcConfigGetCurrent();
        FcConfig* made = FcConfigCreate();
        QString xml = QStringLiteral("<fontconfig>");
        if (FcStrList* caches = FcConfigGetCacheDirs(system)) {
            while (FcChar8* dir = FcStrListNext(caches))
                xml += QStringLiteral("<cachedir>%1</cachedir>")
                           .arg(QString::fromUtf8(reinterpret_cast<const char*>(dir)).toHtmlEscaped());
            FcStrListDone(caches);
        }
        xml += QStringLiteral("</fontconfig>");
        FcConfigParseAndLoadFromMemory(made, reinterpret_cast<const FcChar8*>(xml.toUtf8().constData()), FcFalse);
        if (FcStrList* dirs = FcConfigGetFontDirs(system)) {
            while (FcChar8* dir = FcStrListNext(dirs))
                FcConfigAppFontAddDir(made, dir);
            FcStrListDone(dirs);
        }
        return made;
    }();
    return config;
}

QString fcString(FcPattern* pattern, const char* object)
{
    FcChar8* value = nullptr;
    return FcPatternGetString(pattern, object, 0, &value) == FcResultMatch
        ? QString::fromUtf8(reinterpret_cast<const char*>(value))
        : QString();
}

bool plainStyle(const QString& style)
{
    static const QStringList plain{QStringLiteral("Regular"), QStringLiteral("Bold"), QStringLiteral("Italic"),
                                   QStringLiteral("Oblique"), QStringLiteral("Medium"), QStringLiteral("Book"),
                                   QStringLiteral("Normal"), QStringLiteral("Roman")};
    const QStringList words = style.split(u' ', Qt::SkipEmptyParts);
    return std::all_of(words.begin(), words.end(), [](const QString& w) { return plain.contains(w, Qt::CaseInsensitive); });
}

} // namespace

QList<BitmapFace> bitmapFaces()
{
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddBool(pattern, FC_SCALABLE, FcFalse);
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_PIXEL_SIZE, FC_FILE, FC_WEIGHT, FC_SLANT,
                                            FC_WIDTH, FC_CHARSET, nullptr);
    FcFontSet* set = FcFontList(bitmapConfig(), pattern, objects);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    QList<BitmapFace> faces;
    for (int i = 0; set && i < set->nfont; ++i) {
        FcPattern* font = set->fonts[i];
        BitmapFace face;
        face.family = fcString(font, FC_FAMILY);
        face.style = fcString(font, FC_STYLE);
        face.file = fcString(font, FC_FILE);
        double pixels = 0;
        int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN, width = FC_WIDTH_NORMAL;
        FcPatternGetDouble(font, FC_PIXEL_SIZE, 0, &pixels);
        FcPatternGetInteger(font, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(font, FC_SLANT, 0, &slant);
        FcPatternGetInteger(font, FC_WIDTH, 0, &width);
        FcCharSet* characters = nullptr;
        if (FcPatternGetCharSet(font, FC_CHARSET, 0, &characters) == FcResultMatch)
            face.characters = int(FcCharSetCount(characters));
        face.pixelSize = int(pixels + 0.5);
        face.bold = weight >= FC_WEIGHT_DEMIBOLD;
        face.italic = slant != FC_SLANT_ROMAN;
        face.plain = width == FC_WIDTH_NORMAL && plainStyle(face.style);
        if (!face.family.isEmpty() && !face.file.isEmpty())
            faces << face;
    }
    if (set)
        FcFontSetDestroy(set);
    std::sort(faces.begin(), faces.end(), [](const BitmapFace& a, const BitmapFace& b) {
        return std::tuple(a.family.toLower(), a.pixelSize, a.style, a.file)
            < std::tuple(b.family.toLower(), b.pixelSize, b.style, b.file);
    });
    return faces;
}

std::optional<FoundFace> findBitmapFace(const QString& name, int pixelSize, bool bold, bool italic)
{
    // A file's name as it is written, so that "unifont" is a file and
    // "Unifont" a family.
    const QList<BitmapFace> faces = bitmapFaces();
    for (const BitmapFace& face : faces)
        if (fontFileName(face.file) == name)
            return FoundFace{face.file, {}};

    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(name.toUtf8().constData()));
    if (!pattern)
        return std::nullopt;
    const QString family = fcString(pattern, FC_FAMILY);
    const QString style = fcString(pattern, FC_STYLE);
    double pixels = 0;
    int weight = 0, slant = 0;
    if (FcPatternGetDouble(pattern, FC_PIXEL_SIZE, 0, &pixels) == FcResultMatch)
        pixelSize = int(pixels + 0.5);
    if (FcPatternGetInteger(pattern, FC_WEIGHT, 0, &weight) == FcResultMatch)
        bold = weight >= FC_WEIGHT_DEMIBOLD;
    if (FcPatternGetInteger(pattern, FC_SLANT, 0, &slant) == FcResultMatch)
        italic = slant != FC_SLANT_ROMAN;
    FcPatternDestroy(pattern);

    // The nearest size first (the smaller of two as near), then the weight
    // and slant asked, a plain style, the most characters.
    const auto rank = [&](const BitmapFace& f) {
        return std::tuple(std::abs(f.pixelSize - pixelSize), f.pixelSize > pixelSize, f.bold != bold,
                          f.italic != italic, !f.plain, -f.characters, f.file.size(), f.file);
    };
    const BitmapFace* best = nullptr;
    for (const BitmapFace& face : faces)
        if (!family.isEmpty() && face.family.compare(family, Qt::CaseInsensitive) == 0
            && (style.isEmpty() || face.style.compare(style, Qt::CaseInsensitive) == 0)
            && (!best || rank(face) < rank(*best)))
            best = &face;
    if (!best)
        return std::nullopt;
    FoundFace found{best->file, {}};
    if (best->pixelSize != pixelSize)
        found.notes << QStringLiteral("%1 has no face of %2 pixels: its face of %3 is drawn")
                           .arg(best->family)
                           .arg(pixelSize)
                           .arg(best->pixelSize);
    if (best->bold != bold || best->italic != italic)
        found.notes << QStringLiteral("%1 has no %2 face of %3 pixels: its %4 one is drawn")
                           .arg(best->family, bold && italic ? QStringLiteral("bold italic")
                                                  : bold     ? QStringLiteral("bold")
                                                  : italic   ? QStringLiteral("italic")
                                                             : QStringLiteral("regular"))
                           .arg(best->pixelSize)
                           .arg(best->style.toLower());
    return found;
}

} // namespace varnix::render
