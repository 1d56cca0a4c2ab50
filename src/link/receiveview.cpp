// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/receiveview.h"

#include "link/core/receivemodel.h"
#include "widgets/elidedlabel.h"

#include <QCheckBox>
#include <QDateTime>
#include <QGlyphRun>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <QTextLayout>

#include <algorithm>

namespace varnix {

namespace {
const QColor kMatch(255, 240, 120);
const QColor kCurrentMatch(255, 150, 50);

// A scroll bar moves at every arrival; filling its own background spares
// the repaint of the frame and group box behind it each time.
void paintScrollBarsAlone(QAbstractScrollArea* area)
{
    area->verticalScrollBar()->setAutoFillBackground(true);
    area->horizontalScrollBar()->setAutoFillBackground(true);
}
} // namespace

class ReceiveText::Margin : public QWidget
{
public:
    explicit Margin(ReceiveText* text) : QWidget(text), m_text(text)
    {
        // It fills what it paints, so a scroll moves its pixels rather than
        // painting it and the group box behind it anew.
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* event) override { m_text->paintMargin(event); }

private:
    ReceiveText* m_text;
};

ViewPlace::ViewPlace(QScrollBar* bar, const link::ReceiveModel& model) : m_bar(bar), m_model(model)
{
    m_moved = QObject::connect(bar, &QScrollBar::valueChanged, [this](int value) {
        if (m_quiet == 0)
            m_followsEnd = value == m_bar->maximum();
    });
}

ViewPlace::~ViewPlace()
{
    // The view's base classes let go of the bar after this is gone.
    QObject::disconnect(m_moved);
}

void ViewPlace::setFollowsEnd(bool follows)
{
    m_followsEnd = follows;
    if (follows)
        m_top = -1;
}

std::optional<qsizetype> ViewPlace::heldTop() const
{
    if (m_top < 0 || m_bar->value() != m_topValue || m_model.shifts() != m_topShifts)
        return std::nullopt;
    return m_top;
}

void ViewPlace::holdTop(qsizetype position)
{
    m_top = position;
    m_topValue = m_bar->value();
    m_topShifts = m_model.shifts();
}

ReceiveText::ReceiveText(const link::ReceiveModel& model, const link::ReceiveSearch& search, QWidget* parent)
    : TextArea(QStringLiteral("rcvText"), parent), m_model(model), m_search(search), m_margin(new Margin(this)),
      m_place(verticalScrollBar(), model)
{
    m_margin->setObjectName(QStringLiteral("rcvTimes"));
    paintScrollBarsAlone(this);
    m_margin->hide();
    // receive() follows the end itself: the area's own test of the bar
    // against its end misses what the layout has not counted yet.
    TextArea::setFollowsEnd(false);
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
        if (!m_timesShown)
            return;
        if (dy != 0)
            m_margin->scroll(0, dy);
        else
            m_margin->update(0, rect.y(), m_margin->width(), rect.height());
    });
    // Text set anew shows from its start, which is its end when it is
    // short; typed text, where it was typed.
    connect(this, &TextArea::changed, this, [this] {
        if (!m_receiving)
            m_place.setFollowsEnd(verticalScrollBar()->value() == verticalScrollBar()->maximum());
    });
}

void ReceiveText::receive(QStringView more)
{
    const bool following = followsEnd();
    m_receiving = true;
    m_place.quietly([&] { appendExact(more); });
    m_receiving = false;
    if (following)
        followEnd();
}

int ReceiveText::marginWidth() const
{
    return m_timesShown ? fontMetrics().horizontalAdvance(link::clockText(0, 0)) + 8 : 0;
}

void ReceiveText::setTimesShown(bool shown)
{
    // A narrower text may take more lines: resizeEvent() keeps the place.
    m_timesShown = shown;
    setViewportMargins(marginWidth(), 0, 0, 0);
    m_margin->setVisible(shown);
    const QRect area = contentsRect();
    m_margin->setGeometry(area.left(), area.top(), marginWidth(), area.height());
}

