// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual board: the board's firmware on a pseudo-terminal, with a
// window that shows its display, or without one (--headless); or a rack of
// them in one process (--boards N), each on a pseudo-terminal of its own.
#include "app/virtualboard/boardwindow.h"
#include "app/cli/commandline.h"
#include "app/cli/fleetcommand.h"
#include "app/cli/usage.h"
#include "board/virtualboard.h"
#include "link/core/boardlink.h"

#include "varnixversion.h"

#include <QApplication>
#include <QSaveFile>
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/epoll.h>
#include <unistd.h>
#include <vector>

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

// The most boards one process runs: each holds both ends of its
// pseudo-terminal, and the system's own limit of them is 4096 by default.
constexpr long kMostBoards = 4096;
// Files a process has open besides its boards' (its standard streams, the
// event loop's own, the signal pipe), with room to spare.
constexpr std::uint64_t kOtherFiles = 32;

// A rack of boards, each with its device printed; with `portsFile`, a ports
// file names them board-1 ... board-N for varnix --ports.
int runRack(QCoreApplication& app, int count, const QString& portsFile)
{
    const std::uint64_t files = varnix::allowEveryFile();
    if (files != 0 && files < std::uint64_t(count) * 2 + kOtherFiles) {
        std::fprintf(stderr,
                     "varnix-board: %d boards need %llu open files, and this process may have only %llu; raise "
                     "the limit (ulimit -n) or run fewer\n",
                     count, static_cast<unsigned long long>(std::uint64_t(count) * 2 + kOtherFiles),
                     static_cast<unsigned long long>(files));
        return 1;
    }
    std::vector<std::unique_ptr<varnix::board::VirtualBoard>> boards;
    boards.reserve(std::size_t(count));
    QByteArray ports = "# " + QByteArray::number(count) + " virtual boards of varnix-board, pid "
        + QByteArray::number(qint64(::getpid())) + "\n";
    const int width = int(QByteArray::number(count).size());
    for (int i = 1; i <= count; ++i) {
        auto board = std::make_unique<varnix::board::VirtualBoard>();
        if (!board->start()) {
            const QString why = board->errorString();
            std::fprintf(stderr, "varnix-board: board %d of %d: %s%s\n", i, count, qPrintable(why),
                         why.startsWith(QStringLiteral("cannot open a pseudo-terminal"))
                             ? " (the system's limit is in /proc/sys/kernel/pty/max)"
                             : "");
            return 1;
        }
        ports += QStringLiteral("board-%1 %2\n").arg(i, width, 10, QChar(u'0')).arg(board->devicePath()).toLocal8Bit();
        boards.push_back(std::move(board));
    }
    if (!portsFile.isEmpty()) {
        // Whole or not at all, for a reader that waits for it to appear.
        QSaveFile file(portsFile);
        if (!file.open(QIODevice::WriteOnly) || file.write(ports) != ports.size() || !file.commit()) {
            std::fprintf(stderr, "varnix-board: %s: %s\n", qPrintable(portsFile), qPrintable(file.errorString()));
            return 1;
        }
    }
    // One epoll over every board's line, watched by one notifier: each time
    // the event loop wakes it then polls one descriptor rather than a
    // thousand terminals, which for a large rack is most of its time.
    const int lines = ::epoll_create1(EPOLL_CLOEXEC);
    if (lines >= 0) {
        for (std::size_t i = 0; i < boards.size(); ++i) {
            epoll_event watched{};
            watched.events = EPOLLIN;
            watched.data.u64 = i;
            if (::epoll_ctl(lines, EPOLL_CTL_ADD, boards[i]->lineToWatch(), &watched) != 0) {
                std::fprintf(stderr, "varnix-board: cannot watch the boards' lines: %s\n", std::strerror(errno));
                return 1;
            }
        }
        auto* notifier = new QSocketNotifier(lines, QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [&boards, lines] {
            std::array<epoll_event, 64> ready{};
            int count = 0;
            while ((count = ::epoll_wait(lines, ready.data(), int(ready.size()), 0)) > 0) {
                for (int k = 0; k < count; ++k)
                    boards[std::size_t(ready[std::size_t(k)].data.u64)]->readLine();
                if (count < int(ready.size()))
                    break;
            }
        });
    }
    for (const auto& board : boards)
        std::printf("%s\n", qPrintable(board->devicePath()));
    std::fflush(stdout);
    return app.exec();
}
} // namespace

int main(int argc, char* argv[])
{
    bool headless = false;
    bool publish = true;
    int rack = 0;
    QString portsFile;
    for (int i = 1; i < argc; ++i) {
        const bool takesValue = std::strcmp(argv[i], "--boards") == 0 || std::strcmp(argv[i], "--ports-file") == 0;
        if (takesValue && i + 1 == argc) {
            std::fprintf(stderr, "varnix-board: %s needs a value (see --help)\n", argv[i]);
            return 2;
        }
        if (std::strcmp(argv[i], "--ports-file") == 0) {
            portsFile = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(argv[i], "--boards") == 0) {
            const char* value = argv[++i];
            char* end = nullptr;
            errno = 0;
            const long count = std::strtol(value, &end, 10);
            if (*value == '\0' || *end != '\0' || errno != 0 || count < 1 || count > kMostBoards) {
                std::fprintf(stderr, "varnix-board: --boards takes a number of boards from 1 to %ld, not \"%s\"\n",
                             kMostBoards, value);
                return 2;
            }
            rack = int(count);
        } else if (std::strcmp(argv[i], "--headless") == 0) {
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
    // A rack has no windows, and no one board of it holds the link.
    if (rack > 0 || !portsFile.isEmpty()) {
        QCoreApplication app(argc, argv);
        quitOnSignals(app);
        return runRack(app, std::max(rack, 1), portsFile);
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
