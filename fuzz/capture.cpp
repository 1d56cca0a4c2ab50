// SPDX-License-Identifier: GPL-3.0-or-later
// The capture reader fed any bytes as a file, under a script's name or
// another as the first byte says: it must not crash and its times must never
// go back. And the same bytes, written as a capture in parts going both
// ways, must read back byte for byte, each in its direction.
#include "check.h"

#include "monitor/core/capture.h"

#include <QBuffer>
#include <QDate>
#include <QDateTime>

#include <algorithm>
#include <cstdint>

using namespace varnix;
using Item = monitor::CaptureReader::Item;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    {
        QBuffer file;
        file.setData(bytes);
        file.open(QIODevice::ReadOnly);
        monitor::CaptureReader reader(file, data[0] & 1 ? QStringLiteral("any.vnx") : QStringLiteral("any.log"));
        qint64 at = std::numeric_limits<qint64>::min();
        for (Item item = reader.next(); item.kind != Item::Kind::End; item = reader.next()) {
            FUZZ_REQUIRE(item.at >= at);
            at = item.at;
        }
    }

    // Parts of one to sixteen bytes, every other one from the board when the
    // first byte says so, a millisecond or more apart.
    const int chunk = (data[0] >> 1 & 0x0f) + 1;
    const bool both = data[0] & 0x20;
    const qint64 start = QDateTime(QDate(2025, 1, 31), QTime(23, 59, 59)).toMSecsSinceEpoch();
    QBuffer file;
    file.open(QIODevice::WriteOnly);
    QByteArray fromHost, fromBoard;
    {
        monitor::CaptureWriter writer(file, QStringLiteral("host a, board b, 19200,n,8,1"), start);
        qint64 at = start;
        int part = 0;
        for (qsizetype from = 0; from < bytes.size(); from += chunk, ++part) {
            const QByteArray piece = bytes.mid(from, chunk);
            const bool board = both && part % 2;
            writer.add(board ? monitor::Direction::Board : monitor::Direction::Host, piece, at);
            (board ? fromBoard : fromHost) += piece;
            at += part % 3;
        }
    }
    file.close();
    file.open(QIODevice::ReadOnly);
    monitor::CaptureReader reader(file, QStringLiteral("capture.log"));
    FUZZ_REQUIRE(reader.form() == monitor::CaptureReader::Form::Capture);
    QByteArray readHost, readBoard;
    for (Item item = reader.next(); item.kind != Item::Kind::End; item = reader.next()) {
        FUZZ_REQUIRE(item.kind == Item::Kind::Bytes);
        (item.direction == monitor::Direction::Board ? readBoard : readHost) += item.bytes;
    }
    FUZZ_REQUIRE(readHost == fromHost && readBoard == fromBoard);
    return 0;
}
