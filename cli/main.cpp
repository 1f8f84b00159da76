// ventaro-cli: the instrument's transfers and commands without a window, for
// scripts and timers. See cli/arguments.cpp for the command line.
#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/session.h"
#include "serial/terminal_view.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

namespace {

// Only the flag: the loops notice it at their next pass and end in order,
// so files are closed and the port is given back.
extern "C" void OnInterrupt(int) {
    ventaro::SetApplicationTerminated(true);
}

void InstallSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A reader that went away (ventaro-cli version | head -c1) must not kill
    // the run before the port is given back.
    std::signal(SIGPIPE, SIG_IGN);
}

QStringList Arguments(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args << QString::fromLocal8Bit(argv[i]);
    }
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace ventaro::cli;
    const Parsed parsed = ParseArguments(Arguments(argc, argv));
    if (parsed.status == ParseStatus::Help) {
        std::fputs(UsageText().toLocal8Bit().constData(), stdout);
        return kExitOk;
    }
    if (parsed.status == ParseStatus::BadUsage) {
        std::fprintf(stderr, "ventaro-cli: %s\n\n%s", parsed.error.toLocal8Bit().constData(),
                     UsageText().toLocal8Bit().constData());
        return kExitUsage;
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ventaro-cli"));
    InstallSignalHandlers();
    return Run(parsed.options);
}