void ReceiveText::resizeEvent(QResizeEvent* event)
{
    // Another width wraps the lines anew, another height moves the end: the
    // view keeps its top byte, or stays at the end.
    const qsizetype top = topPosition();
    m_place.quietly([&] { TextArea::resizeEvent(event); });
    const QRect area = contentsRect();
    m_margin->setGeometry(area.left(), area.top(), marginWidth(), area.height());
    if (followsEnd())
        followEnd();
    else
        showPosition(top);
}

void ReceiveText::layOutEnd()
{
    qreal height = 0;
    for (QTextBlock block = document()->lastBlock(); block.isValid() && height <= viewport()->height();
         block = block.previous())
        height += blockBoundingRect(block).height();
}

void ReceiveText::followEnd()
{
    layOutEnd();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    m_place.setFollowsEnd(true);
}

qsizetype ReceiveText::topPosition() const
{
    if (const std::optional<qsizetype> held = m_place.heldTop())
        return *held;
    const QTextBlock block = firstVisibleBlock();
    const qsizetype line = block.blockNumber();
    if (line < 0 || line >= m_model.lineCount())
        return 0;
    // The bar counts the lines a block wraps into: the top one may be any.
    const QTextLayout* layout = block.layout();
    const int wrapped = verticalScrollBar()->value() - block.firstLineNumber();
    const qsizetype inLine = wrapped > 0 && wrapped < layout->lineCount() ? layout->lineAt(wrapped).textStart() : 0;
    return m_model.lineStart(line) + inLine;
}

std::optional<qsizetype> ReceiveText::place() const
{
    // A top byte put there stays even when the end came into view with it.
    if (followsEnd() && !m_place.heldTop())
        return std::nullopt;
    return topPosition();
}

void ReceiveText::showPosition(qsizetype position)
{
    const qsizetype line = m_model.lineOf(position);
    const QTextBlock block = document()->findBlockByNumber(int(line));
    if (!block.isValid() || line >= m_model.lineCount())
        return;
    layOutEnd();
    blockBoundingRect(block);
    const QTextLine wrapped = block.layout()->lineForTextPosition(int(position - m_model.lineStart(line)));
    verticalScrollBar()->setValue(block.firstLineNumber() + (wrapped.isValid() ? wrapped.lineNumber() : 0));
    m_place.holdTop(position);
}

void ReceiveText::paintMargin(QPaintEvent* event)
{
    QPainter painter(m_margin);
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::PlaceholderText));
    // One look-up of the local time's offset a paint: a conversion to local
    // time for every line would cost more than the rest of the paint.
    const qint64 offsetMs = qint64(QDateTime::currentDateTime().offsetFromUtc()) * 1000;
    const qreal advance = fontMetrics().horizontalAdvance(u'0');
    const qreal left = m_margin->width() - 4 - advance * qreal(link::clockText(0, 0).size());
    m_marginGlyphs.begin(font());
    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    while (block.isValid() && top <= event->rect().bottom()) {
        const qreal height = blockBoundingRect(block).height();
        const qint64 time = m_model.lineTime(block.blockNumber());
        if (time != link::ReceiveModel::kNoTime && top + height >= event->rect().top())
            m_marginGlyphs.add(link::clockText(time, offsetMs), QPointF(left, top + fontMetrics().ascent()), advance);
        top += height;
        block = block.next();
    }
    m_marginGlyphs.draw(painter);
}

void ReceiveText::paintEvent(QPaintEvent* event)
{
    // The marks go under the text the area paints over them.
    {
        QPainter painter(viewport());
        paintMatches(painter, event->rect());
    }
    TextArea::paintEvent(event);
}

