// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/behind.h"

#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace varnix::test {

bool writeBehind(board::VirtualBoard& board, const QByteArray& frames)
{
    const int fd = ::open(QFile::encodeName(board.devicePath()).constData(), O_WRONLY | O_NOCTTY);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, frames.constData(), size_t(frames.size())) == ssize_t(frames.size());
    ::close(fd);
    if (!written || !QTest::qWaitFor([&] { return board.received().endsWith(frames); }))
        return false;
    // Its answer too.
    QTest::qWait(100);
    return true;
}

} // namespace varnix::test
