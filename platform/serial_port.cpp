#include "platform/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace ventaro::plat {
namespace {

using Clock = std::chrono::steady_clock;

// What a handle knows beyond its descriptor.
struct PortEntry {
    std::string device;
    uint64_t purgeGeneration = 0;
};

struct PortTable {
    std::mutex mutex;
    std::map<int, PortEntry> ports;
    std::map<std::string, CommTimeouts> timeouts;  // by device path
};

PortTable& Table() {
    static PortTable table;
    return table;
}

bool Lookup(PortHandle port, PortEntry* entry) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.ports.find(port);
    if (it == table.ports.end()) {
        return false;
    }
    *entry = it->second;
    return true;
}

uint64_t PurgeGeneration(PortHandle port) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.ports.find(port);
    return it == table.ports.end() ? 0 : it->second.purgeGeneration;
}

struct BaudEntry {
    int rate;
    speed_t code;
};
constexpr BaudEntry kBauds[] = {{300, B300},       {600, B600},      {1200, B1200},
                                {2400, B2400},     {4800, B4800},    {9600, B9600},
                                {19200, B19200},   {38400, B38400},  {57600, B57600},
                                {115200, B115200}, {230400, B230400}};

std::optional<speed_t> BaudCode(int rate) {
    for (const auto& entry : kBauds) {
        if (entry.rate == rate) {
            return entry.code;
        }
    }
    return std::nullopt;
}

std::optional<int> BaudRate(speed_t code) {
    for (const auto& entry : kBauds) {
        if (entry.code == code) {
            return entry.rate;
        }
    }
    return std::nullopt;
}

PortError ErrorFromErrno(int err) {
    switch (err) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return PortError::NotFound;
        case EACCES:
        case EPERM:
            return PortError::Permission;
        case EBUSY:
        case EWOULDBLOCK:
            return PortError::Busy;
        case ENOTTY:
            return PortError::NotATty;
        default:
            return PortError::Io;
    }
}

std::vector<std::string_view> SplitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (true) {
        size_t comma = text.find(',', start);
        fields.push_back(
            text.substr(start, comma == std::string_view::npos ? text.npos : comma - start));
        if (comma == std::string_view::npos) {
            return fields;
        }
        start = comma + 1;
    }
}

std::optional<int> ParseInt(std::string_view text) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// Deadline for one read under the given time-outs; nullopt means no total limit.
std::optional<Clock::time_point> TotalDeadline(const CommTimeouts& t, size_t count,
                                               Clock::time_point start) {
    uint64_t total = uint64_t(t.readTotalTimeoutMultiplier) * count + t.readTotalTimeoutConstant;
    if (t.readTotalTimeoutMultiplier == 0 && t.readTotalTimeoutConstant == 0) {
        return std::nullopt;
    }
    return start + std::chrono::milliseconds(total);
}

// Time one character takes on the line at the port's rate (10 bits).
std::chrono::microseconds CharTime(PortHandle port) {
    termios tio{};
    std::optional<int> rate;
    if (::tcgetattr(port, &tio) == 0) {
        rate = BaudRate(::cfgetispeed(&tio));
    }
    return std::chrono::microseconds(10'000'000 / rate.value_or(9600));
}

// A slow line delivers a byte or a few at a time; waking for each would cost
// a system call per character. Once part of a read has come, wait for about
// as long as the rest needs on the line (never past 50 ms or the deadline)
// before reading again.
void LetMoreArrive(PortHandle port, size_t missing,
                   const std::optional<Clock::time_point>& deadline) {
    constexpr auto kMaxCoalesce = std::chrono::microseconds(50'000);
    auto wait = std::min(kMaxCoalesce, CharTime(port) * int64_t(missing));
    if (deadline) {
        wait = std::min(
            wait, std::chrono::duration_cast<std::chrono::microseconds>(*deadline - Clock::now()));
    }
    if (wait.count() > 0) {
        std::this_thread::sleep_for(wait);
    }
}

}  // namespace

const char* PortErrorText(PortError error) {
    switch (error) {
        case PortError::None:
            return "no error";
        case PortError::NotFound:
            return "no such device";
        case PortError::Busy:
            return "the port is in use by another program";
        case PortError::Permission:
            return "permission denied (is the user in the dialout group?)";
        case PortError::NotATty:
            return "the device is not a serial port";
        case PortError::Io:
            return "input/output error";
    }
    return "unknown error";
}

