// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/eventmodel.h"

#include "monitor/core/eventtext.h"

#include <QColor>
#include <QFont>

namespace varnix {

using monitor::Event;

EventModel::EventModel(const monitor::EventTable& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table)
{
}

void EventModel::setTimesOfDay(bool timesOfDay)
{
    if (timesOfDay == m_timesOfDay)
        return;
    m_timesOfDay = timesOfDay;
    if (m_shown > 0)
        emit dataChanged(index(0, Time), index(m_shown - 1, Time));
}

void EventModel::update(qsizetype removed)
{
    if (removed > 0) {
        beginRemoveRows({}, 0, int(removed) - 1);
        m_shown -= int(removed);
        endRemoveRows();
    }
    if (m_table.size() > m_shown) {
        beginInsertRows({}, m_shown, int(m_table.size()) - 1);
        m_shown = int(m_table.size());
        endInsertRows();
    }
}

void EventModel::reset()
{
    beginResetModel();
    m_shown = int(m_table.size());
    endResetModel();
}

void EventModel::changed(int row)
{
    if (row < m_shown)
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

int EventModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_shown;
}

int EventModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EventModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_shown)
        return {};
    const Event& event = m_table.at(index.row());
    // A frame the board answered otherwise than the model stands out as a
    // refused one does.
    const bool refused = event.kind == Event::Kind::Refused || event.unexpected || event.differs()
        || event.answered == Event::Answered::NotDelivered;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        switch (index.column()) {
        case Number:
            return QString::number(event.number);
        case Time:
            return monitor::timeText(event.first, m_timesOfDay);
        case Direction:
            return QString(monitor::directionMark(event.direction()));
        case Frame:
            return event.kind == Event::Kind::Note ? QString() : event.text();
        case Meaning:
            return event.meaning;
        case Verdict:
            return event.verdict();
        case Board:
            return event.boardText();
        }
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == Number)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case Qt::BackgroundRole:
        if (refused)
            return QColor(255, 205, 205);
        if (event.kind == Event::Kind::Unfinished || event.kind == Event::Kind::Note)
            return QColor(255, 240, 200);
        break;
    case Qt::ForegroundRole:
        if (refused)
            return QColor(150, 0, 0);
        if (event.kind == Event::Kind::Ignored || event.kind == Event::Kind::Skipped)
            return QColor(110, 110, 110);
        break;
    case Qt::FontRole:
        if (refused && isBold(index.column())) {
            QFont font;
            font.setBold(true);
            return font;
        }
        break;
    }
    return {};
}

QVariant EventModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Number:
        return QStringLiteral("#");
    case Time:
        return QStringLiteral("Time");
    case Direction:
        return QStringLiteral("Dir");
    case Frame:
        return QStringLiteral("Frame");
    case Meaning:
        return QStringLiteral("Meaning");
    case Verdict:
        return QStringLiteral("Verdict");
    case Board:
        return QStringLiteral("Board");
    }
    return {};
}

void EventFilter::setKind(char kind)
{
    m_kind = kind;
    invalidateRowsFilter();
}

void EventFilter::setRefusedOnly(bool refusedOnly)
{
    m_refusedOnly = refusedOnly;
    invalidateRowsFilter();
}

void EventFilter::setText(const QString& text)
{
    m_text = text;
    invalidateRowsFilter();
}

bool EventFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    const auto* model = static_cast<const EventModel*>(sourceModel());
    const Event& event = model->eventAt(sourceRow);
    if (m_refusedOnly && event.kind != Event::Kind::Refused && !event.unexpected && !event.differs())
        return false;
    switch (m_kind) {
    case kAll:
        break;
    case kUnknown:
        if (!event.isFrame() || event.letter != 0)
            return false;
        break;
    case kText:
        if (event.kind != Event::Kind::Ignored && event.kind != Event::Kind::Skipped)
            return false;
        break;
    case kAnswers:
        if (event.kind != Event::Kind::Answer)
            return false;
        break;
    case kNotes:
        if (event.kind != Event::Kind::Note)
            return false;
        break;
    default:
        if (!event.isFrame() || event.letter != m_kind)
            return false;
        break;
    }
    if (m_text.isEmpty())
        return true;
    return event.text().contains(m_text, Qt::CaseInsensitive) || event.meaning.contains(m_text, Qt::CaseInsensitive)
        || event.verdict().contains(m_text, Qt::CaseInsensitive) || event.boardText().contains(m_text, Qt::CaseInsensitive);
}

} // namespace varnix
