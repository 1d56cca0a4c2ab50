// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual board: the board's firmware on a pseudo-terminal, with a
// window that shows its display, or without one (--headless).
#include "app/virtualboard/boardwindow.h"
#include "app/cli/commandline.h"
#include "app/cli/usage.h"
#include "board/virtualboard.h"
#include "link/core/boardlink.h"

#include "varnixversion.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// Ends the event loop on SIGINT, SIGTERM and SIGHUP, so that the board takes
// its link away however it is stopped.
void quitOnSignals(QCoreApplication& app)
{
    if (::pipe(signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action{};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(sig, &action, nullptr);
}
} // namespace

int main(int argc, char* argv[])
{
    bool headless = false;
    bool publish = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--headless") == 0) {
            headless = true;
        } else if (std::strcmp(argv[i], "--no-link") == 0) {
            publish = false;
        } else if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Varnix virtual board %s\n", varnix::kVersion);
            return 0;
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(varnix::usage::helpText(varnix::usage::board()).c_str(), stdout);
            return 0;
        } else {
            std::fprintf(stderr, "varnix-board: unknown option %s (see --help)\n", argv[i]);
            return 2;
        }
    }
    if (!headless && !varnix::displayAvailable()) {
        std::fputs("varnix-board: no display; running headless\n", stderr);
        headless = true;
    }

    std::unique_ptr<QCoreApplication> app;
    if (headless)
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);
    quitOnSignals(*app);

    varnix::board::VirtualBoard board;
    if (!board.start()) {
        std::fprintf(stderr, "varnix-board: %s\n", qPrintable(board.errorString()));
        return 1;
    }
    if (publish && !board.publish(varnix::link::virtualBoardLink())) {
        // Another board holds the link: this one can still run beside it.
        const bool taken = !varnix::link::virtualBoardDevice(varnix::link::virtualBoardLink()).isEmpty();
        std::fprintf(stderr, "varnix-board: %s%s\n", qPrintable(board.errorString()),
                     taken ? "; --no-link starts this one beside it, without the link" : "");
        return 1;
    }
    std::printf("%s\n", qPrintable(board.devicePath()));
    std::fflush(stdout);

    std::unique_ptr<varnix::BoardWindow> window;
    if (!headless) {
        QApplication::setQuitOnLastWindowClosed(true);
        window = std::make_unique<varnix::BoardWindow>(board);
        window->show();
    }
    return app->exec();
}
