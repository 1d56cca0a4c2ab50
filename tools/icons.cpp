// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the program's icon for the desktop's icon theme:
// <dir>/hicolor/<n>x<n>/apps/org.varnix.Varnix.png for each size a desktop
// looks for.
#include "display/icon.h"

#include "varnixversion.h"

#include <QDir>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fputs("usage: varnix_icons <directory>\n", stderr);
        return 2;
    }
    for (int size : varnix::kIconSizes) {
        const QString dir = QStringLiteral("%1/hicolor/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(dir) || !varnix::programIcon(size).save(dir + QStringLiteral("/%1.png").arg(QLatin1String(varnix::kAppId)))) {
            std::fprintf(stderr, "varnix_icons: cannot write %s\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
