// The termios port over a real pseudo-terminal: open, line settings, timed
// reads, hang-up, and the table of time-outs per device.
#include "platform/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace ventaro::plat {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct ModeCase {
    const char* text;
    bool valid;
    LineSettings settings;
};

class ModeString : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ModeString, Parses) {
    auto parsed = ParseModeString(GetParam().text);
    ASSERT_EQ(parsed.has_value(), GetParam().valid) << GetParam().text;
    if (parsed) {
        EXPECT_EQ(*parsed, GetParam().settings);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ModeString,
    ::testing::Values(ModeCase{"9600,N,8,1", true, {9600, 'N', 8, 1}},
                      ModeCase{"1200,O,7,1", true, {1200, 'O', 7, 1}},
                      ModeCase{"115200,E,8,1", true, {115200, 'E', 8, 1}},
                      ModeCase{"9601,N,8,1", false, {}}, ModeCase{"9600,X,8,1", false, {}},
                      ModeCase{"9600,N,6,1", false, {}}, ModeCase{"9600,N,8,2", false, {}},
                      ModeCase{"9600,N,8", false, {}}, ModeCase{"", false, {}},
                      ModeCase{"9600,NN,8,1", false, {}}, ModeCase{"9600,N,8,1,", false, {}}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// A pseudo-terminal whose slave the port layer opens; the test plays the far end.
class PtyPort : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[128] = {};
        ASSERT_EQ(::openpty(&master_, &slave_, name, nullptr, nullptr), 0);
        termios tio{};
        ::tcgetattr(slave_, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(slave_, TCSANOW, &tio);
        device_ = name;
        PortError error = PortError::Io;
        port_ = OpenPort(device_, &error);
        ASSERT_NE(port_, kNoPort);
        EXPECT_EQ(error, PortError::None);
    }
    void TearDown() override {
        ClosePort(port_);
        if (master_ >= 0) {
            ::close(master_);
        }
        ::close(slave_);
    }
    void SetReadTimeout(uint32_t ms) {
        CommTimeouts t;
        t.readTotalTimeoutConstant = ms;
        ASSERT_TRUE(SetCommTimeouts(port_, t));
    }
    void FarEndWrite(const std::string& bytes) {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }

    int master_ = -1;
    int slave_ = -1;
    std::string device_;
    PortHandle port_ = kNoPort;
};

TEST_F(PtyPort, ReadReturnsAsSoonAsTheCountHasArrived) {
    SetReadTimeout(5000);
    FarEndWrite("hello");
    char buffer[5];
    size_t got = 0;
    auto start = Clock::now();
    EXPECT_TRUE(ReadPort(port_, buffer, 5, &got));
    EXPECT_EQ(std::string(buffer, got), "hello");
    EXPECT_LT(Clock::now() - start, 4s);
}

TEST_F(PtyPort, ReadEndsAtTheTotalTimeoutWithWhatArrived) {
    SetReadTimeout(50);
    FarEndWrite("ab");
    char buffer[100];
    size_t got = 0;
    auto start = Clock::now();
    EXPECT_TRUE(ReadPort(port_, buffer, sizeof buffer, &got));
    EXPECT_EQ(std::string(buffer, got), "ab");
    EXPECT_GE(Clock::now() - start, 50ms);

    got = 99;
    EXPECT_TRUE(ReadPort(port_, buffer, sizeof buffer, &got));
    EXPECT_EQ(got, 0u);
}

TEST_F(PtyPort, ReadFailsAtOnceWhenTheFarEndHangsUp) {
    SetReadTimeout(1300);
    ::close(master_);
    master_ = -1;
    char buffer[10];
    size_t got = 0;
    auto start = Clock::now();
    EXPECT_FALSE(ReadPort(port_, buffer, sizeof buffer, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_LT(Clock::now() - start, 1000ms);
}

TEST_F(PtyPort, PurgeCutsAPendingReadShort) {
    SetReadTimeout(0);  // no total: would wait for the whole count
    std::thread purger([&] {
        std::this_thread::sleep_for(100ms);
        PurgeRxAbort(port_);
    });
    char buffer[10];
    size_t got = 0;
    EXPECT_TRUE(ReadPort(port_, buffer, sizeof buffer, &got));
    purger.join();
    EXPECT_EQ(got, 0u);
}

TEST_F(PtyPort, WritesReachTheFarEndAndQueueIsEmpty) {
    ASSERT_TRUE(TransmitCommChar(port_, 0x03));
    size_t written = 0;
    ASSERT_TRUE(WritePort(port_, "\x15\x06", 2, &written));
    EXPECT_EQ(written, 2u);
    // The far end may see them one read at a time.
    std::string seen;
    const auto deadline = Clock::now() + 5s;
    while (seen.size() < 3 && Clock::now() < deadline) {
        char buffer[3];
        pollfd pfd{master_, POLLIN, 0};
        if (::poll(&pfd, 1, 100) > 0) {
            ssize_t n = ::read(master_, buffer, sizeof buffer);
            seen.append(buffer, size_t(std::max<ssize_t>(n, 0)));
        }
    }
    EXPECT_EQ(seen, "\x03\x15\x06");
    uint32_t queued = 99;
    EXPECT_TRUE(OutputQueueCount(port_, &queued));
    EXPECT_EQ(queued, 0u);
}

TEST_F(PtyPort, LineRateIsApplied) {
    ASSERT_TRUE(ApplyLineSettings(port_, {1200, 'O', 7, 1}));
    auto read = ReadLineSettings(port_);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->baud, 1200);
}

TEST(LineSettings, TranslateToRawTermiosWithoutFlowControl) {
    for (LineSettings s : {LineSettings{9600, 'N', 8, 1}, LineSettings{1200, 'O', 7, 1},
                           LineSettings{115200, 'E', 8, 1}}) {
        termios tio{};
        tio.c_iflag = IXON | IXOFF;
        tio.c_cflag = CRTSCTS | CSTOPB;
        ASSERT_TRUE(SettingsToTermios(s, &tio));
        EXPECT_EQ(TermiosToSettings(tio), s);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY), 0u);
        EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
    }
    termios tio{};
    EXPECT_FALSE(SettingsToTermios({19201, 'N', 8, 1}, &tio));
}

TEST_F(PtyPort, SecondOpenIsRefusedWhileTheFirstHoldsIt) {
    PortError error = PortError::None;
    EXPECT_EQ(OpenPort(device_, &error), kNoPort);
    EXPECT_EQ(error, PortError::Busy);
}

TEST_F(PtyPort, TimeoutsBelongToTheDeviceAndOutliveTheHandle) {
    CommTimeouts mine{1, 2, 3, 4, 5};
    ASSERT_TRUE(SetCommTimeouts(port_, mine));
    ClosePort(port_);
    port_ = OpenPort(device_, nullptr);
    CommTimeouts found;
    ASSERT_TRUE(GetCommTimeouts(port_, &found));
    EXPECT_EQ(found, mine);
    EXPECT_EQ(DeviceTimeouts(device_), mine);
}

TEST(Port, ClosedOrMissingPortsFailWithoutHarm) {
    PortError error = PortError::None;
    EXPECT_EQ(OpenPort("/nonexistent/ttyS9", &error), kNoPort);
    EXPECT_EQ(error, PortError::NotFound);
    EXPECT_EQ(OpenPort("/dev/null", &error), kNoPort);
    EXPECT_EQ(error, PortError::NotATty);
    char buffer[4];
    size_t got = 7;
    EXPECT_FALSE(ReadPort(kNoPort, buffer, 4, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_FALSE(TransmitCommChar(kNoPort, 'x'));
    uint32_t queued = 0;
    EXPECT_FALSE(OutputQueueCount(kNoPort, &queued));
}

}  // namespace
}  // namespace ventaro::plat
