// SPDX-License-Identifier: GPL-3.0-or-later
// Bitmap fonts dot for dot: a font made by hand (fuzz/corpus/bdf), the
// fonts Debian installs (xfonts-base, xfonts-terminus, xfonts-unifont),
// each read both ways (our BDF reader, FreeType's PCF) through Debian's own
// converters, and damaged fonts refused naming their line.
#include "render/fontfiles.h"
#include "render/text.h"
#include "support/hostrun.h"
#include "support/testmain.h"
#include "transfer/picturedriver.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace varnix;
using namespace varnix::render;

namespace {

const QString kHandmade = QStringLiteral(VARNIX_SOURCE_DIR "/fuzz/corpus/bdf/handmade.bdf");
const QString kMisc = QStringLiteral("/usr/share/fonts/X11/misc/");

TextChoice inFont(const QString& font, const QString& text)
{
    TextChoice choice;
    choice.font = font;
    choice.text = text;
    return choice;
}

// The picture's top left as rows of '#' (on) and '.' (off).
QStringList rowsOf(const QImage& mono, QSize size)
{
    QStringList rows;
    for (int y = 0; y < size.height(); ++y) {
        QString row;
        for (int x = 0; x < size.width(); ++x)
            row += test::dark(mono, x, y) ? u'#' : u'.';
        rows << row;
    }
    return rows;
}

// Where two fonts differ, glyph by glyph; empty when they are the same.
QString difference(const BitmapFont& a, const BitmapFont& b)
{
    if (a.ascent != b.ascent || a.descent != b.descent)
        return QStringLiteral("ascent and descent %1, %2 against %3, %4").arg(a.ascent).arg(a.descent).arg(b.ascent).arg(b.descent);
    if (a.defaultChar != b.defaultChar)
        return QStringLiteral("default glyphs differ");
    if (a.glyphs.size() != b.glyphs.size())
        return QStringLiteral("%1 glyphs against %2").arg(a.glyphs.size()).arg(b.glyphs.size());
    for (std::size_t i = 0; i < a.glyphs.size(); ++i) {
        const BitmapGlyph& g = a.glyphs[i];
        const BitmapGlyph& h = b.glyphs[i];
        if (std::tuple(g.encoding, g.advance, g.width, g.height, g.left, g.bottom)
            != std::tuple(h.encoding, h.advance, h.width, h.height, h.left, h.bottom))
            return QStringLiteral("glyph %1: %2 %3 %4 %5 %6 against glyph %7: %8 %9 %10 %11 %12")
                .arg(g.encoding).arg(g.advance).arg(g.width).arg(g.height).arg(g.left).arg(g.bottom)
                .arg(h.encoding).arg(h.advance).arg(h.width).arg(h.height).arg(h.left).arg(h.bottom);
        // Row for row, bytes for bytes: no dot lies beyond a box's width.
        const auto rows = a.bits.begin() + std::ptrdiff_t(g.bits);
        if (!std::equal(rows, rows + g.rowBytes() * g.height, b.bits.begin() + std::ptrdiff_t(h.bits)))
            return QStringLiteral("the dots of glyph %1 differ").arg(g.encoding);
    }
    return {};
}

BitmapFontRead bdfFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, file.errorString()};
    return readBdf(file.readAll(), fontFileName(path));
}

// A font of one glyph, "A", whose lines are `glyph`, after `header`.
QByteArray oneGlyph(const QByteArray& glyph, const QByteArray& header = "CHARS 1\n")
{
    return "STARTFONT 2.1\nFONTBOUNDINGBOX 3 2 0 0\n" + header + "STARTCHAR A\nENCODING 65\nDWIDTH 4 0\n" + glyph
        + "ENDFONT\n";
}

} // namespace

class BitmapFontTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void boxesOffsetsAndAdvancesAsDrawn();
    void damagedFontsAreRefusedNamingTheLine_data();
    void damagedFontsAreRefusedNamingTheLine();
    void bothReadersAgreeThroughDebiansConverters_data();
    void bothReadersAgreeThroughDebiansConverters();
    void aKnownWordIsItsGlyphsBits();
    void fontconfigNames_data();
    void fontconfigNames();
};

void BitmapFontTest::initTestCase()
{
    for (const char* file : {"6x13.pcf.gz", "ter-u16b_unicode.pcf.gz", "unifont.pcf.gz"})
        QVERIFY2(QFile::exists(kMisc + QLatin1String(file)),
                 qPrintable(QStringLiteral("%1 is missing: tools/dev.sh test installs xfonts-base, xfonts-terminus "
                                           "and xfonts-unifont")
                                .arg(QLatin1String(file))));
}

