#include "serial/serial_state.h"

namespace ventaro {

std::atomic<plat::PortHandle> CommHandle{plat::kNoPort};
std::atomic<uint8_t> PortReady{0};
std::atomic<CaptureKind> CaptureMode{CaptureKind::Terminal};
std::atomic<int> HexView{0};
std::atomic<uint32_t> BytesReceived{0};
int HexColumn = 0;

int PortIndex = 0;
int BaudIndex = 0;
int BitsIndex = 0;
int ParityIndex = 0;

plat::CommTimeouts PortTimeouts{};
plat::CommTimeouts SavedTimeouts{};

TRead* ReadThread = nullptr;

std::string CaptureBuffer;
std::FILE* CaptureFile = nullptr;

std::array<uint8_t, kReceiveBlockSize> ReceiveBlock{};
std::array<char, kDisplayTextSize> DisplayText{};
std::array<char, kHexTextSize> HexText{};

}  // namespace ventaro