namespace {
// The line of a laid-out block that holds a character of it.
QTextLine wrappedLineOf(const QTextLayout* layout, int position)
{
    int low = 0;
    int high = layout->lineCount() - 1;
    while (low < high) {
        const int middle = (low + high + 1) / 2;
        if (layout->lineAt(middle).textStart() <= position)
            low = middle;
        else
            high = middle - 1;
    }
    return layout->lineAt(low);
}

// The first line of a laid-out block whose bottom lies below y.
int firstLineBelow(const QTextLayout* layout, qreal y)
{
    int low = 0;
    int high = layout->lineCount() - 1;
    while (low < high) {
        const int middle = (low + high) / 2;
        const QTextLine line = layout->lineAt(middle);
        if (line.y() + line.height() <= y)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}
} // namespace

void ReceiveText::paintMatches(QPainter& painter, const QRect& area)
{
    const std::vector<qsizetype>& matches = m_search.matches();
    if (!m_search.active() || matches.empty())
        return;
    // Only what is painted is marked: the matches may be hundreds of
    // thousands, and a block a line of tens of thousands of characters.
    const qsizetype length = m_search.length();
    QPointF offset = contentOffset();
    for (QTextBlock block = firstVisibleBlock(); block.isValid() && offset.y() <= area.bottom();
         block = block.next()) {
        const QRectF box = blockBoundingRect(block).translated(offset);
        offset.ry() += box.height();
        const QTextLayout* layout = block.layout();
        if (box.bottom() < area.top() || block.blockNumber() >= m_model.lineCount() || layout->lineCount() == 0)
            continue;
        const QPointF origin = box.topLeft() + layout->position();
        const QTextLine first = layout->lineAt(firstLineBelow(layout, area.top() - origin.y()));
        const QTextLine last = layout->lineAt(firstLineBelow(layout, area.bottom() + 1 - origin.y()));
        const qsizetype start = m_model.lineStart(block.blockNumber());
        const qsizetype from = start + first.textStart();
        const qsizetype to = start + last.textStart() + last.textLength();
        for (auto it = std::lower_bound(matches.begin(), matches.end(), from - length + 1);
             it != matches.end() && *it < to; ++it) {
            const QColor colour = it - matches.begin() == m_search.current() ? kCurrentMatch : kMatch;
            // A match may run over lines, and on past the block's end.
            const int end = int(std::min(*it + length, to) - start);
            for (int at = int(std::max(*it, from) - start); at < end;) {
                const QTextLine line = wrappedLineOf(layout, at);
                const int stop = std::min(end, line.textStart() + line.textLength());
                if (stop <= at)
                    break;
                const qreal left = line.cursorToX(at);
                painter.fillRect(QRectF(origin.x() + left, origin.y() + line.y(), line.cursorToX(stop) - left,
                                        line.height()),
                                 colour);
                at = stop;
            }
        }
    }
}

void ReceiveText::showMatches()
{
    viewport()->update();
}

namespace {
// Where a position of the model's text stands in the document: its blocks
// are the model's lines, and within a line one character is one character.
int documentPosition(const QTextDocument* document, const link::ReceiveModel& model, qsizetype position)
{
    const qsizetype line = model.lineOf(position);
    const QTextBlock block = document->findBlockByNumber(int(line));
    if (!block.isValid())
        return document->characterCount() - 1;
    const qsizetype start = line < model.lineCount() ? model.lineStart(line) : 0;
    return block.position() + int(std::min<qsizetype>(position - start, block.length() - 1));
}
} // namespace

void ReceiveText::goToCurrent()
{
    if (m_search.current() >= 0) {
        QTextCursor cursor(document());
        cursor.setPosition(documentPosition(document(), m_model, m_search.matches()[std::size_t(m_search.current())]));
        setTextCursor(cursor);
        centerCursor();
    }
    showMatches();
}

HexView::HexView(const link::ReceiveModel& model, const link::ReceiveSearch& search, QWidget* parent)
    : QAbstractScrollArea(parent), m_model(model), m_search(search), m_place(verticalScrollBar(), model)
{
    setObjectName(QStringLiteral("rcvHex"));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    paintScrollBarsAlone(this);
    // More rows, or fewer in view: a view that follows the end stays there.
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this, [this](int, int maximum) {
        if (m_place.followsEnd())
            verticalScrollBar()->setValue(maximum);
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
}

int HexView::rowsInView() const
{
    return std::max(1, viewport()->height() / fontMetrics().lineSpacing());
}

void HexView::updateRange()
{
    const int rows = int(m_model.hexRowCount());
    verticalScrollBar()->setRange(0, std::max(0, rows - rowsInView()));
    verticalScrollBar()->setPageStep(rowsInView());
    const int width = fontMetrics().horizontalAdvance(u'0')
                      * int(link::ReceiveModel::textColumn(link::ReceiveModel::kHexRowBytes) + 1);
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void HexView::modelChanged()
{
    updateRange();
    viewport()->update();
}

void HexView::followEnd()
{
    m_place.setFollowsEnd(true);
    updateRange();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

qsizetype HexView::topOffset() const
{
    if (const std::optional<qsizetype> held = m_place.heldTop())
        return *held;
    return qsizetype(verticalScrollBar()->value()) * link::ReceiveModel::kHexRowBytes;
}

std::optional<qsizetype> HexView::place() const
{
    if (m_place.followsEnd() && !m_place.heldTop())
        return std::nullopt;
    return topOffset();
}

void HexView::showOffset(qsizetype offset)
{
    updateRange();
    verticalScrollBar()->setValue(int(offset / link::ReceiveModel::kHexRowBytes));
    m_place.holdTop(offset);
}

void HexView::goToCurrent()
{
    if (m_search.current() >= 0) {
        const qsizetype row = m_search.matches()[std::size_t(m_search.current())] / link::ReceiveModel::kHexRowBytes;
        QScrollBar* bar = verticalScrollBar();
        if (row < bar->value() || row >= bar->value() + rowsInView())
            bar->setValue(int(row) - rowsInView() / 2);
    }
    viewport()->update();
}

void HexView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateRange();
}

void HexView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Text));
    const int lineHeight = fontMetrics().lineSpacing();
    const int charWidth = fontMetrics().horizontalAdvance(u'0');
    const int left = 2 - horizontalScrollBar()->value();
    const qsizetype firstRow = verticalScrollBar()->value();
    const qsizetype rows = std::min<qsizetype>(rowsInView() + 1, m_model.hexRowCount() - firstRow);
    constexpr int kRow = link::ReceiveModel::kHexRowBytes;