void BitmapFontTest::boxesOffsetsAndAdvancesAsDrawn()
{
    // 'j' reaches a column left of its pen and two rows below the baseline;
    // '-' and '>' advance other than their boxes, '>' past its advance; 'B'
    // is missing and no DEFAULT_CHAR is named, so a hollow box stands in.
    TextChoice choice = inFont(kHandmade, QStringLiteral("jA-B>"));
    const RenderedText drawn = renderText(choice, LcdBlock{});
    QVERIFY2(drawn.error.isEmpty(), qPrintable(drawn.error));
    QCOMPARE(drawn.extent, QSize(22, 7));
    const QStringList expected{".....#................",
                               "..#.#.#......####.##..",
                               "....###..###.#..#...##",
                               "..#.#.#......#..#.##..",
                               "..#.#.#......####.....",
                               "..#...................",
                               "##...................."};
    QCOMPARE(rowsOf(drawn.mono, drawn.extent), expected);
    QCOMPARE(test::darkPixels(drawn.mono), int(expected.join(QString()).count(u'#')));
    QCOMPARE(drawn.notes, QStringList{QStringLiteral("no glyph for 'B' in handmade")});
    QCOMPARE(textNote(drawn, LcdBlock{}, 0),
             QStringLiteral("The text is 22 x 7 pixels; the block is 128 x 64; no glyph for 'B' in handmade."));
    // The glyph of ENCODING -1 is read and reached by no character.
    QCOMPARE(bdfFile(kHandmade).font.glyphs.size(), std::size_t(5));

    // Twice as large on request, each dot 2 x 2; "Fit to text" takes the
    // true box, turned with the text; inverted, every pixel the other way.
    choice.scale = 2;
    const RenderedText twice = renderText(choice, LcdBlock{});
    QCOMPARE(twice.extent, QSize(44, 14));
    QCOMPARE(test::differingPixels(twice.mono.copy(0, 0, 44, 14), drawn.mono.copy(0, 0, 22, 7).scaled(44, 14)), 0);
    choice.scale = 1;
    choice.rotation = 90;
    const LcdBlock fitted = chosenBlock({LcdBlock{}, true, true}, choice);
    QCOMPARE(QList<int>({fitted.x1, fitted.x2, fitted.y1, fitted.y2}), QList<int>({121, 127, 0, 2}));
    QVERIFY(!renderText(choice, fitted).clipped);
    choice.rotation = 0;
    choice.inverted = true;
    QCOMPARE(test::differingPixels(renderText(choice, LcdBlock{}).mono, drawn.mono), 128 * 64);
}

