#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/Files.h"

namespace tarnwell {

// Processes pending events, then sleeps without handling more.
void Pause(int milliseconds);
// Keeps events running until the time has passed.
void WaitMilliseconds(int milliseconds);

// The host name, at most 16 bytes; empty on failure.
[[nodiscard]] std::string ComputerName();
// A non-loopback interface is up and a default route exists.
[[nodiscard]] bool IsOnline();
// A "ppp" interface is up.
[[nodiscard]] bool IsModemConnection();
// Whether a table in the format of /proc/net/route has a default route that is up.
[[nodiscard]] bool HasDefaultRoute(std::string_view routeTable);

// `DirectoryExists` is the one of platform/Files.h.

enum class TSpecialFolder { Personal, Desktop, AppData, LocalAppData, Templates, Music, Pictures };
// The folder's path without a trailing "/".
[[nodiscard]] std::string SpecialFolder(TSpecialFolder id);

// Replaces %NAME% by the value of the environment variable NAME; unknown names stay as they
// are. The result is at most 1024 bytes.
[[nodiscard]] std::string ExpandEnvironment(std::string_view text);

// Where `SendToSpade` puts its text; the user interface installs the clipboard here.
using TClipboardSink = std::function<void(const std::string& text)>;
void SetClipboardSink(TClipboardSink sink);
// Hands a message to the clipboard for an outside query tool: the headers, or the headers, a
// carriage return and the body. False when no clipboard is installed.
bool SendToSpade(std::string_view headers, std::string_view body);

}  // namespace tarnwell
