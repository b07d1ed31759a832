#include "message/SvcSystem.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "message/QStrings.h"
#include "platform/EventLoop.h"
#include "platform/XdgFolders.h"

namespace tarnwell {

namespace {

constexpr size_t kMaxComputerName = 16;
constexpr size_t kMaxExpanded = 1024;
// RTF_UP of the kernel's routing flags.
constexpr unsigned long kRouteUp = 0x1;

TClipboardSink& ClipboardSink() {
  static TClipboardSink sink;
  return sink;
}

// Whether an interface that is up matches `wanted`.
template <typename TPredicate>
bool AnyInterfaceUp(TPredicate wanted) {
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool found = false;
  for (const ifaddrs* entry = list; entry != nullptr && !found; entry = entry->ifa_next) {
    found = (entry->ifa_flags & IFF_UP) != 0 && wanted(*entry);
  }
  freeifaddrs(list);
  return found;
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

void Pause(int milliseconds) {
  ProcessMessages();
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void WaitMilliseconds(int milliseconds) { WaitMs(milliseconds); }

std::string ComputerName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return std::string();
  return std::string(name).substr(0, kMaxComputerName);
}

bool HasDefaultRoute(std::string_view routeTable) {
  // Columns: Iface Destination Gateway Flags ...; the first line is the heading.
  size_t begin = routeTable.find('\n');
  while (begin != std::string_view::npos && begin < routeTable.size()) {
    const size_t end = routeTable.find('\n', begin + 1);
    const std::string_view line = routeTable.substr(
        begin + 1, end == std::string_view::npos ? std::string_view::npos : end - begin - 1);
    const std::string destination = NthToken(line, 2, kAlphanumerics);
    const std::string flags = NthToken(line, 4, kAlphanumerics);
    if (destination == "00000000" && !flags.empty() &&
        (std::strtoul(flags.c_str(), nullptr, 16) & kRouteUp) != 0) {
      return true;
    }
    begin = end;
  }
  return false;
}

bool IsOnline() {
  std::string routes;
  if (!ReadWholeFile("/proc/net/route", routes) || !HasDefaultRoute(routes)) return false;
  return AnyInterfaceUp([](const ifaddrs& entry) { return (entry.ifa_flags & IFF_LOOPBACK) == 0; });
}

bool IsModemConnection() {
  return AnyInterfaceUp([](const ifaddrs& entry) {
    return entry.ifa_name != nullptr && std::string_view(entry.ifa_name).starts_with("ppp");
  });
}

std::string SpecialFolder(TSpecialFolder id) {
  switch (id) {
    case TSpecialFolder::Personal: return WithoutTrailingSlash(XdgUserDir("DOCUMENTS"));
    case TSpecialFolder::Desktop: return WithoutTrailingSlash(XdgUserDir("DESKTOP"));
    case TSpecialFolder::AppData: return WithoutTrailingSlash(XdgConfigHome());
    case TSpecialFolder::LocalAppData: return WithoutTrailingSlash(XdgDataHome());
    case TSpecialFolder::Templates: return WithoutTrailingSlash(XdgUserDir("TEMPLATES"));
    case TSpecialFolder::Music: return WithoutTrailingSlash(XdgUserDir("MUSIC"));
    case TSpecialFolder::Pictures: return WithoutTrailingSlash(XdgUserDir("PICTURES"));
  }
  return std::string();
}

std::string ExpandEnvironment(std::string_view text) {
  std::string result;
  size_t i = 0;
  while (i < text.size() && result.size() < kMaxExpanded) {
    const size_t close = text[i] == '%' ? text.find('%', i + 1) : std::string_view::npos;
    if (close == std::string_view::npos || close == i + 1) {
      result += text[i++];
      continue;
    }
    const std::string name(text.substr(i + 1, close - i - 1));
    if (const char* value = std::getenv(name.c_str())) {
      result += value;
      i = close + 1;
    } else {
      // An unknown name is kept, and its closing "%" may open the next one.
      result += text.substr(i, close - i);
      i = close;
    }
  }
  if (result.size() > kMaxExpanded) result.resize(kMaxExpanded);
  return result;
}

void SetClipboardSink(TClipboardSink sink) { ClipboardSink() = std::move(sink); }

bool SendToSpade(std::string_view headers, std::string_view body) {
  const TClipboardSink& sink = ClipboardSink();
  if (!sink) return false;
  std::string text(headers);
  if (!body.empty()) {
    text += '\r';
    text += body;
  }
  sink(text);
  return true;
}

}  // namespace tarnwell
