// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "board/displaycheck.h"
#include "render/displaypicture.h"
#include "script/script.h"

#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <variant>

// A script's screen lines: the pictures they compare the board's display
// with, read and checked before anything is sent; each line's verdict on a
// board, with the pictures of a failure; the pictures made from what the
// board shows.
namespace varnix::screens {

// Each dot of a difference picture is a square of this side.
constexpr int kDifferenceScale = 4;

// A screen line's picture.
struct Picture {
    // Where it is: the script's folder added where the line gives none.
    QString path;
    // What it shows; none while there is no such file.
    std::optional<board::Display> display;
    // How it was made one bit a dot when it was not, as a person reads it;
    // empty for a picture of one bit a dot.
    QString rule;
};

// Reads the picture a screen line compares the display with: a PNG of 128 x
// 64 pixels of one bit each, or any other PNG of that size, made so as Load
// Picture makes a picture by default (a dot set where the grey is below the
// middle, transparent parts white) and the rule named. A file that is not
// there gives a picture without a display; one that cannot be used is
// refused before it is decoded where its header shows it, in a sentence
// naming it.
std::variant<Picture, QString> readPicture(const QString& path);

// Writes the display as a screen line's picture: 128 x 64, one bit a dot,
// black on white, as Save Picture writes a block; its folder is made when it
// is not there. Why it could not, or empty.
QString writePicture(const board::Display& display, const QString& path);

// The expected display on white, each dot kDifferenceScale pixels across,
// its dots grey so that the dots the board shows otherwise stand out, marked
// as the display view marks a comparison: in red those set that should be
// clear, in pale red those clear that should be set.
QImage differencePicture(const board::Display& expected, const board::Display& shown);
render::DisplayColours differenceColours();

// The pictures of a script's screen lines as an export carries them: by
// line, the display's bytes row by row, as its read sends them. The script
// is refused by the first line whose picture cannot be used or is not there.
std::variant<QHash<int, QByteArray>, script::ReadError> exportedPictures(const script::Script& script);

// Why files cannot be written in the folder (or in the nearest of its
// parents that is there, where it would be made), found by writing one; empty
// when they can.
QString folderRefusal(const QString& folder);

// The pictures of a script's screen lines, each read once before anything
// is sent.
class References
{
public:
    // The script is refused by the first screen line whose picture cannot
    // be used, or, to make the pictures (`update`), whose folder cannot be
    // written.
    static std::variant<References, script::ReadError> read(const script::Script& script, bool update);

    const Picture* at(int line) const;
    bool isEmpty() const { return m_pictures.isEmpty(); }
    bool update() const { return m_update; }
    // What a person should know before the run: "line 5: logo.png is not
    // one bit a dot: …".
    const QStringList& notes() const { return m_notes; }

private:
    QHash<int, Picture> m_pictures;
    QStringList m_notes;
    bool m_update = false;
};

// The verdicts of a run's screen lines on one board. A failure's pictures
// go into `folder` (empty: the current one), named `prefix` and the
// picture's name, then "-board.png" (what the board shows, a picture the
// line takes) and "-diff.png". With the references' `update`, a picture
// that is not there or differs is made from what the board shows instead,
// once a run.
class Judge
{
public:
    // `howToMake` ends the verdict on a picture that is not there: how to
    // make it in the program that runs the script. Without a folder, a
    // failure's pictures are not written.
    Judge(std::shared_ptr<const References> references, std::optional<QString> folder, QString prefix,
          QString howToMake);

    // The verdict on a screen line, given what came since its read began.
    board::ScreenVerdict operator()(const script::Step& step, const QString& answer);

private:
    board::ScreenVerdict make(const Picture& picture, const board::Display& shown);
    QStringList writeFailure(const Picture& picture, const board::Display& shown,
                             const std::optional<board::Display>& expected, QString& said) const;

    std::shared_ptr<const References> m_references;
    std::optional<QString> m_folder;
    QString m_prefix;
    QString m_howToMake;
    // The pictures made in this run, by their paths: a later line of the
    // same picture is compared with what was made.
    QHash<QString, board::Display> m_made;
};

} // namespace varnix::screens
