// Program transfer timing against the simulator in this process:
// - Send Pgm of a 2 KB program: from the first text byte to the last one at
//   the instrument, against the schedule of waits the send is built on
//   (10 ms after an ordinary byte, 3 x 10 ms for a TAB, 20 + 100 ms around a
//   CR, nothing for LF).
// - Get Pgm: from the instrument's last byte to the finished file, against
//   the 11 empty reads of 50 ms that end a capture.
#include "app/application.h"
#include "serial/serial_state.h"
#include "tests/support/app_harness.h"

#include <QFile>

#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;
using ventaro::testing::AppHarness;
using ventaro::testing::WaitUntil;

std::string Program(size_t size) {
    std::string text;
    for (int line = 10; text.size() < size; line += 10) {
        text += std::to_string(line) + "\tPRINT \"SENSOR VALUE\"; X\r\n";
    }
    text.resize(size);
    return text;
}

double ScheduleSeconds(const std::string& text) {
    // Waits between the first byte on the line and the last one.
    double ms = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool last = i + 1 == text.size();
        if (c == '\t') {
            ms += last ? 20 : 30;
        } else if (c == '\r') {
            ms += 20 + (last ? 0 : 100);
        } else if (c != '\n') {
            ms += last ? 0 : 10;
        }
    }
    if (text[0] == '\r') {
        ms -= 20;
    }
    return ms / 1000;
}

void BenchSend() {
    const std::string program = Program(2048);
    AppHarness app;
    app.Start();
    app.sim.WaitForReceived(1, std::chrono::seconds(5));
    const QString path = app.home.Path("bench.pgm");
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(program.data(), qsizetype(program.size()));
    file.close();
    app.ui->files.push_back(path);
    app.form->SendPgm1Click();
    std::string sent;
    for (char c : program) {
        if (c == '\t') {
            sent += "   ";
        } else if (c != '\n') {
            sent += c;
        }
    }
    app.sim.WaitFor([&] { return app.sim.StoredProgram().size() >= sent.size(); },
                    std::chrono::seconds(10));
    const auto rx = app.sim.Received();
    // The text is the tail of what arrived.
    const auto first = rx[rx.size() - sent.size()].at;
    const auto last = rx.back().at;
    const double measured = std::chrono::duration<double>(last - first).count();
    const double schedule = ScheduleSeconds(program);
    std::printf("send 2 KB       %.3f s measured, %.3f s scheduled, overhead %.2f%%\n", measured,
                schedule, 100.0 * (measured - schedule) / schedule);
}

void BenchCaptureEnd() {
    const std::string program = Program(4000);
    brenvix::SimConfig config;
    config.program.assign(program.begin(), program.end());
    AppHarness app(config);
    app.Start();
    app.sim.WaitForReceived(1, std::chrono::seconds(5));
    app.ui->files.push_back(app.home.Path("capture.pgm"));
    app.form->GetPgm1Click();
    const uint64_t before = app.sim.BytesSent();
    Clock::time_point lastByte{};
    WaitUntil([&] {
        if (lastByte == Clock::time_point{} && app.sim.BytesSent() >= before + program.size()) {
            lastByte = Clock::now();
        }
        return ventaro::CaptureMode.load() == ventaro::CaptureKind::Terminal &&
               lastByte != Clock::time_point{};
    });
    const double measured = std::chrono::duration<double>(Clock::now() - lastByte).count();
    std::printf("capture end     %.3f s after the last byte, 0.550 s specified, ratio %.3f\n",
                measured, measured / 0.55);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ventaro::VentaroApplication app(argc, argv);
    BenchSend();
    BenchCaptureEnd();
    return 0;
}
