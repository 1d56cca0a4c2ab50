// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/fields.h"

#include "protocol/textlimit.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QLocale>

#include <algorithm>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>

namespace varnix {

LineField::LineField(const QString& name, const QString& start, int typingLimit, QWidget* parent)
    : QLineEdit(parent), m_limit(typingLimit)
{
    setObjectName(name);
    setExactText(start);
    connect(this, &QLineEdit::textEdited, this, &LineField::userEdited);
}

void LineField::setExactText(const QString& text)
{
    m_exact.set(text);
    m_lastShown = m_exact.shownRaw();
    {
        const QSignalBlocker block(this);
        QLineEdit::setText(m_lastShown);
    }
    emit changed();
}

void LineField::keyPressEvent(QKeyEvent* event)
{
    // Keys that make a character: printable ones, Enter, Backspace and
    // Escape. Delete, cursor and function keys, and shortcuts, are not.
    const QString typed = event->text();
    const bool shortcut = event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier);
    const int key = event->key();
    const bool controlKey =
        key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Backspace || key == Qt::Key_Escape;
    if (onKeyPress && typed.size() == 1 && !shortcut && (typed.front().isPrint() || controlKey))
        onKeyPress(typed.front());
    QLineEdit::keyPressEvent(event);
}

void LineField::userEdited(const QString& shown)
{
    // The limit holds typing only: of an edit that would grow the text beyond
    // it, what fits is kept, as typing stops at the limit; shortening an
    // over-long text the program put in stays possible.
    const qsizetype allowed = std::max<qsizetype>(m_limit, m_lastShown.size());
    QString accepted = shown;
    if (m_limit > 0 && shown.size() > allowed) {
        qsizetype prefix = 0;
        const qsizetype common = std::min(shown.size(), m_lastShown.size());
        while (prefix < common && shown[prefix] == m_lastShown[prefix])
            ++prefix;
        qsizetype suffix = 0;
        while (suffix < common - prefix
               && shown[shown.size() - 1 - suffix] == m_lastShown[m_lastShown.size() - 1 - suffix])
            ++suffix;
        const qsizetype kept = allowed - (prefix + suffix);
        const QString fitted = shown.left(prefix + kept) + shown.right(suffix);
        {
            const QSignalBlocker block(this);
            QLineEdit::setText(fitted);
            setCursorPosition(int(prefix + kept));
        }
        if (fitted == m_lastShown)
            return;
        accepted = fitted;
    }
    m_exact.edited(accepted);
    m_lastShown = accepted;
    emit changed();
}

TextArea::TextArea(const QString& name, QWidget* parent) : QPlainTextEdit(parent)
{
    setObjectName(name);
    // Tab goes on to the next control, as in every other field; hex pairs
    // and replies have no use for a tab character.
    setTabChangesFocus(true);
    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        if (!m_programChange)
            syncFromWidget();
    });
}

void TextArea::setExactText(const QString& text)
{
    m_exact.set(text);
    m_dropped = 0;
    m_notice.clear();
    dropOldest();
    m_programChange = true;
    QPlainTextEdit::setPlainText(m_exact.shownPlain());
    m_programChange = false;
    emit changed();
}