void BitmapFontTest::damagedFontsAreRefusedNamingTheLine_data()
{
    QTest::addColumn<QByteArray>("bdf");
    QTest::addColumn<QString>("refusal");
    const QByteArray rows = "BBX 3 2 0 0\nBITMAP\nA0\n40\nENDCHAR\n";
    QTest::newRow("not a font") << QByteArray("hello\n") << "line 1: not a BDF font: it starts with \"hello\", not "
                                                            "STARTFONT";
    QTest::newRow("empty") << QByteArray("\n\n") << "line 1: the file is empty, not a BDF font";
    QTest::newRow("huge box") << oneGlyph("BBX 100000 2 0 0\nBITMAP\nENDCHAR\n")
                              << "line 7: BBX 100000: a size from 0 to 512";
    QTest::newRow("negative count") << oneGlyph(rows, "CHARS -3\n") << "line 3: CHARS -3: a count from 0 to 1114112";
    QTest::newRow("a number beyond any")
        << oneGlyph(rows, "STARTPROPERTIES 1\nFONT_ASCENT 99999999999999999999999\nENDPROPERTIES\nCHARS 1\n")
        << "line 4: FONT_ASCENT takes whole numbers, not \"99999999999999999999999\"";
    QTest::newRow("missing ENDCHAR") << oneGlyph("BBX 3 2 0 0\nBITMAP\nA0\n40\nSTARTCHAR B\n")
                                     << "line 11: STARTCHAR before ENDCHAR in the glyph \"A\"";
    QTest::newRow("missing ENDCHAR, no rows") << oneGlyph("BBX 3 2 0 0\n")
                                              << "line 8: ENDFONT before ENDCHAR in the glyph \"A\" begun on line 4";
    QTest::newRow("more rows than its box")
        << oneGlyph("BBX 3 2 0 0\nBITMAP\nA0\n40\nE0\nENDCHAR\n")
        << "line 11: a row beyond the 2 of its BBX (the glyph is larger than its box) in the glyph \"A\"";
    QTest::newRow("dots beyond its width")
        << oneGlyph("BBX 3 2 0 0\nBITMAP\nA0\n50\nENDCHAR\n")
        << "line 10: dots beyond the width of 3 of its BBX (the glyph is larger than its box) in the glyph \"A\"";
    QTest::newRow("fewer rows") << oneGlyph("BBX 3 2 0 0\nBITMAP\nA0\nENDCHAR\n")
                                << "line 10: ENDCHAR after 1 of the 2 rows of its BBX in the glyph \"A\"";
    QTest::newRow("no ENDFONT") << oneGlyph(rows).chopped(8) << "line 11: the file ends before ENDFONT";
    QTest::newRow("a row not hex") << oneGlyph("BBX 3 2 0 0\nBITMAP\nA0\nZZ\nENDCHAR\n")
                                   << "line 10: \"ZZ\" among the rows, which are hex digits in the glyph \"A\"";
    QTest::newRow("no encoding")
        << QByteArray("STARTFONT 2.1\nCHARS 1\nSTARTCHAR A\nDWIDTH 4 0\nBBX 0 0 0 0\nBITMAP\nENDCHAR\nENDFONT\n")
        << "line 7: ENDCHAR before ENCODING in the glyph \"A\" begun on line 3";
    // 10 MB of one line, refused when the line passes 8192 characters.
    QTest::newRow("10 MB of one line") << "STARTFONT 2.1\nCOMMENT " + QByteArray(10'000'000, 'x') + "\nENDFONT\n"
                                       << "line 2: longer than 8192 characters, which no line of a BDF font is";
}

void BitmapFontTest::damagedFontsAreRefusedNamingTheLine()
{
    QFETCH(QByteArray, bdf);
    QFETCH(QString, refusal);
    const BitmapFontRead read = readBdf(bdf, QStringLiteral("bad"));
    QCOMPARE(read.error, refusal);
    QVERIFY(read.font.glyphs.empty() && read.font.bits.empty());
}

void BitmapFontTest::bothReadersAgreeThroughDebiansConverters_data()
{
    QTest::addColumn<QString>("source"); // a BDF made PCF by bdftopcf, or a PCF made BDF by pcf2bdf
    QTest::newRow("made by hand, through bdftopcf") << kHandmade;
    QTest::newRow("misc-fixed 6x13, through pcf2bdf") << kMisc + "6x13.pcf.gz";
    QTest::newRow("Terminus bold 16, through pcf2bdf") << kMisc + "ter-u16b_unicode.pcf.gz";
    QTest::newRow("Unifont, 57,000 glyphs, through pcf2bdf") << kMisc + "unifont.pcf.gz";
}

void BitmapFontTest::bothReadersAgreeThroughDebiansConverters()
{
    QFETCH(QString, source);
    const bool bdf = source.endsWith(QLatin1String(".bdf"));
    const QString tool = QStandardPaths::findExecutable(QLatin1String(bdf ? "bdftopcf" : "pcf2bdf"));
    QVERIFY2(!tool.isEmpty(), "bdftopcf (xfonts-utils) or pcf2bdf is not installed");
    QTemporaryDir dir;
    const QString made = dir.filePath(QLatin1String(bdf ? "made.pcf" : "made.bdf"));
    // pcf2bdf reads no gzip: FreeType's reader of ours unpacks it for it.
    QString input = source;
    if (!bdf) {
        input = dir.filePath(QStringLiteral("in.pcf"));
        QVERIFY(QFile::copy(source, input + ".gz"));
        QCOMPARE(test::runToEnd(QStringLiteral("gzip"), {"-d", input + ".gz"}).code, 0);
    }
    const test::Ended converted = test::runToEnd(tool, {"-o", made, input});
    QVERIFY2(converted.code == 0, converted.err.constData());

    const LoadedFont freeType = loadBitmapFont(bdf ? made : source);
    QVERIFY2(freeType.font, qPrintable(freeType.error));
    const BitmapFontRead ours = bdfFile(bdf ? source : made);
    QVERIFY2(ours.error.isEmpty(), qPrintable(ours.error));
    QVERIFY(ours.font.glyphs.size() >= 5);
    QCOMPARE(difference(ours.font, *freeType.font), QString());
}

