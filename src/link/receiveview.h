// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "widgets/fields.h"

#include <QAbstractScrollArea>
#include <QFont>
#include <QList>
#include <QRawFont>
#include <QWidget>

#include <array>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;
class QScrollBar;

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

// Where a view of the received text stands: at the end, which it then
// follows as text arrives, or where it was moved to. Only moves of its
// scroll bar that are not the view's own change that (a person's, a match
// shown); the text's layout moves the bar without telling. A toggle of the
// views puts a received byte at the top, which stays the view's top byte
// until the view is moved or the text's positions shift.
class ViewPlace
{
public:
    ViewPlace(QScrollBar* bar, const link::ReceiveModel& model);
    ~ViewPlace();
    ViewPlace(const ViewPlace&) = delete;
    ViewPlace& operator=(const ViewPlace&) = delete;

    bool followsEnd() const { return m_followsEnd; }
    // Whether the view is to follow the end from now on.
    void setFollowsEnd(bool follows);
    std::optional<qsizetype> heldTop() const;
    // `position` was put at the top, where the bar stands now.
    void holdTop(qsizetype position);
    // Runs `move`, whose moves of the bar are the view's own.
    template <typename Move>
    void quietly(Move move)
    {
        ++m_quiet;
        move();
        --m_quiet;
    }

private:
    QScrollBar* m_bar;
    const link::ReceiveModel& m_model;
    QMetaObject::Connection m_moved;
    bool m_followsEnd = true;
    int m_quiet = 0;
    qsizetype m_top = -1;
    int m_topValue = 0;
    qint64 m_topShifts = 0;
};

// The receive window's text, with a margin for the arrival time of each line
// and the search's matches marked. Its blocks are the model's lines.
class ReceiveText : public TextArea
{
    Q_OBJECT
public:
    ReceiveText(const link::ReceiveModel& model, const link::ReceiveSearch& search, QWidget* parent = nullptr);

    // Adds received text: the view stays at the end when it stood there,
    // and otherwise keeps its place.
    void receive(QStringView more);
    void setTimesShown(bool shown);
    bool timesShown() const { return m_timesShown; }
    // Marks the matches in view again (the search or the text changed).
    void showMatches();
    // Puts the current match in view.
    void goToCurrent();
    // While a match is shown, arriving text never moves the view.
    void holdPlace(bool held) { m_held = held; }
    bool followsEnd() const { return m_place.followsEnd() && !m_held; }
    // Puts the view at the end, to follow it.
    void followEnd();
    // The position in the text of the first character in view.
    qsizetype topPosition() const;
    // Shows the line of a position at the top, as far as the end allows.
    void showPosition(qsizetype position);
    // Where the view stands, for the other view to take: none when it
    // follows the end, else its top byte.
    std::optional<qsizetype> place() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    class Margin;
    void paintMargin(QPaintEvent* event);
    void paintMatches(QPainter& painter, const QRect& area);
    int marginWidth() const;
    // The document lays a block out only once it is shown, counting it as
    // one line until then: this lays out the last ones, a view's height of
    // them, so that the bar's end is the text's.
    void layOutEnd();

    const link::ReceiveModel& m_model;
    const link::ReceiveSearch& m_search;
    Margin* m_margin;
    ColumnGlyphs m_marginGlyphs;
    ViewPlace m_place;
    bool m_timesShown = false;
    bool m_held = false;
    bool m_receiving = false;
};

// The bytes of the receive window as a hex dump, painted row by row from
// the model, so that it costs nothing for the rows out of view.
class HexView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    HexView(const link::ReceiveModel& model, const link::ReceiveSearch& search, QWidget* parent = nullptr);

    // The model changed: the rows follow the end when the view does.
    void modelChanged();
    void followEnd();
    // The first byte in view; shows the row of a byte at the top, as far as
    // the end allows.
    qsizetype topOffset() const;
    void showOffset(qsizetype offset);
    // As ReceiveText::place().
    std::optional<qsizetype> place() const;
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
    ViewPlace m_place;
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
