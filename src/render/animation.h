// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "render/picture.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

namespace varnix::render {

// Animations longer than this are refused: a script of more frames is
// better cut into several.
constexpr int kMostFrames = 1000;
// The delay of a frame from a set of numbered files, and of a GIF frame
// that asks for none (as browsers show them).
constexpr int kDefaultFrameMs = 100;
// A frame of a block write is paced at each "]"; the script asks no pause
// there, so that the line's own speed sets the rate.
constexpr int kFramePacingMs = 0;

struct SourceFrame {
    QImage image;
    int delayMs = kDefaultFrameMs;
};

// The frames of a picture file (a GIF's all, any other picture's one), or
// of several files taken as numbered frames in the order of the numbers in
// their names; or why they are refused (the picture's own reasons, more
// than kMostFrames, a frame larger than kLargestPicturePixels). Nothing is
// kept of a refused set.
struct SourceFrames {
    QList<SourceFrame> frames;
    QString error;
};
SourceFrames readFrames(const QStringList& paths);

// One frame of the script: the rectangle of the block's bytes it writes
// (columns across, rows of 8 pixels down, in display coordinates; empty
// when nothing changed) and its frame.
struct FrameWrite {
    QRect bytes;
    QString frame;
    int lineMs = 0;   // the line's time for the frame at the baud rate
    int delayMs = 0;  // what the animation asks
};

struct AnimationScript {
    QList<FrameWrite> writes;
    QString text;     // the script's file, UTF-8 ready
    qint64 lineMs = 0;     // the whole script on the line
    qint64 wholeMs = 0;    // had every frame been written whole

    // "12 frames: 0.6 s for the first on the line at 56000 baud, 0.1 s at
    // most for the others; it keeps 8.3 frames a second of the 10 it asks."
    QString summary(int baudRate) const;
};

// The script that plays black-and-white frames of the block's size on the
// display: each frame writes the smallest rectangle of bytes that changed
// since the one before (the first frame whole), then waits its delay less
// its line time.
AnimationScript animationScript(const QList<QImage>& monos, const QList<int>& delaysMs, const LcdBlock& block,
                                int baudRate, const QString& title);

// The script that writes one black-and-white block.
QString stillScript(const QImage& mono, const LcdBlock& block, const QString& title);

// Writes a script file whole or not at all; empty, or what failed.
QString saveScript(const QString& text, const QString& path);

} // namespace varnix::render
