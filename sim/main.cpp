// brenvix-sim: runs a simulated Brenvix on a new pseudo-terminal (or a given device) until
// SIGINT or SIGTERM. The first line on stdout is the device path, flushed at once, so a script
// can read it and point the application there.
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "sim/simulator.h"
#include "sim/texts.h"

namespace {

const char kUsage[] =
    "usage: brenvix-sim [--device PATH] [--operate] [--interval MS] [--busy] [--baud N]\n"
    "                   [--seed N] [--records demo|large|FILE] [--program FILE]\n"
    "                   [--ascii-program FILE] [--plain-xmodem] [--log FILE] [--stream N]\n";

bool ReadFile(const std::string& path, std::vector<uint8_t>* out) {
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        return false;
    }
    out->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    return true;
}

bool ToNumber(const char* s, long long min, long long max, long long* out) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(s, &end, 10);
    if (errno != 0 || end == s || *end != '\0' || v < min || v > max) {
        return false;
    }
    *out = v;
    return true;
}

int Fail(const std::string& why) {
    std::cerr << "brenvix-sim: " << why << "\n" << kUsage;
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    brenvix::SimConfig cfg;
    std::string device, logPath;
    long long stream = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char** v) {
            if (i + 1 >= argc) {
                return false;
            }
            *v = argv[++i];
            return true;
        };
        const char* v = nullptr;
        long long n = 0;
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (a == "--operate") {
            cfg.operateMode = true;
        } else if (a == "--busy") {
            cfg.busy = true;
        } else if (a == "--plain-xmodem") {
            cfg.plainXmodemSender = true;
        } else if (a == "--device") {
            if (!value(&v)) {
                return Fail("--device needs a path");
            }
            device = v;
        } else if (a == "--interval") {
            if (!value(&v) || !ToNumber(v, 0, 3600000, &n)) {
                return Fail("--interval needs milliseconds");
            }
            cfg.operateIntervalMs = static_cast<int>(n);
        } else if (a == "--baud") {
            if (!value(&v) || !ToNumber(v, 0, 4000000, &n)) {
                return Fail("--baud needs a rate");
            }
            cfg.baud = static_cast<int>(n);
        } else if (a == "--seed") {
            if (!value(&v) || !ToNumber(v, 0, 0xFFFFFFFFLL, &n)) {
                return Fail("--seed needs a number");
            }
            cfg.seed = static_cast<uint32_t>(n);
        } else if (a == "--stream") {
            if (!value(&v) || !ToNumber(v, 0, 1LL << 34, &stream)) {
                return Fail("--stream needs a byte count");
            }
        } else if (a == "--records") {
            if (!value(&v)) {
                return Fail("--records needs demo, large or a file");
            }
            std::string err;
            if (std::strcmp(v, "demo") == 0) {
                cfg.records = brenvix::DemoRecords();
            } else if (std::strcmp(v, "large") == 0) {
                cfg.records = brenvix::LargeDemoRecords();
            } else if (!brenvix::LoadRecordsFile(v, &cfg.records, &err)) {
                return Fail(std::string(v) + ": " + err);
            }
        } else if (a == "--program" || a == "--ascii-program") {
            if (!value(&v)) {
                return Fail(a + " needs a file");
            }
            if (!ReadFile(v, a == "--program" ? &cfg.program : &cfg.asciiProgram)) {
                return Fail(std::string("cannot read ") + v);
            }
        } else if (a == "--log") {
            if (!value(&v)) {
                return Fail("--log needs a file");
            }
            logPath = v;
        } else {
            return Fail("unknown option " + a);
        }
    }

    // Block the stop signals before any thread exists, so only sigwait below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const uint32_t seed = cfg.seed;
    brenvix::Simulator sim(std::move(cfg));
    std::string path;
    if (device.empty()) {
        path = sim.OpenPty();
        if (path.empty()) {
            std::cerr << "brenvix-sim: cannot open a pseudo-terminal: " << std::strerror(errno)
                      << "\n";
            return 1;
        }
    } else {
        if (!sim.Attach(device)) {
            std::cerr << "brenvix-sim: cannot open " << device << ": " << std::strerror(errno)
                      << "\n";
            return 1;
        }
        path = device;
    }
    std::cout << path << std::endl;  // endl: the reader is waiting for this very line

    sim.Start();
    if (stream > 0) {
        const std::vector<uint8_t> text = brenvix::StreamText(static_cast<size_t>(stream), seed);
        sim.Send(text);
    }

    int sig = 0;
    sigwait(&stopSignals, &sig);
    sim.Stop();

    if (!logPath.empty()) {
        const std::vector<uint8_t> rx = sim.ReceivedBytes();
        std::ofstream f(logPath, std::ios::binary);
        f.write(reinterpret_cast<const char*>(rx.data()), static_cast<std::streamsize>(rx.size()));
        if (!f) {
            std::cerr << "brenvix-sim: cannot write " << logPath << "\n";
            return 1;
        }
    }
    return 0;
}
