#include "device/commands.h"

#include "device/transfer_guard.h"
#include "platform/ui_services.h"
#include "serial/comm_port.h"
#include "serial/serial_state.h"

#include <algorithm>
#include <array>

namespace ventaro {
namespace {

// One read into a 200-byte buffer, never more than 190 bytes.
size_t ReadReply(std::array<uint8_t, kReplyBufferSize>& buffer) {
    size_t got = 0;
    plat::ReadPort(CommHandle, buffer.data(), kReplyReadSize, &got);
    got = std::min(got, kReplyReadSize);
    buffer[got] = 0;
    return got;
}

const QString kNotResponding = QStringLiteral("The Brenvix is not responding");
const QString kNotRespondingCorrectly =
    QStringLiteral("The Brenvix is not responding correctly.\r\nCheck Comm Properties.");
const QString kOperateQuestion = QStringLiteral(
    "The Brenvix is in OPERATE MODE.\r\nDo you want to EXIT OPERATE MODE\r\nand get the user "
    "program?");

}  // namespace

int JudgeReply(std::span<const uint8_t> reply, std::string_view marker) {
    if (reply.empty()) {
        return kNoReply;
    }
    auto end = std::find(reply.begin(), reply.end(), uint8_t(0));
    std::string_view text(reinterpret_cast<const char*>(reply.data()), size_t(end - reply.begin()));
    return text.find(marker) != std::string_view::npos ? kReplyWithMarker : kReplyWithoutMarker;
}

int QueryDevice(uint8_t command, std::string_view marker) {
    ForegroundOperation busy;
    TakePort();
    Sleep(200);
    plat::TransmitCommChar(CommHandle, command);
    Sleep(250);
    std::array<uint8_t, kReplyBufferSize> reply{};
    size_t got = ReadReply(reply);
    int result = JudgeReply(std::span(reply.data(), got), marker);
    GivePort();
    return result;
}

bool DeviceIsSending() {
    ForegroundOperation busy;
    TakePort();
    bool sending = false;
    for (int i = 0; i < 4; ++i) {
        Sleep(250);
        std::array<uint8_t, kReplyBufferSize> probe{};
        if (ReadReply(probe) > 0) {
            sending = true;  // every read is still made
        }
    }
    GivePort();
    return sending;
}

bool PrepareProgramTransfer(const QString& refusal) {
    ForegroundOperation busy;
    auto& ui = plat::Ui();
    if (DeviceIsSending()) {
        ui.MessageBox(refusal, false);
        ui.SetCursor(plat::ScreenCursor::Default);
        return false;
    }
    const int r1 = QueryDevice(0x10, "EXIT");
    if (r1 == kNoReply) {
        ui.MessageBox(kNotResponding, false);
        return false;
    }
    if (r1 == kReplyWithoutMarker) {
        // A second query with no reply at all lets the transfer go on.
        if (QueryDevice(0x10, "CHECKSUM:") == kReplyWithoutMarker) {
            ui.MessageBox(kNotRespondingCorrectly, false);
            return false;
        }
        return true;
    }
    if (ui.MessageBox(kOperateQuestion, true) == plat::Answer::Yes) {
        QueryDevice(0x18, "(Y/N) ?");
        QueryDevice(0x59, "EXITED.");
        return true;
    }
    plat::TransmitCommChar(CommHandle, 'N');
    return false;
}

}  // namespace ventaro
