#include "app/commandline.h"
#include "app/icon.h"
#include "app/mainwindow.h"
#include "app/realplatform.h"
#include "app/usage.h"

#include "varnixversion.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Varnix %s\n", varnix::kVersion);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(varnix::usage::helpText(varnix::usage::varnix()).c_str(), stdout);
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
    QApplication::setDesktopFileName(QString::fromLatin1(varnix::kAppId));
    QApplication::setWindowIcon(varnix::programIconSet());
    // Exit and the window's close end the system; Help or About left open
    // must not keep it alive.
    QApplication::setQuitOnLastWindowClosed(false);

    varnix::RealPlatform real;
    varnix::Main window(real.platform());
    window.show();
    return QApplication::exec();
}
