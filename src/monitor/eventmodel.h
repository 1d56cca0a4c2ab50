// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/core/eventtable.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

namespace varnix {

// The monitor's events as the rows of a table: number, time, direction,
// frame, meaning, the model's verdict and the board's answer. It shows what the event table held when last updated,
// so the table may gain events in between.
class EventModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { Number, Time, Direction, Frame, Meaning, Verdict, Board, ColumnCount };

    explicit EventModel(const monitor::EventTable& table, QObject* parent = nullptr);

    // The columns whose text is bold in a row that stands out.
    static bool isBold(int column) { return column >= Frame; }

    void setTimesOfDay(bool timesOfDay);
    bool timesOfDay() const { return m_timesOfDay; }
    // Shows the change: `removed` rows went from the front, and the table's
    // new rows came at the end.
    void update(qsizetype removed);
    // The table was emptied or begun anew.
    void reset();
    // An event the table holds changed (the board answered it).
    void changed(int row);

    // Named apart from QObject::event(), which it would hide.
    const monitor::Event& eventAt(int row) const { return m_table.at(row); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const monitor::EventTable& m_table;
    int m_shown = 0;
    bool m_timesOfDay = true;
};

// Which events the table shows: all, those of one kind of frame (or text,
// answers, notes), the refused ones, those holding a text.
class EventFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    // The kinds to choose from: frames by their command letter, and these.
    static constexpr char kAll = 0;
    static constexpr char kUnknown = '?';
    static constexpr char kText = '.';
    static constexpr char kAnswers = '<';
    static constexpr char kNotes = '*';

    using QSortFilterProxyModel::QSortFilterProxyModel;

    void setKind(char kind);
    void setRefusedOnly(bool refusedOnly);
    void setText(const QString& text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    char m_kind = kAll;
    bool m_refusedOnly = false;
    QString m_text;
};

} // namespace varnix