// "Hello, board" in misc-fixed 6x13, a cell of 6 x 13 each, is the rows
// of hex that the BDF writes for each of its letters, one after another.
void BitmapFontTest::aKnownWordIsItsGlyphsBits()
{
    QTemporaryDir dir;
    const QString bdf = dir.filePath(QStringLiteral("6x13.bdf"));
    QVERIFY(QFile::copy(kMisc + "6x13.pcf.gz", bdf + ".pcf.gz"));
    QCOMPARE(test::runToEnd(QStringLiteral("gzip"), {"-d", bdf + ".pcf.gz"}).code, 0);
    QCOMPARE(test::runToEnd(QStringLiteral("pcf2bdf"), {"-o", bdf, bdf + ".pcf"}).code, 0);
    QFile file(bdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(file.readAll());

    const QString word = QStringLiteral("Hello, board");
    QImage expected = whiteBlock({128, 64});
    for (qsizetype i = 0; i < word.size(); ++i) {
        const qsizetype at = text.indexOf(QStringLiteral("\nENCODING %1\n").arg(word[i].unicode()));
        QVERIFY(at > 0);
        const QStringList rows = text.mid(at).section(QStringLiteral("BITMAP\n"), 1).section(QStringLiteral("ENDCHAR"), 0, 0).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 13);
        for (int y = 0; y < 13; ++y)
            for (int x = 0; x < 6; ++x)
                if (rows[y].toUInt(nullptr, 16) & (0x80 >> x))
                    expected.setPixel(int(i) * 6 + x, y, 1);
    }
    // By its file, and by the name fontconfig knows it by.
    for (const QString& font : {kMisc + "6x13.pcf.gz", QStringLiteral("6x13"), bdf}) {
        const RenderedText drawn = renderText(inFont(font, word), LcdBlock{});
        QVERIFY2(drawn.error.isEmpty(), qPrintable(drawn.error));
        QCOMPARE(drawn.extent, QSize(72, 13));
        QCOMPARE(test::differingPixels(drawn.mono, expected), 0);
    }
    // A character it lacks shows its default glyph (DEFAULT_CHAR 0) and is
    // named.
    const RenderedText lacking = renderText(inFont(QStringLiteral("6x13"), QStringLiteral("\u4e2d")), LcdBlock{});
    QCOMPARE(lacking.notes, QStringList{QStringLiteral("no glyph for '\u4e2d' in 6x13")});
    QCOMPARE(test::differingPixels(lacking.mono, renderText(inFont(QStringLiteral("6x13"), QString(QChar(0))), LcdBlock{}).mono), 0);
    QVERIFY(test::darkPixels(lacking.mono) > 0);
}

void BitmapFontTest::fontconfigNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("notes");
    QTest::newRow("a file's name") << "6x13" << 8 << false << "6x13" << QStringList();
    QTest::newRow("a pattern") << "Fixed:style=SemiCondensed:pixelsize=13" << 8 << false << "6x13" << QStringList();
    QTest::newRow("family, size and bold asked apart") << "terminus" << 16 << true << "ter-u16b_unicode"
                                                       << QStringList();
    QTest::newRow("bold in the pattern") << "Terminus:pixelsize=20:bold" << 8 << false << "ter-u20b_unicode"
                                         << QStringList();
    QTest::newRow("no face of that size: the nearer, the smaller of two")
        << "Terminus" << 15 << false << "ter-u14n_unicode"
        << QStringList{"Terminus has no face of 15 pixels: its face of 14 is drawn"};
    QTest::newRow("no bold face") << "Unifont" << 16 << true << "unifont"
                                  << QStringList{"Unifont has no bold face of 16 pixels: its sans-serif one is drawn"};
    QTest::newRow("not a bitmap family") << "DejaVu Sans" << 16 << false << QString() << QStringList();
}

void BitmapFontTest::fontconfigNames()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(bool, bold);
    QFETCH(QString, file);
    QFETCH(QStringList, notes);
    const std::optional<FoundFace> found = findBitmapFace(name, size, bold, false);
    QCOMPARE(found ? fontFileName(found->file) : QString(), file);
    QCOMPARE(found ? found->notes : QStringList(), notes);
}

VARNIX_TEST_MAIN(BitmapFontTest)
#include "tst_bitmapfont.moc"
