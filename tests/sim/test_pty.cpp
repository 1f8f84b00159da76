// The simulator on a real pseudo-terminal: the test opens the slave as the application would.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <thread>

#include "sim/simulator.h"

namespace {

using brenvix::SimConfig;
using brenvix::Simulator;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::string Text(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

// The application's end of the line: the slave, raw, non-blocking.
class Port {
  public:
    explicit Port(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ >= 0) {
            termios t{};
            ::tcgetattr(fd_, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~Port() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    void Write(const Bytes& b) {
        ASSERT_EQ(::write(fd_, b.data(), b.size()), static_cast<ssize_t>(b.size()));
    }

    // Reads until `done(what was read)` holds or the deadline passes.
    Bytes ReadUntil(const std::function<bool(const Bytes&)>& done,
                    std::chrono::milliseconds limit) {
        Bytes got;
        const auto deadline = Clock::now() + limit;
        while (!done(got)) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            uint8_t buf[4096];
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n <= 0) {
                break;
            }
            got.insert(got.end(), buf, buf + n);
        }
        return got;
    }
    Bytes ReadCount(size_t n, std::chrono::milliseconds limit) {
        return ReadUntil([n](const Bytes& b) { return b.size() >= n; }, limit);
    }
    Bytes ReadText(const std::string& end, std::chrono::milliseconds limit) {
        return ReadUntil([&end](const Bytes& b) { return Text(b).find(end) != std::string::npos; },
                         limit);
    }

  private:
    int fd_ = -1;
};

TEST(Pty, ChecksumReplyOverTheLine) {
    Simulator sim;
    const std::string path = sim.OpenPty();
    ASSERT_FALSE(path.empty());
    sim.Start();
    Port port(path);
    ASSERT_TRUE(port.ok());
    port.Write({0x10});
    const std::string reply = Text(port.ReadText("\r\n", 5s));
    EXPECT_TRUE(std::regex_match(reply, std::regex("CHECKSUM: [0-9A-F]{4}\r\n"))) << reply;
    ASSERT_TRUE(sim.WaitForReceived(1, 5s));
    EXPECT_EQ(sim.ReceivedBytes(), Bytes{0x10});
    // The count moves just after the write, so the reply can be read a moment before it.
    EXPECT_TRUE(sim.WaitFor([&] { return sim.BytesSent() == reply.size(); }, 5s));
}

TEST(Pty, SlaveIsRawBeforeTheApplicationTouchesIt) {
    Simulator sim;
    const std::string path = sim.OpenPty();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & ICRNL, 0u);
    ::close(fd);
}

TEST(Pty, HangupGivesTheOtherSideEofOrEio) {
    Simulator sim;
    const std::string path = sim.OpenPty();
    sim.Start();
    Port port(path);
    ASSERT_TRUE(port.ok());
    sim.Hangup();
    EXPECT_FALSE(sim.Running());
    pollfd p{port.fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    EXPECT_NE(p.revents & (POLLHUP | POLLERR), 0);
    uint8_t b = 0;
    const ssize_t n = ::read(port.fd(), &b, 1);
    EXPECT_TRUE(n == 0 || (n < 0 && errno == EIO)) << n << " " << errno;
    EXPECT_EQ(::write(port.fd(), &b, 1), -1);
}

TEST(Pty, RecordsDownloadOverTheLine) {
    SimConfig cfg;
    cfg.records = brenvix::LargeDemoRecords();
    const auto payloads = brenvix::RecordPayloads(cfg.records);
    Simulator sim(cfg);
    Port port(sim.OpenPty());
    sim.Start();
    port.Write({0x02});
    EXPECT_NE(Text(port.ReadText("NOW...", 5s)).find("NOW..."), std::string::npos);
    port.Write({0x15});
    for (size_t k = 0; k < payloads.size(); ++k) {
        const Bytes b = port.ReadCount(132, 5s);
        ASSERT_EQ(b.size(), 132u) << "block " << k + 1;
        EXPECT_EQ(b[1], static_cast<uint8_t>((k + 1) % 256));
        EXPECT_TRUE(std::equal(payloads[k].begin(), payloads[k].end(), b.begin() + 3));
        port.Write({0x06});
    }
    EXPECT_EQ(port.ReadCount(1, 5s), Bytes{0x04});
    port.Write({0x06});
    ASSERT_TRUE(sim.WaitFor(
        [&] { return sim.Transfer().acksReceived == static_cast<int>(payloads.size()) + 1; }, 5s));
    const auto s = sim.Transfer();
    EXPECT_EQ(s.blocksSent, static_cast<int>(payloads.size()));
    EXPECT_TRUE(s.eotSent);
}

TEST(Pty, PacingTakesTenBitsPerCharacter) {
    SimConfig cfg;
    cfg.baud = 9600;  // 1.04 ms a character
    Simulator sim(cfg);
    Port port(sim.OpenPty());
    sim.Start();
    const Bytes data(240, 'x');
    const auto t0 = Clock::now();
    sim.Send(data);
    const Bytes got = port.ReadCount(data.size(), 10s);
    const auto took = Clock::now() - t0;
    EXPECT_EQ(got, data);
    EXPECT_GE(took, 240ms);
    EXPECT_LT(took, 2000ms);
}

TEST(Pty, ReplyDelayIsHonoured) {
    SimConfig cfg;
    cfg.replyDelayMs = 350;
    Simulator sim(cfg);
    Port port(sim.OpenPty());
    sim.Start();
    const auto t0 = Clock::now();
    port.Write({0x16});
    EXPECT_FALSE(port.ReadText("\r\n", 5s).empty());
    EXPECT_GE(Clock::now() - t0, 350ms);
}

TEST(Pty, ProgramSendIsStored) {
    Simulator sim;
    Port port(sim.OpenPty());
    sim.Start();
    port.Write({0x04});
    EXPECT_NE(Text(port.ReadText("NOW", 5s)).find("NOW"), std::string::npos);
    const Bytes text = {'1', '0', ' ', 'A', '\r', '2', '0', ' ', 'B', '\r'};
    for (uint8_t b : text) {
        port.Write({b});
    }
    EXPECT_TRUE(sim.WaitFor([&] { return sim.StoredProgram() == text; }, 5s));
    const auto rx = sim.Received();
    ASSERT_EQ(rx.size(), text.size() + 1);
    for (size_t i = 1; i < rx.size(); ++i) {
        EXPECT_LE(rx[i - 1].at, rx[i].at);
    }
}

TEST(Pty, HandshakeOverTheLine) {
    SimConfig cfg;
    cfg.operateMode = true;
    Simulator sim(cfg);
    Port port(sim.OpenPty());
    sim.Start();
    EXPECT_TRUE(sim.OperateMode());
    port.Write({0x18});
    EXPECT_NE(Text(port.ReadText("(Y/N) ?", 5s)).find("(Y/N) ?"), std::string::npos);
    port.Write({'Y'});
    EXPECT_NE(Text(port.ReadText("EXITED.", 5s)).find("EXITED."), std::string::npos);
    EXPECT_TRUE(sim.WaitFor([&] { return !sim.OperateMode(); }, 5s));
}

TEST(Pty, BusyInstrumentKeepsTalkingAndStopIsPrompt) {
    SimConfig cfg;
    cfg.busy = true;
    cfg.baud = 9600;
    Simulator sim(cfg);
    Port port(sim.OpenPty());
    sim.Start();
    EXPECT_GE(port.ReadCount(200, 5s).size(), 200u);
    const auto t0 = Clock::now();
    sim.Stop();
    EXPECT_LT(Clock::now() - t0, 500ms);
    EXPECT_FALSE(sim.Running());
}

TEST(Pty, WaitForGivesUpAtTheDeadline) {
    Simulator sim;
    sim.OpenPty();
    sim.Start();
    const auto t0 = Clock::now();
    EXPECT_FALSE(sim.WaitForReceived(1, 100ms));
    EXPECT_GE(Clock::now() - t0, 100ms);
    EXPECT_LT(Clock::now() - t0, 1000ms);
}

TEST(Pty, WaitForSeesAnOutsideCondition) {
    Simulator sim;
    sim.OpenPty();
    sim.Start();
    std::atomic<bool> flag{false};
    std::thread t([&] {
        std::this_thread::sleep_for(50ms);  // the event the test waits for, not a wait itself
        flag = true;
    });
    EXPECT_TRUE(sim.WaitFor([&] { return flag.load(); }, 5s));
    t.join();
}

// lrzsz's rx as the receiving side, to show the sender speaks ordinary XMODEM. rx runs on one
// end of a socketpair and the test relays to the pseudo-terminal: rx right on a pseudo-terminal
// may lose its last ACK when it flushes the line on exit.
TEST(Pty, LrzszRxReceivesEveryBlock) {
    if (::access("/usr/bin/rx", X_OK) != 0) {
        GTEST_SKIP() << "lrzsz is not installed";
    }
    SimConfig cfg;
    cfg.plainXmodemSender = true;
    cfg.records = brenvix::LargeDemoRecords();
    Simulator sim(cfg);
    Port port(sim.OpenPty());
    sim.Start();

    const auto dir = std::filesystem::path(::testing::TempDir()) / "sim_rx";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    int sv[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(sv[1], 0);
        ::dup2(sv[1], 1);
        const int devnull = ::open("/dev/null", O_WRONLY);
        ::dup2(devnull, 2);
        ::close(sv[0]);
        if (::chdir(dir.c_str()) != 0) {
            ::_exit(127);
        }
        ::execl("/usr/bin/rx", "rx", "-q", "records.bin", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(sv[1]);
    ::fcntl(sv[0], F_SETFL, O_NONBLOCK);

    int status = 0;
    const auto deadline = Clock::now() + 60s;
    bool exited = false;
    while (!exited && Clock::now() < deadline) {
        pollfd p[2] = {{port.fd(), POLLIN, 0}, {sv[0], POLLIN, 0}};
        ::poll(p, 2, 50);
        uint8_t buf[4096];
        if (p[0].revents & POLLIN) {
            const ssize_t n = ::read(port.fd(), buf, sizeof buf);
            for (ssize_t off = 0; n > 0 && off < n;) {
                const ssize_t w = ::write(sv[0], buf + off, static_cast<size_t>(n - off));
                if (w > 0) {
                    off += w;
                } else {
                    break;
                }
            }
        }
        if (p[1].revents & POLLIN) {
            const ssize_t n = ::read(sv[0], buf, sizeof buf);
            if (n > 0) {
                port.Write(Bytes(buf, buf + n));
            }
        }
        exited = ::waitpid(pid, &status, WNOHANG) == pid;
    }
    if (!exited) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ::close(sv[0]);
    ASSERT_TRUE(exited) << "rx did not finish";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    std::ifstream f(dir / "records.bin", std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    Bytes expected;
    for (const auto& p : brenvix::RecordPayloads(cfg.records)) {
        expected.insert(expected.end(), p.begin(), p.end());
    }
    EXPECT_EQ(file, expected);
    EXPECT_TRUE(sim.Transfer().eotSent);
}

// The program itself: the path first, answers on it, a clean exit on SIGTERM with the log.
TEST(Program, PrintsThePathAnswersAndLogsOnSigterm) {
    const std::string log = ::testing::TempDir() + "sim_program.log";
    std::remove(log.c_str());
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::execl(BRENVIX_SIM_EXE, "brenvix-sim", "--seed", "3", "--log", log.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::string first;
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n') {
        first += c;
    }
    ASSERT_EQ(first.rfind("/dev/", 0), 0u) << first;
    {
        Port port(first);
        ASSERT_TRUE(port.ok());
        port.Write({0x10});
        EXPECT_NE(Text(port.ReadText("\r\n", 5s)).find("CHECKSUM: "), std::string::npos);
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(out[0]);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::ifstream f(log, std::ios::binary);
    const std::string logged((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    EXPECT_EQ(logged, "\x10");
}

TEST(Program, StreamSendsTheRequestedBytes) {
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::execl(BRENVIX_SIM_EXE, "brenvix-sim", "--stream", "5000", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    std::string first;
    char c = 0;
    while (::read(out[0], &c, 1) == 1 && c != '\n') {
        first += c;
    }
    {
        Port port(first);
        ASSERT_TRUE(port.ok());
        const Bytes got = port.ReadCount(5000, 10s);
        EXPECT_EQ(got.size(), 5000u);
        for (uint8_t b : got) {
            EXPECT_TRUE(b == '\r' || b == '\n' || (b >= 0x20 && b < 0x7F));
        }
    }
    ::kill(pid, SIGINT);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(out[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
