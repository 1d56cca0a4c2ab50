// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/contentcommand.h"

#include "render/animation.h"
#include "script/script.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextStream>

#include <optional>

namespace varnix::content {

namespace {

constexpr const char* kValued[] = {"--text", "--picture", "--font", "--size", "--align", "--rotate", "--dither",
                                   "--level", "--fit", "--block", "--script", "--spacing", "--flip", "--baud",
                                   "--font-scale"};
constexpr const char* kSwitches[] = {"--bold", "--italic", "--invert"};

std::optional<int> number(const QString& text, int lowest, int highest)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

template <typename T>
std::optional<T> named(const QString& value, std::initializer_list<std::pair<const char*, T>> names)
{
    for (const auto& [name, item] : names)
        if (value.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return item;
    return std::nullopt;
}

QString alignment(const QString& value, ContentRequest& request)
{
    for (const QString& word : value.split(u',')) {
        if (const auto across = named<render::Across>(word, {{"left", render::Across::Left},
                                                             {"centre", render::Across::Centre},
                                                             {"center", render::Across::Centre},
                                                             {"right", render::Across::Right}}))
            request.text.across = *across;
        else if (const auto down = named<render::Down>(
                     word, {{"top", render::Down::Top}, {"middle", render::Down::Middle}, {"bottom", render::Down::Bottom}}))
            request.text.down = *down;
        else
            return QStringLiteral("--align takes left, centre or right and top, middle or bottom, such as "
                                  "centre,middle, not \"%1\"")
                .arg(value);
    }
    return {};
}

// X1,X2,Y1,Y2 or whole, either followed by fit or fit alone: the choices of
// the LCD page's dialogs.
QString blockOption(const QString& value, ContentRequest& request)
{
    QStringList parts = value.split(u',');
    for (QString& part : parts)
        part = part.trimmed().toLower();
    render::BlockChoice choice;
    choice.fitToText = parts.removeAll(QStringLiteral("fit")) == 1;
    choice.wholeDisplay = parts.removeAll(QStringLiteral("whole")) == 1;
    // The words alone stand for the whole display; otherwise four corners.
    std::optional<render::LcdBlock> place;
    if (parts.isEmpty() && (choice.wholeDisplay || choice.fitToText)) {
        place = render::LcdBlock{};
    } else if (parts.size() == 4 && !choice.wholeDisplay) {
        std::array<std::int64_t, 4> corners{};
        bool ok = true;
        for (int i = 0; ok && i < 4; ++i)
            corners[i] = parts[i].toLongLong(&ok);
        place = ok ? render::LcdBlock::of(corners) : std::nullopt;
    }
    if (!place)
        return QStringLiteral("--block takes X1,X2,Y1,Y2 (columns from 0 to %1 and rows from 0 to %2, each pair in "
                              "order) or whole, either followed by fit for the smallest block the text needs there, "
                              "not \"%3\"")
            .arg(render::kLcdColumns - 1)
            .arg(render::kLcdRows - 1)
            .arg(value);
    choice.place = *place;
    request.block = choice;
    return {};
}

// The frames of the picture: a folder stands for its PNG files.
render::SourceFrames frames(const QString& source)
{
    const QFileInfo info(source);
    if (!info.isDir())
        return render::readFrames({source});
    QStringList paths;
    const QDir dir(source);
    for (const QString& name : dir.entryList({QStringLiteral("*.png"), QStringLiteral("*.PNG")}, QDir::Files))
        paths << dir.filePath(name);
    if (paths.isEmpty())
        return {{}, QStringLiteral("%1 holds no PNG files.").arg(QDir::toNativeSeparators(source))};
    return render::readFrames(paths);
}

int write(const QString& path, const QString& error, QTextStream& out, QTextStream& err, const QString& said)
{
    if (!error.isEmpty()) {
        err << "varnix: " << error << Qt::endl;
        return 2;
    }
    out << path << ": " << said << Qt::endl;
    return 0;
}

} // namespace

bool isOption(const QString& name)
{
    return takesValue(name) || std::any_of(std::begin(kSwitches), std::end(kSwitches), [&](const char* s) {
               return name == QLatin1String(s);
           });
}

bool takesValue(const QString& name)
{
    return std::any_of(std::begin(kValued), std::end(kValued), [&](const char* v) { return name == QLatin1String(v); });
}

QString readOption(const QString& name, const QString& value, ContentRequest& request)
{
    const auto is = [&name](const char* option) { return name == QLatin1String(option); };
    if (!is("--text") && !is("--picture"))
        request.seen << name;
    if (is("--text") || is("--picture")) {
        request.isText = is("--text");
        request.source = value;
        if (!request.isText && value.isEmpty())
            return QStringLiteral("--picture needs the picture file");
    } else if (is("--font")) {
        request.text.font = value;
    } else if (is("--size")) {
        const auto size = number(value, 1, 256);
        if (!size)
            return QStringLiteral("--size takes pixels from 1 to 256, not \"%1\"").arg(value);
        request.text.pixelSize = *size;
    } else if (is("--font-scale")) {
        const auto scale = number(value, 1, render::kLargestFontScale);
        if (!scale)
            return QStringLiteral("--font-scale takes a whole number from 1 to %1, not \"%2\"")
                .arg(render::kLargestFontScale)
                .arg(value);
        request.text.scale = *scale;
    } else if (is("--spacing")) {
        const auto spacing = number(value, -64, 64);
        if (!spacing)
            return QStringLiteral("--spacing takes pixels from -64 to 64, not \"%1\"").arg(value);
        request.text.lineSpacing = *spacing;
    } else if (is("--bold")) {
        request.text.bold = true;
    } else if (is("--italic")) {
        request.text.italic = true;
    } else if (is("--align")) {
        return alignment(value, request);
    } else if (is("--rotate")) {
        const auto rotation = number(value, 0, 270);
        if (!rotation || *rotation % 90)
            return QStringLiteral("--rotate takes 0, 90, 180 or 270, not \"%1\"").arg(value);
        request.text.rotation = request.picture.rotation = *rotation;
    } else if (is("--flip")) {
        if (value == QLatin1String("across"))
            request.picture.flipHorizontal = true;
        else if (value == QLatin1String("down"))
            request.picture.flipVertical = true;
        else
            return QStringLiteral("--flip takes across or down, not \"%1\"").arg(value);
    } else if (is("--invert")) {
        request.text.inverted = request.picture.mono.inverted = true;
    } else if (is("--dither")) {
        const auto dither = named<render::Dither>(value, {{"threshold", render::Dither::Threshold},
                                                          {"diffusion", render::Dither::Diffuse},
                                                          {"atkinson", render::Dither::Atkinson},
                                                          {"ordered", render::Dither::Ordered}});
        if (!dither)
            return QStringLiteral("--dither takes threshold, diffusion, atkinson or ordered, not \"%1\"").arg(value);
        request.picture.mono.dither = *dither;
    } else if (is("--level")) {
        const auto level = number(value, 0, 255);
        if (!level)
            return QStringLiteral("--level takes a grey from 0 to 255, not \"%1\"").arg(value);
        request.picture.mono.level = *level;
    } else if (is("--fit")) {
        const auto fit = named<render::Fit>(
            value, {{"fit", render::Fit::Fit}, {"fill", render::Fit::Fill}, {"1:1", render::Fit::Actual}});
        if (!fit)
            return QStringLiteral("--fit takes fit, fill or 1:1, not \"%1\"").arg(value);
        request.picture.fit = *fit;
    } else if (is("--block")) {
        return blockOption(value, request);
    } else if (is("--script")) {
        if (value.isEmpty())
            return QStringLiteral("--script needs the script file to write");
        request.script = value;
    } else if (is("--baud")) {
        const auto baud = number(value, 300, 1'000'000);
        if (!baud)
            return QStringLiteral("--baud takes a baud rate from 300 to 1000000, not \"%1\"").arg(value);
        request.baudRate = *baud;
    }
    return {};
}

int make(const ContentRequest& request, const QString& png, int scale, const ExportChoice& exportChoice, int argc,
         char* argv[])
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    // Fonts need a QGuiApplication, and it a platform: offscreen draws
    // without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QList<QImage> monos;
    QList<int> delays;
    QString title;
    render::LcdBlock block = render::chosenBlock(request.block);
    if (request.isText) {
        render::TextChoice choice = request.text;
        choice.text = request.source;
        block = render::chosenBlock(request.block, choice);
        const render::RenderedText rendered = render::renderText(choice, block);
        if (!rendered.error.isEmpty()) {
            err << "varnix: " << rendered.error << Qt::endl;
            return 2;
        }
        if (rendered.clipped)
            err << "varnix: " << render::textNote(rendered, block, choice.rotation) << Qt::endl;
        else
            for (const QString& note : rendered.notes)
                err << "varnix: " << note << Qt::endl;
        monos << rendered.mono;
        title = QStringLiteral("Text");
    } else {
        const render::SourceFrames read = frames(request.source);
        if (!read.error.isEmpty()) {
            err << "varnix: " << read.error << Qt::endl;
            return 2;
        }
        for (const render::SourceFrame& frame : read.frames) {
            monos << render::convertPicture(frame.image, block, request.picture);
            delays << frame.delayMs;
        }
        title = QFileInfo(request.source).fileName();
    }

