// ventaro-cli's records download against the simulator paced at a real line
// rate, the tool run as a process as a timer would run it.
//
// Line-rate efficiency = (wire characters of the transfer x 10 bits / baud) /
// (time from the first NAK to the last ACK), both taken from the simulator's
// transfer statistics: 100% would be a line never idle.
//
//   bench_cli [--records N] [BAUD...]
//   The large demo set (1200 records, 306 blocks) at 115200 and 9600 baud by
//   default; --records N keeps only the first N records (9600 baud for the
//   whole set takes about 45 s).
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

brenvix::RecordsSet Records(int count) {
    brenvix::RecordsSet set = brenvix::LargeDemoRecords();
    if (count > 0) {
        const int values = std::min(count * set.fieldsPerRecord, int(set.totalValues));
        set.values.resize(size_t(values));
        set.totalValues = int16_t(values);
    }
    return set;
}

int RunCli(const QString& device, int baud, const QTemporaryDir& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    QProcess cli;
    cli.setProcessEnvironment(env);
    cli.setStandardOutputFile(QProcess::nullDevice());
    cli.setStandardErrorFile(QProcess::nullDevice());
    cli.start(QStringLiteral(VENTARO_CLI_EXE),
              {QStringLiteral("--port"), device, QStringLiteral("--baud"), QString::number(baud),
               QStringLiteral("get-records"), home.path() + QStringLiteral("/records.txt")});
    if (!cli.waitForFinished(15 * 60 * 1000)) {
        cli.kill();
        cli.waitForFinished();
        return -1;
    }
    return cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
}

// When the instrument received the acknowledgement of its last block, i.e.
// just before it sent EOT: the ACK before the final one.
Clock::time_point LastBlockAck(const brenvix::Simulator& sim) {
    std::vector<Clock::time_point> acks;
    for (const brenvix::RxByte& rx : sim.Received()) {
        if (rx.byte == 0x06) {
            acks.push_back(rx.at);
        }
    }
    return acks.size() >= 2 ? acks[acks.size() - 2] : Clock::time_point{};
}

void Bench(int baud, int records) {
    brenvix::SimConfig config;
    config.records = Records(records);
    config.baud = baud;
    brenvix::Simulator sim(config);
    const QString device = QString::fromStdString(sim.OpenPty());
    sim.Start();
    QTemporaryDir home;
    const int code = RunCli(device, baud, home);
    const brenvix::TransferStats stats = sim.Transfer();
    const double onLine = double(stats.wireChars) * 10.0 / baud;
    const double measured = std::chrono::duration<double>(stats.lastAck - stats.firstNak).count();
    std::printf(
        "get-records %6d baud: %d blocks sent, %llu wire chars, %.3f s of line time in "
        "%.3f s: efficiency %.2f%% (exit %d)\n",
        baud, stats.blocksSent, static_cast<unsigned long long>(stats.wireChars), onLine, measured,
        measured > 0 ? 100.0 * onLine / measured : 0.0, code);
    // The same without the ending (EOT and the final ACK), to tell the
    // per-block turnaround from the wait that reading the lone EOT costs.
    const double blocksLine = double(stats.wireChars - 2) * 10.0 / baud;
    const double blocksTook =
        std::chrono::duration<double>(LastBlockAck(sim) - stats.firstNak).count();
    std::printf("  blocks only: %.3f s of line time in %.3f s: %.2f%%; the ending took %.3f s\n",
                blocksLine, blocksTook, blocksTook > 0 ? 100.0 * blocksLine / blocksTook : 0.0,
                measured - blocksTook);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int records = 0;
    std::vector<int> bauds;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--records") == 0 && i + 1 < argc) {
            records = std::atoi(argv[++i]);
        } else {
            bauds.push_back(std::atoi(argv[i]));
        }
    }
    if (bauds.empty()) {
        bauds = {115200, 9600};
    }
    for (int baud : bauds) {
        if (baud > 0) {
            Bench(baud, records);
        }
    }
    return 0;
}
