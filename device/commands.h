// The instrument's command primitives and the handshake before a program
// transfer.
//
// QueryDevice takes the port from the receive thread, sends one byte, waits
// a fixed 250 ms and makes one read: whatever came in since the thread was
// held counts as the reply. DeviceIsSending makes four such reads. Both give
// the port back, whatever happened. The judgement of a reply is a plain
// function over bytes.
#pragma once

#include <QString>

#include <cstdint>
#include <span>
#include <string_view>

namespace ventaro {

enum QueryResult : int { kNoReply = 0, kReplyWithoutMarker = 1, kReplyWithMarker = 2 };

// The reply up to its first zero byte is searched for the marker, case-sensitively.
int JudgeReply(std::span<const uint8_t> reply, std::string_view marker);

int QueryDevice(uint8_t command, std::string_view marker);
bool DeviceIsSending();
// True: go on with the transfer. False: the user has been told, or declined.
bool PrepareProgramTransfer(const QString& refusal);

inline constexpr size_t kReplyBufferSize = 200;
inline constexpr size_t kReplyReadSize = 190;

}  // namespace ventaro
