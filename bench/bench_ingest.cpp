// Whole-program ingest: the simulator (a separate process) streams text over
// a pseudo-terminal into the windowed program running here on the offscreen
// platform. Prints bytes per second shown, CPU seconds per MB, peak RSS, and
// the idle CPU with the port open and quiet.
//
//   bench_ingest SIM_EXECUTABLE [MEGABYTES] [BAUD] [SECONDS_IDLE]
//   BAUD 0 streams unpaced; with a baud rate the stream lasts MEGABYTES at that rate.
#include "app/application.h"
#include "app/main_window.h"
#include "serial/serial_state.h"
#include "tests/support/app_harness.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long PeakRssKb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Runs the event loop until pred holds or the limit passes, looking every
// 100 ms: a busier check would itself show up in the CPU figures.
void RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (pred()) {
            loop.quit();
        }
    });
    QTimer::singleShot(limit, &loop, &QEventLoop::quit);
    check.start(100);
    loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SIM_EXECUTABLE [MEGABYTES] [BAUD] [IDLE_SECONDS]\n",
                     argv[0]);
        return 2;
    }
    const double megabytes = argc > 2 ? std::atof(argv[2]) : 50;
    const int baud = argc > 3 ? std::atoi(argv[3]) : 0;
    const int idleSeconds = argc > 4 ? std::atoi(argv[4]) : 5;
    const auto bytes = uint64_t(megabytes * 1e6);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ventaro::VentaroApplication app(argc, argv);
    ventaro::testing::TestHome home;
    ventaro::testing::InstallScriptedUi();

    QProcess sim;
    QStringList args{"--stream", QString::number(bytes)};
    if (baud > 0) {
        args << "--baud" << QString::number(baud);
    }
    sim.start(QString::fromLocal8Bit(argv[1]), args);
    if (!sim.waitForReadyRead(10000)) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    home.PointPort("COM2", QString::fromUtf8(sim.readLine()).trimmed());

    ventaro::TMainForm* form = ventaro::CreateForms();
    const long rssStart = PeakRssKb();
    const double cpuStart = CpuSeconds();
    const auto start = Clock::now();
    // Generous: the line rate when paced, 100 kB/s at worst when not.
    const uint64_t rate = baud > 0 ? uint64_t(baud) / 10 : 100'000;
    const auto limit = std::chrono::milliseconds(int64_t(10000 + bytes * 1000 / rate));
    RunUntil([&] { return ventaro::BytesReceived.load() >= bytes; }, limit);
    const double wall = Seconds(Clock::now() - start);
    const double cpu = CpuSeconds() - cpuStart;
    const uint64_t got = ventaro::BytesReceived.load();
    const long rssEnd = PeakRssKb();

    const double idleCpuStart = CpuSeconds();
    const auto idleStart = Clock::now();
    RunUntil([] { return false; }, std::chrono::seconds(idleSeconds));
    const double idleCpu = (CpuSeconds() - idleCpuStart) / Seconds(Clock::now() - idleStart);

    std::printf("stream          %.1f MB %s\n", double(bytes) / 1e6,
                baud ? QString("paced at %1 baud").arg(baud).toUtf8().constData() : "unpaced");
    std::printf("bytes counted   %llu of %llu (%s)\n", (unsigned long long)got,
                (unsigned long long)bytes, got == bytes ? "all" : "MISSING BYTES");
    std::printf("throughput      %.0f bytes/s shown\n", double(got) / wall);
    std::printf("CPU             %.3f s per MB, %.2f%% of one core while streaming\n",
                cpu / (double(got) / 1e6), 100.0 * cpu / wall);
    std::printf("peak RSS        %ld kB at start of stream, %ld kB at end (growth %ld kB)\n",
                rssStart, rssEnd, rssEnd - rssStart);
    std::printf("idle CPU        %.2f%% of one core with the port open and quiet\n",
                100.0 * idleCpu);
    form->close();
    ventaro::ShutDownAfterExit();
    sim.terminate();
    sim.waitForFinished(5000);
    return got == bytes ? 0 : 1;
}
