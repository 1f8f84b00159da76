// Opening, configuring and closing the one serial port.
//
// The port is chosen by name ("COM1" to "COM8"); the device behind a name
// comes from the user's device map. Line settings are four indices into
// fixed tables; an index outside its table falls back to the default entry,
// so a hand-edited setting can never select something that is not there.
// The port is only ever closed or reopened while the receive thread is held.
#pragma once

#include <QString>

#include <array>
#include <string>

namespace ventaro {

inline constexpr std::array<const char*, 8> kPortNames = {"COM1", "COM2", "COM3", "COM4",
                                                          "COM5", "COM6", "COM7", "COM8"};
inline constexpr std::array<const char*, 6> kBaudRates = {"1200", "2400",  "4800",
                                                          "9600", "38400", "115200"};
inline constexpr std::array<const char*, 3> kParityLetters = {"N", "O", "E"};
inline constexpr std::array<const char*, 2> kDataBits = {"8", "7"};

inline constexpr int kDefaultPortIndex = 1;
inline constexpr int kDefaultBaudIndex = 3;
inline constexpr int kDefaultBitsIndex = 0;
inline constexpr int kDefaultParityIndex = 0;

// Table entries with the fallback for out-of-range indices.
const char* PortName(int index);
const char* BaudRate(int index);
const char* ParityLetter(int index);
const char* DataBits(int index);

QString SettingsString();  // "9600,N,8,1"

void OpenCommPort();
void ApplyCommSettings();
void CloseCommPort();
// Stops the receive thread and waits for it (with a bound); a running
// capture is written to its file.
void StopReadThread();

// The port hand-over: the receive thread stops reading until GivePort.
void TakePort();
void GivePort();

// Plain waits of the main thread.
void Sleep(int milliseconds);

}  // namespace ventaro