    // The matches' bytes first, in both columns, under the text.
    const auto& matches = m_search.matches();
    const qsizetype firstByte = firstRow * kRow;
    const qsizetype endByte = (firstRow + rows) * kRow;
    for (auto it = std::lower_bound(matches.begin(), matches.end(), firstByte - m_search.length());
         it != matches.end() && *it < endByte; ++it) {
        const QColor colour = it - matches.begin() == m_search.current() ? kCurrentMatch : kMatch;
        for (qsizetype byte = std::max(*it, firstByte); byte < std::min(*it + m_search.length(), endByte); ++byte) {
            const int y = int(byte / kRow - firstRow) * lineHeight;
            const int column = int(byte % kRow);
            painter.fillRect(left + int(link::ReceiveModel::hexColumn(column)) * charWidth, y, 2 * charWidth,
                             lineHeight, colour);
            painter.fillRect(left + int(link::ReceiveModel::textColumn(column)) * charWidth, y, charWidth,
                             lineHeight, colour);
        }
    }
    drawRows(painter, QPointF(left, fontMetrics().ascent()), firstRow, rows);
}

void HexView::drawRows(QPainter& painter, QPointF at, qsizetype firstRow, qsizetype rows)
{
    const qreal charWidth = fontMetrics().horizontalAdvance(u'0');
    const qreal lineHeight = fontMetrics().lineSpacing();
    m_glyphs.begin(font());
    for (qsizetype i = 0; i < rows; ++i)
        m_glyphs.add(m_model.hexRow(firstRow + i), QPointF(0, qreal(i) * lineHeight), charWidth);
    m_glyphs.draw(painter, at);
}

