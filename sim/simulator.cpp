#include "sim/simulator.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "sim/instrument.h"

namespace brenvix {

namespace {

using Clock = std::chrono::steady_clock;

// The runner never sleeps longer than this, so a stop request or a late timer is never far off.
constexpr auto kMaxPoll = std::chrono::milliseconds(50);
constexpr size_t kReadChunk = 4096;

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

bool MakeRaw(int fd, int baud) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        return false;
    }
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSTOPB | CRTSCTS | PARENB);
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (baud > 0) {
        speed_t s = B9600;
        switch (baud) {
            case 1200:
                s = B1200;
                break;
            case 2400:
                s = B2400;
                break;
            case 4800:
                s = B4800;
                break;
            case 9600:
                s = B9600;
                break;
            case 19200:
                s = B19200;
                break;
            case 38400:
                s = B38400;
                break;
            case 57600:
                s = B57600;
                break;
            case 115200:
                s = B115200;
                break;
            default:
                break;
        }
        ::cfsetispeed(&t, s);
        ::cfsetospeed(&t, s);
    }
    return ::tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace

struct Simulator::Impl {
    explicit Impl(SimConfig cfg) : baud(cfg.baud), inst(std::move(cfg)) {}

    const int baud;

    // Guards the instrument, the received log, the counters and the descriptors.
    mutable std::mutex mu;
    Instrument inst;
    std::vector<RxByte> received;
    uint64_t bytesSent = 0;
    int lineFd = -1;   // the master side, or the attached device
    int slaveFd = -1;  // kept open so the master never sees EIO for want of a slave
    std::string path;

    int wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<bool> running{false};

    // Waiters sleep on this; generation moves on every change they might care about.
    mutable std::mutex notifyMu;
    mutable std::condition_variable cv;
    uint64_t generation = 0;

    void Notify() {
        {
            std::lock_guard lk(notifyMu);
            ++generation;
        }
        cv.notify_all();
    }

    void Wake() const {
        const uint64_t one = 1;
        if (wakeFd >= 0) {
            [[maybe_unused]] ssize_t n = ::write(wakeFd, &one, sizeof one);
        }
    }

    void Run();
};

