// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/textlimit.h"

#include <QLocale>

#include <algorithm>

namespace varnix::protocol {

qsizetype limitCut(QStringView text, qsizetype noticeSize, qsizetype limit)
{
    const qsizetype slack = std::max<qsizetype>(1, limit / 8);
    if (limit <= 0 || text.size() - noticeSize <= limit + slack)
        return 0;
    qsizetype cut = text.size() - limit;
    const qsizetype lineBreak = text.mid(cut - 1, slack + 1).indexOf(u"\r\n");
    if (lineBreak >= 0)
        cut += lineBreak + 1;
    return cut;
}

QString droppedNotice(qint64 dropped)
{
    return QStringLiteral("[%1 earlier characters dropped]\r\n").arg(groupedCount(dropped));
}

QString groupedCount(qint64 count)
{
    QLocale grouped(QLocale::C);
    grouped.setNumberOptions(QLocale::DefaultNumberOptions);
    return grouped.toString(count);
}

} // namespace varnix::protocol
