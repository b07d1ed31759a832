#include "platform/HostLookup.h"

#include <ares.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cstring>
#include <map>
#include <string_view>
#include <utility>

#include "platform/SocketErrors.h"

namespace tarnwell {

namespace {

std::string& Servers() {
  static std::string servers;
  return servers;
}

// The Windows Sockets code for a resolver status, as the system's getaddrinfo failures map.
int SocketErrorFromResolver(int status) {
  switch (status) {
    case ARES_ENODATA: return wsaNoData;
    case ARES_ESERVFAIL:
    case ARES_EREFUSED:
    case ARES_ETIMEOUT:
    case ARES_ECONNREFUSED: return wsaTryAgain;
    case ARES_EFORMERR:
    case ARES_ENOTIMP:
    case ARES_EBADRESP: return wsaNoRecovery;
    case ARES_ENOMEM: return SocketErrorFromErrno(ENOMEM);
    default: return wsaHostNotFound;
  }
}

// Names under "invalid" never exist (RFC 6761), so no name server is asked about them.
bool IsInvalidName(std::string_view name) {
  if (!name.empty() && name.back() == '.') name.remove_suffix(1);
  constexpr std::string_view kSuffix = "invalid";
  if (name.size() < kSuffix.size()) return false;
  const size_t start = name.size() - kSuffix.size();
  if (start > 0 && name[start - 1] != '.') return false;
  for (size_t i = 0; i < kSuffix.size(); ++i)
    if ((name[start + i] | 0x20) != kSuffix[i]) return false;
  return true;
}

// Numeric addresses in every form the system accepts, without asking the resolver.
bool NumericAddresses(const std::string& name, std::vector<sockaddr_storage>& addresses) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST;
  addrinfo* found = nullptr;
  if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0) return false;
  for (const addrinfo* ai = found; ai; ai = ai->ai_next) {
    if (ai->ai_family != AF_INET && ai->ai_family != AF_INET6) continue;
    sockaddr_storage storage{};
    std::memcpy(&storage, ai->ai_addr, ai->ai_addrlen);
    addresses.push_back(storage);
  }
  ::freeaddrinfo(found);
  return !addresses.empty();
}

int CloseOnExec(int fd, int, void*) {
  const int flags = ::fcntl(fd, F_GETFD);
  return flags < 0 ? -1 : ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
}

}  // namespace

// One lookup in flight: its resolver channel and the watches of the channel's sockets.
struct THostLookup::TRun {
  TRun(THostLookup& owner, TDone done) : owner(owner), done(std::move(done)) {}

  ~TRun() {
    // Destroying the channel reports its closed sockets and a cancelled answer, both ignored.
    cancelled = true;
    if (channel) ares_destroy(channel);
    for (const auto& [fd, watch] : watches) owner.loop_.Unwatch(watch);
    owner.loop_.SetTimer(owner.timer_, 0, false);
  }

  TRun(const TRun&) = delete;
  TRun& operator=(const TRun&) = delete;

  static void OnSocketState(void* data, ares_socket_t fd, int readable, int writable) {
    auto* run = static_cast<TRun*>(data);
    const unsigned events =
        (readable ? TEventLoop::evRead : 0u) | (writable ? TEventLoop::evWrite : 0u);
    const auto it = run->watches.find(fd);
    if (events == 0) {
      if (it == run->watches.end()) return;
      run->owner.loop_.Unwatch(it->second);
      run->watches.erase(it);
    } else if (it != run->watches.end()) {
      run->owner.loop_.SetWatchEvents(it->second, events);
    } else {
      THostLookup* owner = &run->owner;
      run->watches[fd] = owner->loop_.Watch(
          fd, events, [owner, fd](unsigned ready) { owner->OnSocket(fd, ready); });
    }
  }