void ColumnGlyphs::begin(const QFont& font)
{
    if (!m_rawFont.isValid() || font != m_font) {
        m_font = font;
        m_rawFont = QRawFont::fromFont(font);
        QString ascii(128, u' ');
        for (int c = 0x20; c < 0x7f; ++c)
            ascii[c] = QChar(c);
        const QList<quint32> glyphs = m_rawFont.glyphIndexesForString(ascii);
        std::fill(m_glyphs.begin(), m_glyphs.end(), 0);
        std::copy_n(glyphs.begin(), std::min<qsizetype>(glyphs.size(), 128), m_glyphs.begin());
    }
    m_indexes.clear();
    m_positions.clear();
}

void ColumnGlyphs::add(QStringView text, QPointF at, qreal advance)
{
    for (qsizetype column = 0; column < text.size(); ++column) {
        const char16_t code = text[column].unicode();
        if (code == u' ')
            continue;
        m_indexes.append(m_glyphs[code < 128 ? code : u'.']);
        m_positions.append(QPointF(at.x() + qreal(column) * advance, at.y()));
    }
}

void ColumnGlyphs::draw(QPainter& painter, QPointF origin)
{
    if (m_indexes.isEmpty())
        return;
    // One run for all: the paint engine's set-up is per run.
    QGlyphRun run;
    run.setRawFont(m_rawFont);
    run.setGlyphIndexes(m_indexes);
    run.setPositions(m_positions);
    painter.drawGlyphRun(origin, run);
}

FindBar::FindBar(QWidget* parent)
    : QWidget(parent), m_txtFind(new QLineEdit(this)), m_cmdFindPrevious(new QPushButton(QStringLiteral("Previous"), this)),
      m_cmdFindNext(new QPushButton(QStringLiteral("Next"), this)),
      m_chkMatchCase(new QCheckBox(QStringLiteral("Match case"), this)), m_lblFindCount(new ElidedLabel(this))
{
    setObjectName(QStringLiteral("findBar"));
    m_txtFind->setObjectName(QStringLiteral("txtFind"));
    m_cmdFindPrevious->setObjectName(QStringLiteral("cmdFindPrevious"));
    m_cmdFindNext->setObjectName(QStringLiteral("cmdFindNext"));
    m_chkMatchCase->setObjectName(QStringLiteral("chkMatchCase"));
    m_lblFindCount->setObjectName(QStringLiteral("lblFindCount"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_txtFind, 1);
    layout->addWidget(m_cmdFindPrevious);
    layout->addWidget(m_cmdFindNext);
    layout->addWidget(m_chkMatchCase);
    // The count changes at every slice of a search: its width is the
    // layout's, not the text's, or each change would lay the window out
    // anew, and with it every line of the received text.
    m_lblFindCount->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    layout->addWidget(m_lblFindCount, 1);
    connect(m_txtFind, &QLineEdit::textChanged, this, &FindBar::queryChanged);
    connect(m_chkMatchCase, &QCheckBox::toggled, this, &FindBar::queryChanged);
    connect(m_txtFind, &QLineEdit::returnPressed, this, &FindBar::next);
    connect(m_cmdFindNext, &QPushButton::clicked, this, &FindBar::next);
    connect(m_cmdFindPrevious, &QPushButton::clicked, this, &FindBar::previous);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(close, &QShortcut::activated, this, [this] {
        hide();
        emit closed();
    });
}

bool FindBar::matchCase() const
{
    return m_chkMatchCase->isChecked();
}

void FindBar::setCount(const QString& text)
{
    m_lblFindCount->setText(text);
}

void FindBar::open()
{
    show();
    m_txtFind->setFocus();
    m_txtFind->selectAll();
}

} // namespace varnix
