// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

namespace varnix {

// Qt's text widgets turn line breaks into paragraph separators and cannot show
// control characters, yet the board's replies and the user's data must reach
// the actions byte for byte. ExactText keeps the exact text beside what the
// widget shows and carries the user's edits from the shown text back into it.
//
// Shown form: in a multi-line widget a carriage return + line feed pair is one
// paragraph separator (U+2029); every other control character, a lone CR or LF
// included, is shown as its Unicode control picture (U+2400 + code, U+2421 for
// DEL). A single-line widget shows every control character as a picture.
class ExactText
{
public:
    enum class Lines { Single, Multi };

    explicit ExactText(Lines lines) : m_lines(lines) {}

    const QString& text() const { return m_text; }
    // What the widget should show for the exact text, as raw text (paragraphs
    // separated by U+2029); shownPlain() uses '\n' for setPlainText().
    const QString& shownRaw() const { return m_shown; }
    QString shownPlain() const;

    void set(const QString& text);
    // Appends and returns the raw shown text to insert at the end; when the
    // old text ends in a lone CR and the new one starts with LF, the last shown
    // character (the CR's picture) becomes the separator, so dropLast is set.
    QString append(QStringView more, bool* dropLast);

    // Replaces the first `count` exact characters by `replacement` and returns
    // how many shown characters stood for them; `shownReplacement` receives
    // the replacement's shown form. The cut must not fall between a CR and
    // its LF.
    qsizetype replaceFront(qsizetype count, const QString& replacement, QString* shownReplacement);

    // The widget now shows newShownRaw after a user edit: carry it over. Only
    // the changed stretch is converted back; the rest keeps its exact text.
    void edited(const QString& newShownRaw);

    QString toShown(QStringView exact) const;
    QString fromShown(QStringView shown) const;

private:
    int exactPosition(int shownPosition) const;

    Lines m_lines;
    QString m_text;
    QString m_shown;
};

} // namespace varnix
