// brenvix-sim: a Brenvix instrument on the far end of a pseudo-terminal (or a real port).
//
// How it works
// - The protocol lives in Instrument (sim/instrument.h), which only sees bytes and times. This
//   class is the runner around it: one thread that poll()s the master side with a short
//   time-out, feeds what it reads to the instrument with the time it arrived, lets time pass,
//   and writes the bytes the instrument has scheduled once they are due.
// - Pacing: with a baud rate set, each byte goes out at the end of its own character time (10
//   bits per character), so a 132-byte block takes 1.1 s at 1200 baud as on a real line. A
//   pseudo-terminal ignores its baud rate, so this is the only place line speed exists in tests.
// - OpenPty keeps the slave side open as well, in raw mode. Without an open slave, reads on the
//   master fail with EIO, and an application that opens the slave later would find it cooked.
// - Every change (bytes in, bytes out) wakes the waiters, so tests wait on conditions instead of
//   sleeping.
//
// Typical use in a test:
//   brenvix::Simulator sim(cfg);
//   std::string dev = sim.OpenPty();   // point the application's port at dev
//   sim.Start();
//   sim.WaitForReceived(1, 5s);
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sim/config.h"
#include "sim/records.h"

namespace brenvix {

struct RxByte {
    uint8_t byte;
    std::chrono::steady_clock::time_point at;
};

class Simulator {
  public:
    explicit Simulator(SimConfig cfg = {});
    ~Simulator();  // stops, closes everything
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // openpty; the slave is put in raw mode and kept open by the simulator. Returns the slave's
    // path, or "" on failure.
    std::string OpenPty();
    // Uses an existing device (a real serial port) instead: raw, 8N1, at cfg.baud (9600 if 0).
    bool Attach(const std::string& device);
    void Start();  // runs on its own thread
    void Stop();   // returns promptly; bytes not yet written stay unsent
    // The device vanishes: stops the thread and closes master and slave, so the other side's
    // reads fail (EOF or EIO, POLLHUP). What was received stays available.
    void Hangup();

    std::vector<uint8_t> ReceivedBytes() const;  // everything received, in order
    std::vector<RxByte> Received() const;        // with arrival times
    bool WaitForReceived(size_t count, std::chrono::milliseconds timeout) const;
    // Waits until pred() holds: re-checked at every change and at least every 20 ms (pred may
    // look at things the simulator does not know about). pred may call this object's methods.
    bool WaitFor(std::function<bool()> pred, std::chrono::milliseconds timeout) const;
    // Puts bytes on the line now (paced if baud > 0), after nothing else that is due. Before
    // Start they wait for the thread.
    void Send(std::span<const uint8_t> bytes);
    std::vector<uint8_t> StoredProgram() const;  // what it received after Ctrl-D
    uint64_t BytesSent() const;                  // bytes written to the line so far
    bool OperateMode() const;

    // Records-transfer statistics for tests and benchmarks (see TransferStats in sim/config.h).
    using TransferStats = brenvix::TransferStats;
    TransferStats Transfer() const;

    // Additions beyond the basic interface.
    bool Running() const;
    std::string DevicePath() const;  // the slave path or the attached device, "" if none
    uint16_t ProgramChecksum() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace brenvix