  static void OnAnswer(void* data, int status, int, ares_addrinfo* result) {
    auto* run = static_cast<TRun*>(data);
    if (!run->cancelled) {
      run->finished = true;
      if (status != ARES_SUCCESS) {
        run->code = SocketErrorFromResolver(status);
      } else {
        for (const ares_addrinfo_node* node = result ? result->nodes : nullptr; node;
             node = node->ai_next) {
          if (node->ai_family != AF_INET && node->ai_family != AF_INET6) continue;
          sockaddr_storage storage{};
          std::memcpy(&storage, node->ai_addr, node->ai_addrlen);
          run->addresses.push_back(storage);
        }
        if (run->addresses.empty()) run->code = wsaNoData;
      }
    }
    if (result) ares_freeaddrinfo(result);
  }

  THostLookup& owner;
  ares_channel channel = nullptr;
  std::map<ares_socket_t, int> watches;
  TDone done;
  bool cancelled = false;
  bool finished = false;
  int code = 0;
  std::vector<sockaddr_storage> addresses;
};

THostLookup::THostLookup(TEventLoop& loop)
    : loop_(loop), timer_(loop_.CreateTimer([this] { OnTimer(); })) {}

THostLookup::~THostLookup() {
  Cancel();
  loop_.DestroyTimer(timer_);
}

void THostLookup::SetServers(std::string servers) { Servers() = std::move(servers); }

void THostLookup::Cancel() { run_.reset(); }

void THostLookup::Start(const std::string& name, TDone done) {
  Cancel();
  std::vector<sockaddr_storage> numeric;
  if (NumericAddresses(name, numeric)) {
    done(0, std::move(numeric));
    return;
  }
  if (name.empty() || IsInvalidName(name)) {
    done(wsaHostNotFound, {});
    return;
  }
  static const int initialised = ares_library_init(ARES_LIB_INIT_ALL);
  run_ = std::make_unique<TRun>(*this, std::move(done));
  ares_options options{};
  options.sock_state_cb = &TRun::OnSocketState;
  options.sock_state_cb_data = run_.get();
  // getaddrinfo's own defaults, so a silent name server is given up as soon as it was before.
  options.timeout = 5000;
  options.tries = 2;
  int status = initialised;
  if (status == ARES_SUCCESS)
    status = ares_init_options(&run_->channel, &options,
                               ARES_OPT_SOCK_STATE_CB | ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES);
  if (status == ARES_SUCCESS && !Servers().empty())
    status = ares_set_servers_ports_csv(run_->channel, Servers().c_str());
  if (status != ARES_SUCCESS) {
    run_->finished = true;
    run_->code = SocketErrorFromResolver(status);
    Settle();
    return;
  }
  ares_set_socket_configure_callback(run_->channel, CloseOnExec, nullptr);
  ares_addrinfo_hints hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  ares_getaddrinfo(run_->channel, name.c_str(), nullptr, &hints, &TRun::OnAnswer, run_.get());
  Settle();
}

void THostLookup::OnSocket(int fd, unsigned events) {
  if (!run_) return;
  const bool readable = (events & (TEventLoop::evRead | TEventLoop::evError)) != 0;
  const bool writable = (events & TEventLoop::evWrite) != 0;
  ares_process_fd(run_->channel, readable ? fd : ARES_SOCKET_BAD, writable ? fd : ARES_SOCKET_BAD);
  Settle();
}

void THostLookup::OnTimer() {
  if (!run_) return;
  loop_.SetTimer(timer_, 0, false);
  ares_process_fd(run_->channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
  Settle();
}

void THostLookup::Settle() {
  if (!run_->finished) {
    timeval wait{};
    if (ares_timeout(run_->channel, nullptr, &wait)) {
      const auto ms = static_cast<uint32_t>(wait.tv_sec * 1000 + (wait.tv_usec + 999) / 1000);
      loop_.SetTimer(timer_, ms, true);
    }
    return;
  }
  // The channel goes before the owner hears of it, since the owner may start the next lookup
  // or end this object.
  const TDone done = std::move(run_->done);
  const int code = run_->code;
  std::vector<sockaddr_storage> addresses = std::move(run_->addresses);
  run_.reset();
  done(code, std::move(addresses));
}

}  // namespace tarnwell
