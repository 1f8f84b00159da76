// Records download efficiency on a paced line: the windowed program's Get
// Records against the simulator, and lrzsz's rx (8-bit checksum XMODEM) fed
// the same blocks through a socketpair relay, when rx is installed.
// Efficiency = line time of every character of the transfer (10 bits each)
// over the time from the first NAK to the last ACK.
//
//   bench_records [BLOCKS] [BAUD...]      defaults: 300 blocks at 115200 and 9600
#include "app/application.h"
#include "tests/support/app_harness.h"

#include <QSettings>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

brenvix::RecordsSet Records(int blocks) {
    brenvix::RecordsSet set = brenvix::DemoRecords();
    const int values = std::min(32767, std::max(0, blocks - 6) * 32);
    set.totalValues = int16_t(values);
    set.values.resize(size_t(values));
    for (int i = 0; i < values; ++i) {
        set.values[size_t(i)] = float((i * 37) % 1000) / 10.0f;
    }
    return set;
}

double Efficiency(const brenvix::TransferStats& stats, int baud) {
    const double line = double(stats.wireChars) * 10.0 / baud;
    const double took = std::chrono::duration<double>(stats.lastAck - stats.firstNak).count();
    std::printf(
        "  %d blocks sent, %d NAKs, %d ACKs, %llu characters, %.3f s on the line, %.3f s taken\n",
        stats.blocksSent, stats.naksReceived, stats.acksReceived,
        (unsigned long long)stats.wireChars, line, took);
    return took > 0 ? line / took : 0;
}

double Windowed(int blocks, int baud) {
    brenvix::SimConfig config;
    config.baud = baud;
    config.records = Records(blocks);
    ventaro::testing::AppHarness app(config);
    // The port set to the line's rate, as a user would.
    QSettings(app.home.ConfigDir() + "/Ventaro/Ventaro.conf", QSettings::IniFormat)
        .setValue("Ventaro/Baud", baud == 115200  ? 5
                                  : baud == 38400 ? 4
                                                  : 3);
    app.Start();
    app.sim.WaitForReceived(1, 5s);
    app.ui->files.push_back(app.home.Path("records.txt"));
    app.form->GetRecords1Click();
    return Efficiency(app.sim.Transfer(), baud);
}

// Copies what is readable from one descriptor to the other.
void Relay(int from, int to) {
    uint8_t buf[4096];
    const ssize_t n = ::read(from, buf, sizeof buf);
    for (ssize_t off = 0; n > 0 && off < n;) {
        const ssize_t w = ::write(to, buf + off, size_t(n - off));
        if (w <= 0) {
            break;
        }
        off += w;
    }
}

double WithRx(int blocks, int baud) {
    if (::access("/usr/bin/rx", X_OK) != 0) {
        return -1;
    }
    brenvix::SimConfig config;
    config.baud = baud;
    config.plainXmodemSender = true;
    config.records = Records(blocks);
    brenvix::Simulator sim(config);
    const int line = ::open(sim.OpenPty().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    ::tcgetattr(line, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(line, TCSANOW, &tio);
    sim.Start();
    const auto dir = std::filesystem::temp_directory_path() / "ventaro-bench-rx";
    std::filesystem::create_directories(dir);
    int sv[2];
    ::socketpair(AF_UNIX, SOCK_STREAM, 0, sv);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(sv[1], 0);
        ::dup2(sv[1], 1);
        ::close(sv[0]);
        if (::chdir(dir.c_str()) != 0) {
            ::_exit(127);
        }
        ::execl("/usr/bin/rx", "rx", "-q", "-y", "records.bin", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(sv[1]);
    const auto deadline = Clock::now() + 600s;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) != pid && Clock::now() < deadline) {
        pollfd p[2] = {{line, POLLIN, 0}, {sv[0], POLLIN, 0}};
        ::poll(p, 2, 50);
        if (p[0].revents & POLLIN) {
            Relay(line, sv[0]);
        }
        if (p[1].revents & POLLIN) {
            Relay(sv[0], line);
        }
    }
    ::close(sv[0]);
    ::close(line);
    std::filesystem::remove_all(dir);
    // rx may lose its very last ACK as it exits: the sender's last ACK time stands.
    return Efficiency(sim.Transfer(), baud);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ventaro::VentaroApplication app(argc, argv);
    const int blocks = argc > 1 ? std::atoi(argv[1]) : 300;
    std::vector<int> bauds;
    for (int i = 2; i < argc; ++i) {
        bauds.push_back(std::atoi(argv[i]));
    }
    if (bauds.empty()) {
        bauds = {115200, 9600};
    }
    for (int baud : bauds) {
        const double ours = Windowed(blocks, baud);
        const double rx = WithRx(blocks, baud);
        std::printf("%6d baud, %d blocks: windowed program %.1f%%", baud, blocks, 100 * ours);
        if (rx > 0) {
            std::printf(", rx %.1f%%, ratio %.3f", 100 * rx, ours / rx);
        }
        std::printf("\n");
    }
    return 0;
}