std::optional<LineSettings> ParseModeString(std::string_view mode) {
    auto fields = SplitFields(mode);
    if (fields.size() != 4) {
        return std::nullopt;
    }
    LineSettings s;
    auto baud = ParseInt(fields[0]);
    auto bits = ParseInt(fields[2]);
    auto stop = ParseInt(fields[3]);
    if (!baud || !BaudCode(*baud) || !bits || (*bits != 7 && *bits != 8) || !stop || *stop != 1 ||
        fields[1].size() != 1) {
        return std::nullopt;
    }
    char parity = fields[1][0];
    if (parity != 'N' && parity != 'O' && parity != 'E') {
        return std::nullopt;
    }
    s.baud = *baud;
    s.parity = parity;
    s.dataBits = *bits;
    s.stopBits = *stop;
    return s;
}

PortHandle OpenPort(const std::string& device, PortError* error) {
    PortError dummy;
    PortError& err = error ? *error : dummy;
    int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        err = ErrorFromErrno(errno);
        return kNoPort;
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        err = PortError::NotATty;
        ::close(fd);
        return kNoPort;
    }
    // Root ignores TIOCEXCL, and other programs may only lock: take both.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        err = PortError::Busy;
        ::close(fd);
        return kNoPort;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    // One byte minimum: a non-blocking read of an empty line then fails with
    // EAGAIN, and a read of 0 bytes can only mean the device has gone.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &tio);
    {
        auto& table = Table();
        std::lock_guard lock(table.mutex);
        table.ports[fd] = PortEntry{device, 0};
        table.timeouts.try_emplace(device, CommTimeouts{});
    }
    err = PortError::None;
    return fd;
}

void ClosePort(PortHandle port) {
    if (port == kNoPort) {
        return;
    }
    {
        auto& table = Table();
        std::lock_guard lock(table.mutex);
        if (table.ports.erase(port) == 0) {
            return;
        }
    }
    ::ioctl(port, TIOCNXCL);
    ::close(port);
}

bool SetupComm(PortHandle port, uint32_t, uint32_t) {
    PortEntry entry;
    return Lookup(port, &entry);
}

bool GetCommTimeouts(PortHandle port, CommTimeouts* timeouts) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.ports.find(port);
    if (it == table.ports.end()) {
        return false;
    }
    *timeouts = table.timeouts[it->second.device];
    return true;
}

bool SetCommTimeouts(PortHandle port, const CommTimeouts& timeouts) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.ports.find(port);
    if (it == table.ports.end()) {
        return false;
    }
    table.timeouts[it->second.device] = timeouts;
    return true;
}

CommTimeouts DeviceTimeouts(const std::string& device) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.timeouts.find(device);
    return it == table.timeouts.end() ? CommTimeouts{} : it->second;
}

bool SettingsToTermios(const LineSettings& s, termios* tio) {
    auto code = BaudCode(s.baud);
    if (!code) {
        return false;
    }
    ::cfmakeraw(tio);
    ::cfsetispeed(tio, *code);
    ::cfsetospeed(tio, *code);
    tio->c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio->c_cflag |= (s.dataBits == 7 ? CS7 : CS8) | CLOCAL | CREAD;
    if (s.parity != 'N') {
        tio->c_cflag |= PARENB | (s.parity == 'O' ? PARODD : 0);
    }
    tio->c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    tio->c_cc[VMIN] = 1;
    tio->c_cc[VTIME] = 0;
    return true;
}

bool ApplyLineSettings(PortHandle port, const LineSettings& s) {
    termios tio{};
    if (::tcgetattr(port, &tio) != 0 || !SettingsToTermios(s, &tio)) {
        return false;
    }
    return ::tcsetattr(port, TCSANOW, &tio) == 0;
}

std::optional<LineSettings> TermiosToSettings(const termios& tio) {
    auto rate = BaudRate(::cfgetospeed(&tio));
    if (!rate) {
        return std::nullopt;
    }
    LineSettings s;
    s.baud = *rate;
    s.dataBits = (tio.c_cflag & CSIZE) == CS7 ? 7 : 8;
    s.parity = (tio.c_cflag & PARENB) ? ((tio.c_cflag & PARODD) ? 'O' : 'E') : 'N';
    s.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    return s;
}

