// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/tabrows.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>
#include <numeric>

namespace varnix {

namespace {

// Rows the strip asks for when it may choose its width.
constexpr int kPreferredRows = 3;

// How many tabs each of `rows` rows holds: as even as can be, the first rows
// taking one more where the tabs do not share out evenly.
QList<int> rowCounts(int tabs, int rows)
{
    QList<int> counts;
    for (int row = 0; row < rows; ++row)
        counts << tabs / rows + (row < tabs % rows ? 1 : 0);
    return counts;
}

int widthOf(const QList<int>& widths, int first, int count)
{
    return std::accumulate(widths.begin() + first, widths.begin() + first + count, 0);
}

// The widest row when the tabs stand in rows of these counts.
int widestRow(const QList<int>& widths, const QList<int>& counts)
{
    int widest = 0;
    int first = 0;
    for (int count : counts) {
        widest = std::max(widest, widthOf(widths, first, count));
        first += count;
    }
    return widest;
}

} // namespace

TabRows::TabRows(QTabWidget* tabs, QWidget* parent) : QWidget(parent), m_tabs(tabs)
{
    // Like a tab bar: reached with Tab, not taken by a click, which shows
    // another page and so moves the focus anyway.
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_tabs->tabBar()->hide();
    connect(m_tabs, &QTabWidget::currentChanged, this, qOverload<>(&QWidget::update));
    // A screen reader names the captions by the page they show, which the
    // arrow keys change.
    setAccessibleName(QStringLiteral("Pages"));
    const auto describe = [this] { setAccessibleDescription(m_tabs->tabText(m_tabs->currentIndex()).trimmed()); };
    connect(m_tabs, &QTabWidget::currentChanged, this, describe);
    describe();
    relayout();
}

int TabRows::count() const
{
    return m_tabs->count();
}

int TabRows::rowCount() const
{
    return m_rects.isEmpty() ? 0 : m_rects.back().bottom() / tabHeight() + 1;
}

QRect TabRows::tabRect(int index) const
{
    return index >= 0 && index < m_rects.size() ? m_rects[index] : QRect();
}

int TabRows::tabAt(const QPoint& position) const
{
    for (int i = 0; i < m_rects.size(); ++i)
        if (m_rects[i].contains(position))
            return i;
    return -1;
}

QList<int> TabRows::naturalWidths() const
{
    QList<int> widths;
    const QFontMetrics metrics = fontMetrics();
    for (int i = 0; i < count(); ++i) {
        QStyleOptionTab option;
        initOption(&option, i);
        // The room QTabBar gives a caption: its text and the style's spacing.
        const int space = style()->pixelMetric(QStyle::PM_TabBarTabHSpace, &option, this);
        const QSize contents(metrics.size(Qt::TextShowMnemonic, option.text).width() + space, metrics.height());
        widths << style()->sizeFromContents(QStyle::CT_TabBarTab, &option, contents, this).width();
    }
    return widths;
}

int TabRows::tabHeight() const
{
    QStyleOptionTab option;
    initOption(&option, 0);
    const int space = style()->pixelMetric(QStyle::PM_TabBarTabVSpace, &option, this);
    const QSize contents(0, fontMetrics().height() + space);
    return style()->sizeFromContents(QStyle::CT_TabBarTab, &option, contents, this).height();
}

QList<QRect> TabRows::arrange(int width) const
{
    const QList<int> widths = naturalWidths();
    const int tabs = int(widths.size());
    if (tabs == 0)
        return {};
    // As few rows as the width allows; one tab a row at the narrowest.
    QList<int> counts;
    for (int rows = 1; rows <= tabs; ++rows) {
        counts = rowCounts(tabs, rows);
        if (widestRow(widths, counts) <= width)
            break;
    }
    // Each row spans the whole width, its spare room shared by its tabs.
    const int height = tabHeight();
    QList<QRect> rects;
    int first = 0;
    for (int row = 0; row < counts.size(); ++row) {
        const int inRow = counts[row];
        const int spare = std::max(0, width - widthOf(widths, first, inRow));
        int x = 0;
        for (int k = 0; k < inRow; ++k) {
            const int w = widths[first + k] + spare / inRow + (k < spare % inRow ? 1 : 0);
            rects << QRect(x, row * height, w, height);
            x += w;
        }
        first += inRow;
    }
    return rects;
}

int TabRows::heightForWidth(int width) const
{
    const QList<QRect> rects = arrange(width);
    return rects.isEmpty() ? 0 : rects.back().bottom() + 1;
}

QSize TabRows::sizeHint() const
{
    const QList<int> widths = naturalWidths();
    const int width = widestRow(widths, rowCounts(int(widths.size()), std::min<int>(kPreferredRows, int(widths.size()))));
    return {width, heightForWidth(width)};
}

QSize TabRows::minimumSizeHint() const
{
    const QList<int> widths = naturalWidths();
    return {widths.isEmpty() ? 0 : *std::max_element(widths.begin(), widths.end()), tabHeight()};
}

void TabRows::initOption(QStyleOptionTab* option, int index) const
{
    option->initFrom(this);
    option->state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
    option->shape = QTabBar::RoundedNorth;
    option->documentMode = false;
    if (index < 0 || index >= count())
        return;
    option->text = m_tabs->tabText(index);
    if (!m_tabs->isTabEnabled(index))
        option->state &= ~QStyle::State_Enabled;
    if (index == m_hovered)
        option->state |= QStyle::State_MouseOver;
    const int current = m_tabs->currentIndex();
    if (index == current) {
        option->state |= QStyle::State_Selected;
        if (hasFocus())
            option->state |= QStyle::State_HasFocus;
    }
    if (index >= m_rects.size())
        return;
    const QRect rect = m_rects[index];
    option->rect = rect;
    const int height = rect.height();
    option->row = height > 0 ? rect.y() / height : 0;
    auto sameRow = [&](int other) { return other >= 0 && other < m_rects.size() && m_rects[other].y() == rect.y(); };
    const bool first = !sameRow(index - 1);
    const bool last = !sameRow(index + 1);
    option->position = first && last ? QStyleOptionTab::OnlyOneTab
                       : first       ? QStyleOptionTab::Beginning
                       : last        ? QStyleOptionTab::End
                                     : QStyleOptionTab::Middle;
    option->selectedPosition = sameRow(current) && current == index - 1   ? QStyleOptionTab::PreviousIsSelected
                               : sameRow(current) && current == index + 1 ? QStyleOptionTab::NextIsSelected
                                                                          : QStyleOptionTab::NotAdjacent;
}

void TabRows::relayout()
{
    const int rows = rowCount();
    m_rects = arrange(width());
    if (rowCount() != rows)
        updateGeometry();
    update();
}

void TabRows::setHovered(int index)
{
    if (index == m_hovered)
        return;
    m_hovered = index;
    update();
}

bool TabRows::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
    case QEvent::Polish:
        relayout();
        updateGeometry();
        break;
    case QEvent::Leave:
    case QEvent::HoverLeave:
        setHovered(-1);
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void TabRows::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    auto draw = [&](int index) {
        QStyleOptionTab option;
        initOption(&option, index);
        // A style may draw a current tab on down to the page below it, which
        // here is the next row of tabs.
        painter.setClipRect(option.rect);
        painter.drawControl(QStyle::CE_TabBarTab, option);
    };
    const int current = m_tabs->currentIndex();
    // The current tab last: it overlaps its neighbours.
    for (int i = 0; i < m_rects.size(); ++i)
        if (i != current)
            draw(i);
    if (current >= 0 && current < m_rects.size())
        draw(current);
}

