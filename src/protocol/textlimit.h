// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

namespace varnix::protocol {

// Where a text that keeps only its newest `limit` characters cuts its front.
// The text may start with the line of an earlier cut (`noticeSize`
// characters long, counted out). Nothing goes (0) until the text is an
// eighth over the limit, so that the cost stays in proportion to what
// arrives; then the cut goes to the start of a line when one begins within
// that eighth. A longer line is cut, though never inside a CR LF. limit 0
// keeps everything.
qsizetype limitCut(QStringView text, qsizetype noticeSize, qsizetype limit);

// The first line of a cut text: "[1,234 earlier characters dropped]" + CR LF.
QString droppedNotice(qint64 dropped);

// A count with its thousands grouped by commas: "1,234".
QString groupedCount(qint64 count);

} // namespace varnix::protocol
