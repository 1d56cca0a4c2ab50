// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QRect>
#include <QWidget>

class QStyleOptionTab;
class QTabWidget;

namespace varnix {

// The page captions of a tab control in as many rows as its width needs, so
// that every caption is in view at once. It stands in for the control's own
// one-row tab bar, which it hides, and keeps in step with the control's
// current page both ways. Each row spans the whole width, as tab rows do.
class TabRows : public QWidget
{
    Q_OBJECT
public:
    explicit TabRows(QTabWidget* tabs, QWidget* parent = nullptr);

    int count() const;
    int rowCount() const;
    // Where a caption's tab is drawn, in this widget's coordinates.
    QRect tabRect(int index) const;
    // The tab under a point, -1 for none.
    int tabAt(const QPoint& position) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

signals:
    // A double-click on the captions: the tab control's own event.
    void doubleClicked();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The tabs' places for a width, row by row.
    QList<QRect> arrange(int width) const;
    QList<int> naturalWidths() const;
    int tabHeight() const;
    void initOption(QStyleOptionTab* option, int index) const;
    void relayout();
    void setHovered(int index);

    QTabWidget* m_tabs;
    QList<QRect> m_rects;
    int m_hovered = -1;
};

} // namespace varnix
