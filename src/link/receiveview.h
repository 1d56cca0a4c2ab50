// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/fields.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QList>
#include <QRawFont>
#include <QWidget>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;

namespace varnix {

namespace link {
class ReceiveModel;
class ReceiveSearch;
} // namespace link

// ASCII text in a fixed-pitch font drawn as glyphs set in columns, all of a
// paint in one run: text drawn so is neither laid out nor shaped at every
// paint, which was most of what a paint of the hex view or the times cost.
// Any other character is drawn as a dot.
class ColumnGlyphs
{
public:
    // Starts a paint's run in `font`.
    void begin(const QFont& font);
    // Puts `text` with its first character's baseline at `at`, one column a
    // character of `advance`; blanks take their column and draw nothing.
    void add(QStringView text, QPointF at, qreal advance);
    void draw(QPainter& painter, QPointF origin = {});

private:
    QFont m_font;
    QRawFont m_rawFont;
    std::array<quint32, 128> m_glyphs{};
    QList<quint32> m_indexes;
    QList<QPointF> m_positions;
};

// The receive window's text, with a margin for the arrival time of each line
// and the search's matches marked. Its blocks are the model's lines.
class ReceiveText : public TextArea
{
    Q_OBJECT
public:
    ReceiveText(const link::ReceiveModel& model, const link::ReceiveSearch& search, QWidget* parent = nullptr);

    void setTimesShown(bool shown);
    bool timesShown() const { return m_timesShown; }
    // Marks the matches in view again (the search or the text changed).
    void showMatches();
    // Puts the current match in view.
    void goToCurrent();
    // The position in the text of the first line in view.
    qsizetype topPosition() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class Margin;
    void paintMargin(QPaintEvent* event);
    void paintMatches(QPainter& painter, const QRect& area);
    int marginWidth() const;

    const link::ReceiveModel& m_model;
    const link::ReceiveSearch& m_search;
    Margin* m_margin;
    ColumnGlyphs m_marginGlyphs;
    bool m_timesShown = false;
};

// The bytes of the receive window as a hex dump, painted row by row from
// the model, so that it costs nothing for the rows out of view.
class HexView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    HexView(const link::ReceiveModel& model, const link::ReceiveSearch& search, QWidget* parent = nullptr);

    // The model changed: the rows follow the end when the end was in view.
    void modelChanged();
    // The first byte in view; shows the row of a byte.
    qsizetype topOffset() const;
    void showOffset(qsizetype offset);
    void goToCurrent();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;


private:
    int rowsInView() const;
    void updateRange();
    void drawRows(QPainter& painter, QPointF at, qsizetype firstRow, qsizetype rows);

    const link::ReceiveModel& m_model;
    const link::ReceiveSearch& m_search;
    ColumnGlyphs m_glyphs;
};

// The find bar under the receive window.
class FindBar : public QWidget
{
    Q_OBJECT
public:
    explicit FindBar(QWidget* parent = nullptr);

    QLineEdit* field() const { return m_txtFind; }
    bool matchCase() const;
    void setCount(const QString& text);
    // Shows the bar with the field ready for typing.
    void open();

signals:
    void queryChanged();
    void next();
    void previous();
    void closed();

private:
    QLineEdit* m_txtFind;
    QPushButton* m_cmdFindPrevious;
    QPushButton* m_cmdFindNext;
    QCheckBox* m_chkMatchCase;
    QLabel* m_lblFindCount;
};

} // namespace varnix
