#include "app/commandline.h"
#include "app/icon.h"
#include "app/mainwindow.h"
#include "app/realplatform.h"

#include "varnixversion.h"

#include <QApplication>
#include <QFile>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    const char* logFile = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--log") == 0) {
            if (i + 1 >= argc) {
                std::fputs("varnix: --log needs the file to write the session log to\n", stderr);
                return 2;
            }
            logFile = argv[++i];
            continue;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Varnix %s\n", varnix::kVersion);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::puts("Usage: varnix [--help] [--version] [--log FILE]  (draws on a Tessel graphic LCD board over a "
                      "serial port; everything else is done in its window)\n"
                      "  --log FILE  start with the session log running, added to the end of FILE");
            return 0;
        }
    }
    if (!varnix::displayAvailable()) {
        std::fputs("varnix: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set)\n",
                   stderr);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnix"));
    QApplication::setApplicationVersion(QString::fromLatin1(varnix::kVersion));
    QApplication::setDesktopFileName(QStringLiteral("varnix"));
    QApplication::setWindowIcon(varnix::programIconSet());
    // Exit and the window's close end the system; Help or About left open
    // must not keep it alive.
    QApplication::setQuitOnLastWindowClosed(false);

    varnix::RealPlatform real;
    varnix::Main window(real.platform());
    window.show();
    if (logFile)
        window.startLog(QFile::decodeName(logFile));
    return QApplication::exec();
}