void TabRows::resizeEvent(QResizeEvent* event)
{
    relayout();
    QWidget::resizeEvent(event);
}

void TabRows::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const int index = tabAt(event->position().toPoint());
    if (index >= 0 && m_tabs->isTabEnabled(index))
        m_tabs->setCurrentIndex(index);
}

void TabRows::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    emit doubleClicked();
}

void TabRows::mouseMoveEvent(QMouseEvent* event)
{
    setHovered(tabAt(event->position().toPoint()));
    QWidget::mouseMoveEvent(event);
}

void TabRows::keyPressEvent(QKeyEvent* event)
{
    const int current = m_tabs->currentIndex();
    const QRect here = tabRect(current);
    // The tab of the neighbouring row that stands above or below this one.
    auto acrossRows = [&](int dy) { return tabAt(QPoint(here.center().x(), here.center().y() + dy)); };
    int next = -1;
    switch (event->key()) {
    case Qt::Key_Left:
        next = current - 1;
        break;
    case Qt::Key_Right:
        next = current + 1;
        break;
    case Qt::Key_Up:
        next = acrossRows(-here.height());
        break;
    case Qt::Key_Down:
        next = acrossRows(here.height());
        break;
    case Qt::Key_Home:
        next = 0;
        break;
    case Qt::Key_End:
        next = count() - 1;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (next >= 0 && next < count() && m_tabs->isTabEnabled(next))
        m_tabs->setCurrentIndex(next);
}

} // namespace varnix
