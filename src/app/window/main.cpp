// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/commandline.h"
#include "display/icon.h"
#include "app/window/mainwindow.h"
#include "app/window/realplatform.h"
#include "editor/core/recovery.h"

#include "varnixversion.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    // --help, --version, --run and --preview are done without a window.
    const varnix::Command command = varnix::parseCommandLine(varnix::arguments(argc, argv));
    if (command.kind != varnix::Command::Kind::Window)
        return varnix::runCommand(command, argc, argv);
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
    if (!command.logFile.isEmpty())
        window.startLog(command.logFile);
    if (!command.device.isEmpty())
        window.openPort(command.device);
    // A screen left unsaved when Varnix ended is offered back by the editor.
    if (command.edit || !varnix::editor::Recovery::left(varnix::editor::Recovery::defaultFolder()).isEmpty())
        window.editScreen(command.editFile);
    return QApplication::exec();
}