void TextArea::appendExact(QStringView more)
{
    if (more.isEmpty())
        return;
    QScrollBar* bar = verticalScrollBar();
    const bool following = m_followsEnd && bar->value() == bar->maximum();
    // Where the view stands, in case the text above it goes.
    const QTextBlock top = firstVisibleBlock();
    const int topPosition = top.position();
    const int topOffset = bar->value() - top.firstLineNumber();
    bool dropLast = false;
    QString shown = m_exact.append(more, &dropLast);
    shown.replace(QChar(0x2029), QChar(u'\n'));

    m_programChange = true;
    // The document's layout asks for the whole view to be painted anew on
    // any change; text added at the end changes only its last line and what
    // follows, so that is all that is painted, and the rest scrolls.
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    const QTextBlock oldLast = document()->lastBlock();
    {
        const QSignalBlocker quiet(layout);
        QTextCursor cursor(document());
        // One edit, not one for each of its parts; and inside an edit the
        // cursor does not lay out its line to know where it stands, a layout
        // the next part would undo.
        cursor.beginEditBlock();
        cursor.movePosition(QTextCursor::End);
        if (dropLast)
            cursor.deletePreviousChar();
        cursor.insertText(shown);
        cursor.endEditBlock();
    }
    emit layout->documentSizeChanged(layout->documentSize());
    const std::optional<Dropped> dropped = dropOldest();
    if (dropped) {
        QString notice = dropped->shownNotice;
        notice.replace(QChar(0x2029), QChar(u'\n'));
        QTextCursor front(document());
        front.setPosition(int(dropped->shownRemoved), QTextCursor::KeepAnchor);
        front.insertText(notice);
    }
    m_programChange = false;
    if (following) {
        bar->setValue(bar->maximum());
    } else if (dropped) {
        // The same text stays in view; when it went, the first line shows.
        const qsizetype moved = topPosition - dropped->shownRemoved;
        const QTextBlock kept = moved >= 0 ? document()->findBlock(int(moved + dropped->shownNotice.size()))
                                           : document()->firstBlock();
        bar->setValue(kept.firstLineNumber() + (moved >= 0 ? topOffset : 0));
    }
    // A hidden area (the hex view in its place) has nothing to paint.
    if (!dropped && isVisible()) {
        const QRect view = viewport()->rect();
        const int changedTop = std::max(
            view.top(), int(blockBoundingGeometry(oldLast).translated(contentOffset()).top()));
        if (changedTop <= view.bottom()) {
            const QRect changedRect(view.left(), changedTop, view.width(), view.bottom() - changedTop + 1);
            viewport()->update(changedRect);
            emit updateRequest(changedRect, 0);
        }
    }
    emit changed();
}

void TextArea::dropAll(qint64 unseen)
{
    const QString& text = m_exact.text();
    const qsizetype noticeSize = !m_notice.isEmpty() && text.startsWith(m_notice) ? m_notice.size() : 0;
    m_dropped += text.size() - noticeSize + unseen;
    m_notice = protocol::droppedNotice(m_dropped);
    m_exact.set(m_notice);
    m_programChange = true;
    QPlainTextEdit::setPlainText(m_exact.shownPlain());
    m_programChange = false;
    emit changed();
}

std::optional<TextArea::Dropped> TextArea::dropOldest()
{
    const QString& text = m_exact.text();
    const qsizetype noticeSize = !m_notice.isEmpty() && text.startsWith(m_notice) ? m_notice.size() : 0;
    const qsizetype cut = protocol::limitCut(text, noticeSize, m_limit);
    if (cut == 0)
        return std::nullopt;
    m_dropped += cut - noticeSize;
    m_notice = protocol::droppedNotice(m_dropped);
    Dropped dropped;
    dropped.shownRemoved = m_exact.replaceFront(cut, m_notice, &dropped.shownNotice);
    return dropped;
}

void TextArea::keyPressEvent(QKeyEvent* event)
{
    const QString typed = event->text();
    if (keyFilter && typed.size() == 1 && typed.front().isPrint()
        && !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
        const QChar replaced = keyFilter(typed.front());
        if (replaced != typed.front()) {
            QKeyEvent changedKey(event->type(), event->key(), event->modifiers(), QString(replaced),
                                 event->isAutoRepeat(), ushort(event->count()));
            QPlainTextEdit::keyPressEvent(&changedKey);
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TextArea::syncFromWidget()
{
    m_exact.edited(document()->toRawText());
    emit changed();
}

ListBox::ListBox(const QString& name, const QStringList& items, QWidget* parent) : QListWidget(parent)
{
    setObjectName(name);
    addItems(items);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // A ctrl-click can clear a single selection; the lists here always keep one.
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (selectedItems().isEmpty() && currentRow() >= 0)
            currentItem()->setSelected(true);
    });
}

QString ListBox::selectedText() const
{
    const auto items = selectedItems();
    return items.isEmpty() ? QString() : items.front()->text();
}

void ListBox::selectRow(int row)
{
    setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

} // namespace varnix