    int code = 0;
    if (!png.isEmpty()) {
        const QImage scaled = monos.constFirst().scaled(monos.constFirst().size() * scale);
        code = std::max(code, write(png, render::savePicture(scaled, png, false), out, err,
                                    QStringLiteral("%1 x %2").arg(scaled.width()).arg(scaled.height())));
    }
    // The script of the block, or of the animation, as --script writes it.
    QString scriptText;
    QString said = QStringLiteral("1 frame, %1").arg(render::blockPlace(block));
    if (monos.size() == 1) {
        scriptText = render::stillScript(monos.constFirst(), block, title);
    } else {
        const render::AnimationScript animation =
            render::animationScript(monos, delays, block, request.baudRate, title);
        scriptText = animation.text;
        said = animation.summary(request.baudRate);
    }
    if (!request.script.isEmpty())
        code = std::max(code, write(request.script, render::saveScript(scriptText, request.script), out, err, said));
    if (exportChoice.asked) {
        hostcode::Source source;
        source.script = std::get<script::Script>(script::readScript(scriptText.toUtf8()));
        source.madeFrom = request.isText ? QStringLiteral("the text \"%1\"").arg(request.source)
                                         : QStringLiteral("the picture %1").arg(title);
        const QString name = request.isText ? QStringLiteral("text") : QFileInfo(request.source).completeBaseName();
        code = std::max(code, exporting::write(std::move(source), exportChoice, name, out, err));
    }
    return code;
}

} // namespace varnix::content
