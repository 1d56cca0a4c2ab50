// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/boardlink.h"

#include <QFileInfo>

#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace varnix::link {

namespace {
bool ownFolder(const QString& path)
{
    struct stat st{};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode)
        && st.st_uid == ::getuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}
} // namespace

QString virtualBoardLink()
{
    // The session's runtime folder as desktop programs (and Qt's runtime
    // location) take it; the usual place of one when it is not set.
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !ownFolder(runtime))
        runtime = QStringLiteral("/run/user/%1").arg(::getuid());
    const QString folder =
        ownFolder(runtime) ? runtime + QStringLiteral("/varnix") : QStringLiteral("/tmp/varnix-%1").arg(::getuid());
    return folder + QStringLiteral("/virtual-board");
}

bool makeVirtualBoardFolder(const QString& linkPath)
{
    const QString folder = QFileInfo(linkPath).absolutePath();
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    return ownFolder(folder);
}

QString virtualBoardDevice(const QString& linkPath)
{
    const QFileInfo link(linkPath);
    if (linkPath.isEmpty() || !link.isSymLink() || !ownFolder(link.absolutePath()))
        return {};
    const QString device = link.symLinkTarget();
    // A board that was killed leaves its link behind, and the kernel gives
    // its pseudo-terminal's number to the next terminal opened; a link older
    // than the device it names was made for an earlier one.
    struct stat linkStat{};
    struct stat deviceStat{};
    if (::lstat(QFile::encodeName(linkPath).constData(), &linkStat) != 0
        || ::stat(QFile::encodeName(device).constData(), &deviceStat) != 0)
        return {};
    const auto made = [](const timespec& t) { return std::pair(t.tv_sec, t.tv_nsec); };
    return made(linkStat.st_mtim) >= made(deviceStat.st_ctim) ? device : QString();
}

} // namespace varnix::link