void Simulator::Impl::Run() {
    const auto charTime =
        baud > 0 ? std::chrono::nanoseconds(10'000'000'000LL / baud) : std::chrono::nanoseconds(0);
    Clock::time_point slot{};  // when the last paced byte finished on the line
    std::vector<uint8_t> out;  // taken from the instrument, not yet accepted by the kernel
    size_t outPos = 0;
    bool lineUp = true;
    int fd = -1;
    {
        std::lock_guard lk(mu);
        inst.Start(Clock::now());
    }
    std::vector<uint8_t> buf(kReadChunk);

    while (!stop.load()) {
        auto now = Clock::now();
        auto wake = now + kMaxPoll;
        {
            std::lock_guard lk(mu);
            fd = lineFd;  // OpenPty or Attach may come after Start
            if (auto t = inst.NextTimer()) {
                wake = std::min(wake, *t);
            }
            if (auto at = inst.NextOutputAt(); at && outPos >= out.size()) {
                wake = std::min(wake, baud > 0 ? std::max(slot, *at) + charTime : *at);
            }
        }
        const bool wantOut = outPos < out.size();
        pollfd pfd[2] = {{wakeFd, POLLIN, 0}, {lineUp ? fd : -1, 0, 0}};
        pfd[1].events = static_cast<short>(POLLIN | (wantOut ? POLLOUT : 0));
        const auto left = std::max(wake - now, Clock::duration::zero());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec ts{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
        const int rc = ::ppoll(pfd, 2, &ts, nullptr);
        if (rc < 0 && errno != EINTR) {
            break;
        }
        bool changed = false;
        if (rc > 0 && (pfd[0].revents & POLLIN) != 0) {
            uint64_t v = 0;
            [[maybe_unused]] ssize_t n = ::read(wakeFd, &v, sizeof v);
        }
        if (rc > 0 && lineUp && (pfd[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            for (;;) {
                const ssize_t n = ::read(fd, buf.data(), buf.size());
                if (n > 0) {
                    const auto t = Clock::now();
                    std::lock_guard lk(mu);
                    for (ssize_t i = 0; i < n; ++i) {
                        received.push_back({buf[static_cast<size_t>(i)], t});
                    }
                    inst.Receive(std::span(buf.data(), static_cast<size_t>(n)), t);
                    changed = true;
                    continue;
                }
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                    // The device is gone (an unplugged adapter): stop polling it rather than
                    // spin on a hang-up that will never clear. Timers still run.
                    lineUp = false;
                }
                break;
            }
        }

        now = Clock::now();
        {
            std::lock_guard lk(mu);
            inst.Tick(now);
            if (outPos >= out.size()) {
                out.clear();
                outPos = 0;
                if (baud <= 0) {
                    inst.TakeDue(now, SIZE_MAX, &out);
                } else {
                    while (auto at = inst.NextOutputAt()) {
                        const auto end = std::max(slot, *at) + charTime;
                        if (end > now) {
                            break;
                        }
                        inst.TakeDue(now, 1, &out);
                        slot = end;
                    }
                }
            }
        }
        if (outPos < out.size() && lineUp && fd >= 0) {
            const ssize_t n = ::write(fd, out.data() + outPos, out.size() - outPos);
            if (n > 0) {
                outPos += static_cast<size_t>(n);
                std::lock_guard lk(mu);
                bytesSent += static_cast<uint64_t>(n);
                changed = true;
            } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                lineUp = false;
            }
        } else if (outPos < out.size()) {
            outPos = out.size();  // no line: the bytes are lost, as on a cut cable
        }
        if (changed) {
            Notify();
        }
    }
}

Simulator::Simulator(SimConfig cfg) : impl_(std::make_unique<Impl>(std::move(cfg))) {}

Simulator::~Simulator() {
    Stop();
    std::lock_guard lk(impl_->mu);
    CloseFd(impl_->lineFd);
    CloseFd(impl_->slaveFd);
    CloseFd(impl_->wakeFd);
}

std::string Simulator::OpenPty() {
    std::lock_guard lk(impl_->mu);
    if (impl_->lineFd >= 0) {
        return impl_->slaveFd >= 0 ? impl_->path : "";
    }
    int master = -1, slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        return "";
    }
    // Raw before anyone else opens it: a cooked slave would echo and turn CR into LF.
    if (!MakeRaw(slave, 0)) {
        ::close(master);
        ::close(slave);
        return "";
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    impl_->lineFd = master;
    impl_->slaveFd = slave;
    impl_->path = name;
    return impl_->path;
}

bool Simulator::Attach(const std::string& device) {
    std::lock_guard lk(impl_->mu);
    if (impl_->lineFd >= 0) {
        return false;
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    MakeRaw(fd, impl_->baud > 0 ? impl_->baud : 9600);  // not a tty (a FIFO in a test): as is
    impl_->lineFd = fd;
    impl_->path = device;
    return true;
}

void Simulator::Start() {
    if (impl_->thread.joinable()) {
        return;
    }
    impl_->stop = false;
    impl_->running = true;
    impl_->thread = std::thread([this] { impl_->Run(); });
}

void Simulator::Stop() {
    if (!impl_->thread.joinable()) {
        return;
    }
    impl_->stop = true;
    impl_->Wake();
    impl_->thread.join();
    impl_->running = false;
    impl_->Notify();
}

void Simulator::Hangup() {
    Stop();
    {
        std::lock_guard lk(impl_->mu);
        CloseFd(impl_->lineFd);
        CloseFd(impl_->slaveFd);
    }
    impl_->Notify();
}

std::vector<uint8_t> Simulator::ReceivedBytes() const {
    std::lock_guard lk(impl_->mu);
    std::vector<uint8_t> out;
    out.reserve(impl_->received.size());
    for (const RxByte& r : impl_->received) {
        out.push_back(r.byte);
    }
    return out;
}

std::vector<RxByte> Simulator::Received() const {
    std::lock_guard lk(impl_->mu);
    return impl_->received;
}

bool Simulator::WaitForReceived(size_t count, std::chrono::milliseconds timeout) const {
    return WaitFor(
        [this, count] {
            std::lock_guard lk(impl_->mu);
            return impl_->received.size() >= count;
        },
        timeout);
}

bool Simulator::WaitFor(std::function<bool()> pred, std::chrono::milliseconds timeout) const {
    const auto deadline = Clock::now() + timeout;
    std::unique_lock lk(impl_->notifyMu);
    for (;;) {
        const uint64_t seen = impl_->generation;
        // pred may lock the simulator's own mutex: never call it with a lock held.
        lk.unlock();
        const bool ok = pred();
        lk.lock();
        if (ok) {
            return true;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            return false;
        }
        const auto until = std::min(deadline, now + std::chrono::milliseconds(20));
        impl_->cv.wait_until(lk, until, [&] { return impl_->generation != seen; });
    }
}

void Simulator::Send(std::span<const uint8_t> bytes) {
    {
        std::lock_guard lk(impl_->mu);
        impl_->inst.Inject(bytes, Clock::now());
    }
    impl_->Wake();
}

std::vector<uint8_t> Simulator::StoredProgram() const {
    std::lock_guard lk(impl_->mu);
    return impl_->inst.StoredProgram();
}

uint64_t Simulator::BytesSent() const {
    std::lock_guard lk(impl_->mu);
    return impl_->bytesSent;
}

bool Simulator::OperateMode() const {
    std::lock_guard lk(impl_->mu);
    return impl_->inst.OperateMode();
}

Simulator::TransferStats Simulator::Transfer() const {
    std::lock_guard lk(impl_->mu);
    return impl_->inst.Transfer();
}

bool Simulator::Running() const {
    return impl_->running.load();
}

std::string Simulator::DevicePath() const {
    std::lock_guard lk(impl_->mu);
    return impl_->lineFd >= 0 ? impl_->path : "";
}

uint16_t Simulator::ProgramChecksum() const {
    std::lock_guard lk(impl_->mu);
    return impl_->inst.ProgramChecksum();
}

}  // namespace brenvix