std::optional<LineSettings> ReadLineSettings(PortHandle port) {
    termios tio{};
    if (::tcgetattr(port, &tio) != 0) {
        return std::nullopt;
    }
    return TermiosToSettings(tio);
}

bool ReadPort(PortHandle port, void* buffer, size_t count, size_t* got) {
    return ReadPortUntil(port, buffer, count, got, {});
}

bool ReadPortUntil(PortHandle port, void* buffer, size_t count, size_t* got,
                   const std::function<bool(std::span<const uint8_t>)>& complete) {
    *got = 0;
    CommTimeouts t;
    if (!GetCommTimeouts(port, &t)) {
        return false;
    }
    const uint64_t generation = PurgeGeneration(port);
    const auto start = Clock::now();
    const auto deadline = TotalDeadline(t, count, start);
    const bool immediate = t.readIntervalTimeout == kReadReturnImmediately && !deadline;
    const bool useInterval = t.readIntervalTimeout != 0 && !immediate;
    auto lastByte = start;
    auto* out = static_cast<uint8_t*>(buffer);
    while (*got < count) {
        ssize_t n = ::read(port, out + *got, count - *got);
        if (n > 0) {
            *got += size_t(n);
            lastByte = Clock::now();
            if (complete && complete(std::span<const uint8_t>(out, *got))) {
                return true;
            }
            if (*got < count && !immediate) {
                LetMoreArrive(port, count - *got, deadline);
            }
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            return false;  // EOF or EIO: the device has gone
        }
        if (immediate || PurgeGeneration(port) != generation) {
            return true;
        }
        const auto now = Clock::now();
        std::optional<Clock::time_point> end = deadline;
        if (useInterval && *got > 0) {
            auto gap = lastByte + std::chrono::milliseconds(t.readIntervalTimeout);
            end = end ? std::min(*end, gap) : gap;
        }
        if (end && now >= *end) {
            return true;
        }
        const auto slice = now + std::chrono::milliseconds(50);
        const auto wakeAt = end ? std::min(*end, slice) : slice;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wakeAt - now).count();
        pollfd pfd{port, POLLIN, 0};
        int r = ::poll(&pfd, 1, int(std::max<int64_t>(wait, 0)));
        if (r < 0 && errno != EINTR) {
            return false;
        }
        if (r > 0 && (pfd.revents & (POLLERR | POLLNVAL)) && !(pfd.revents & POLLIN)) {
            return false;
        }
        if (r > 0 && (pfd.revents & POLLHUP) && !(pfd.revents & POLLIN)) {
            return false;
        }
    }
    return true;
}

bool WritePort(PortHandle port, const void* data, size_t count, size_t* written) {
    size_t done = 0;
    const auto* in = static_cast<const uint8_t*>(data);
    bool ok = true;
    while (done < count) {
        ssize_t n = ::write(port, in + done, count - done);
        if (n > 0) {
            done += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            pollfd pfd{port, POLLOUT, 0};
            int r = ::poll(&pfd, 1, 1000);
            if (r > 0 && !(pfd.revents & (POLLERR | POLLHUP | POLLNVAL))) {
                continue;
            }
            if (r < 0 && errno == EINTR) {
                continue;
            }
        }
        ok = false;
        break;
    }
    if (written) {
        *written = done;
    }
    return ok;
}

bool TransmitCommChar(PortHandle port, uint8_t byte) {
    PortEntry entry;
    if (!Lookup(port, &entry)) {
        return false;
    }
    size_t written = 0;
    return WritePort(port, &byte, 1, &written) && written == 1;
}

bool OutputQueueCount(PortHandle port, uint32_t* count) {
    int queued = 0;
    PortEntry entry;
    if (!Lookup(port, &entry) || ::ioctl(port, TIOCOUTQ, &queued) != 0) {
        return false;
    }
    *count = uint32_t(std::max(queued, 0));
    return true;
}

bool PurgeRxAbort(PortHandle port) {
    auto& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.ports.find(port);
    if (it == table.ports.end()) {
        return false;
    }
    ++it->second.purgeGeneration;
    return true;
}

bool PurgeInput(PortHandle port) {
    PortEntry entry;
    return Lookup(port, &entry) && ::tcflush(port, TCIFLUSH) == 0;
}

}  // namespace ventaro::plat
