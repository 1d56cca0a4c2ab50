// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/exacttext.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>

#include <functional>
#include <optional>

namespace varnix {

// A one-line text field. Its typing limit stops the user from typing more
// characters, but a text the program sets is kept whole, however long.
//
// The field's value is its exact text: control characters an action puts in
// are kept, and shown as control pictures. QLineEdit's text() would read the
// shown form instead, so the field has names of its own for its value and
// hides the base class's.
class LineField : public QLineEdit
{
    Q_OBJECT
public:
    explicit LineField(const QString& name, const QString& start = QString(), int typingLimit = 0,
                       QWidget* parent = nullptr);

    const QString& exactText() const { return m_exact.text(); }
    void setExactText(const QString& text);
    int typingLimit() const { return m_limit; }

    QString text() const = delete;
    void setText(const QString&) = delete;

    // Runs with each character typed (its code) before it goes into the field.
    std::function<void(QChar)> onKeyPress;

signals:
    // Any change of the exact text, by the user or by the program.
    void changed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void userEdited(const QString& shown);

    ExactText m_exact{ExactText::Lines::Single};
    int m_limit = 0;
    QString m_lastShown;
};

// A multi-line text area whose value is exactly what was set, appended or
// typed, a line break being CR LF. QPlainTextEdit's own text functions work on
// the shown form and are hidden.
class TextArea : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit TextArea(const QString& name, QWidget* parent = nullptr);

    const QString& exactText() const { return m_exact.text(); }
    void setExactText(const QString& text);
    // Adds text at the end at a cost in proportion to what is added. The view
    // keeps its place, and follows the end when it was showing the end.
    void appendExact(QStringView more);
    // Off, appended text never moves the view, even at the end: what the
    // user looks at stays in view.
    void setFollowsEnd(bool follows) { m_followsEnd = follows; }

    // Keeps the area's text from growing without end: once it holds more
    // than an eighth over `characters`, the oldest lines go, so that at most
    // `characters` remain, and a first line of its own says how many were
    // dropped in all ("[1,234 earlier characters dropped]"). Lines go whole
    // unless one is too long for that. 0, the default, keeps everything; a
    // text set anew starts the count again.
    void setLimit(qsizetype characters) { m_limit = characters; }
    qsizetype limit() const { return m_limit; }
    // Characters dropped since the text was last set.
    qint64 dropped() const { return m_dropped; }
    // Drops all the text but the line that tells how much went, counting
    // `unseen` characters more that went without being shown.
    void dropAll(qint64 unseen);

    QString toPlainText() const = delete;
    void setPlainText(const QString&) = delete;
    void appendPlainText(const QString&) = delete;
    void insertPlainText(const QString&) = delete;

    // Turns a typed character into the one to insert (for instance to lower
    // case); runs before the key reaches the area.
    std::function<QChar(QChar)> keyFilter;

signals:
    void changed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Dropped {
        qsizetype shownRemoved = 0;
        QString shownNotice;
    };
    void syncFromWidget();
    // Drops the oldest text from the exact text when it has grown past the
    // limit; the caller brings the document along.
    std::optional<Dropped> dropOldest();

    ExactText m_exact{ExactText::Lines::Multi};
    bool m_programChange = false;
    bool m_followsEnd = true;
    qsizetype m_limit = 0;
    qint64 m_dropped = 0;
    // The line that says what was dropped, as it stands first in the text.
    QString m_notice;
};

// A list that always keeps one entry selected once one has been.
class ListBox : public QListWidget
{
    Q_OBJECT
public:
    explicit ListBox(const QString& name, const QStringList& items, QWidget* parent = nullptr);
    // Text of the selected entry; empty when none is.
    QString selectedText() const;
    void selectRow(int row);
};

} // namespace varnix
