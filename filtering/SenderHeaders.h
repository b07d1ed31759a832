#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tarnwell {

// The standard headers a sender filter can look in, in the order its dialog lists them: Cc,
// Comments, Errors-To, From, Message-Id, Received, Reply-To, Return-Path, Sender, To,
// X-Complain-To.
inline constexpr std::array<int, 11> kSenderHeaders = {1, 2, 7, 8, 10, 14, 15, 16, 17, 19, 20};

// The header ticks a StdSenderHeaders.dat text gives: lines NAME=VALUE, where a header of
// kSenderHeaders is ticked when the first line naming it (letter case ignored) has a value other
// than exactly "0". Other lines and other names count for nothing.
[[nodiscard]] uint32_t ParseStdSenderHeaders(std::string_view text);

// The header set of a new sender filter: the program folder's StdSenderHeaders.dat, or the
// sender filter's own default set when the file cannot be read.
[[nodiscard]] uint32_t StandardSenderHeaders();

}  // namespace tarnwell
