// SPDX-License-Identifier: GPL-3.0-or-later
// What making a screen costs: a full-display text block in an installed font,
// in the board's own and in a bitmap font, a 1920 x 1080 photo-like picture placed and
// dithered each way, and an animation script's time on the line against one
// that writes every frame whole.
// Usage: bench_display_content [repetitions, default 20]
#include "render/animation.h"
#include "render/text.h"

#include <QElapsedTimer>
#include <QFile>

#include "benchutil.h"

#include <QGuiApplication>
#include <QPainter>

#include <cstdio>

using namespace varnix::render;

namespace {

// Soft gradients and circles: a picture that every dither has work on.
QImage photo(QSize size)
{
    QImage picture(size, QImage::Format_RGB32);
    QPainter painter(&picture);
    QLinearGradient gradient(0, 0, size.width(), size.height());
    gradient.setColorAt(0, Qt::black);
    gradient.setColorAt(1, Qt::white);
    painter.fillRect(picture.rect(), gradient);
    painter.setPen(QPen(Qt::darkGray, 20));
    for (int r = 100; r < size.height(); r += 150)
        painter.drawEllipse(QPoint(size.width() / 2, size.height() / 2), r, r);
    return picture;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const LcdBlock whole{};

    std::printf("Rendering (median of %d, wall time; aim under 20 ms each)\n", repetitions);
    TextChoice text;
    text.text = QStringLiteral("Line one 12.5 V\nLine two 47 %\nLine three OK\nLine four 08:15");
    text.font = QStringLiteral("DejaVu Sans");
    text.pixelSize = 14;
    std::printf("  text, 4 lines DejaVu Sans 14 px, whole display  %7.2f ms\n",
                medianMs(repetitions, [&] { renderText(text, whole); }));
    text.font = boardFontName();
    text.pixelSize = 8;
    text.text = QStringLiteral("ABCDEFGHIJKLMNOPQRSTU\n").repeated(8).chopped(1);
    std::printf("  text, 8 lines board font, whole display         %7.2f ms\n",
                medianMs(repetitions, [&] { renderText(text, whole); }));
    // Debian's misc-fixed 6x13 (xfonts-base): 21 letters of 6 pixels across,
    // five lines of 13 down, the last cut at its lowest row.
    text.font = QStringLiteral("/usr/share/fonts/X11/misc/6x13.pcf.gz");
    text.text = QStringLiteral("Line 1 12.5 V 47 % OK\n").repeated(5).chopped(1);
    if (QFile::exists(text.font)) {
        QElapsedTimer first;
        first.start();
        renderText(text, whole);
        const double firstMs = double(first.nsecsElapsed()) / 1e6;
        std::printf("  text, 5 lines misc-fixed 6x13, whole display    %7.2f ms (aim under 2 ms; the first, "
                    "reading the font, %.2f ms)\n",
                    medianMs(repetitions, [&] { renderText(text, whole); }), firstMs);
    } else {
        std::printf("  text, misc-fixed 6x13: not measured, xfonts-base is not installed\n");
    }

    const QImage big = photo({1920, 1080});
    for (const auto& [name, dither] : {std::pair{"threshold", Dither::Threshold}, std::pair{"diffusion", Dither::Diffuse},
                                       std::pair{"Atkinson", Dither::Atkinson}, std::pair{"ordered", Dither::Ordered}}) {
        PictureChoice choice;
        choice.mono.dither = dither;
        std::printf("  1920 x 1080 picture, fit, %-10s            %7.2f ms\n", name,
                    medianMs(repetitions, [&] { convertPicture(big, whole, choice); }));
    }
    PictureChoice turnedFill;
    turnedFill.rotation = 90;
    turnedFill.fit = Fit::Fill;
    std::printf("  1920 x 1080 picture, turned 90, fill, threshold %7.2f ms\n",
                medianMs(repetitions, [&] { convertPicture(big, whole, turnedFill); }));

    // A ball of 12 pixels crossing the display in 60 frames of 50 ms, and a
    // clock whose digits change in a corner.
    std::printf("\nAnimation scripts on the line (changed rectangles against every frame whole)\n");
    QList<QImage> ball, clock;
    QList<int> delays;
    for (int i = 0; i < 60; ++i) {
        QImage frame(128, 64, QImage::Format_RGB32);
        frame.fill(Qt::white);
        {
            QPainter painter(&frame);
            painter.setBrush(Qt::black);
            painter.drawEllipse(QRect(i * 2, 26, 12, 12));
        }
        ball << blackAndWhite(frame, {});
        TextChoice digits;
        digits.text = QStringLiteral("12:%1").arg(i, 2, 10, QLatin1Char('0'));
        digits.across = Across::Right;
        digits.down = Down::Bottom;
        clock << renderText(digits, whole).mono;
        delays << 50;
    }
    for (const auto& [name, frames] : {std::pair{"ball, 60 frames", &ball}, std::pair{"clock, 60 frames", &clock}})
        for (int baud : {19200, 56000}) {
            const AnimationScript script = animationScript(*frames, delays, whole, baud, QString());
            std::printf("  %-17s %5d baud: %6.2f s, whole frames %6.2f s (%.1fx)\n", name, baud,
                        script.lineMs / 1000.0, script.wholeMs / 1000.0, double(script.wholeMs) / script.lineMs);
        }
    return 0;
}
