#include "tests/support/FakeResolver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

#include "platform/HostLookup.h"
#include "tests/support/ChildProcess.h"

namespace tarnwell::test {

namespace {

// DNS header flags and codes (RFC 1035 4.1.1).
constexpr unsigned kResponse = 0x8000;
constexpr unsigned kRecursionDesired = 0x0100;
constexpr unsigned kRecursionAvailable = 0x0080;
constexpr unsigned kTypeA = 1;

void PutShort(std::vector<unsigned char>& out, unsigned value) {
  out.push_back(static_cast<unsigned char>(value >> 8));
  out.push_back(static_cast<unsigned char>(value & 0xff));
}

unsigned ShortAt(const unsigned char* data, size_t at) {
  return static_cast<unsigned>(data[at]) << 8 | data[at + 1];
}

// The end of the first question, or 0 when the packet holds none that is whole.
size_t QuestionEnd(const unsigned char* data, size_t size) {
  size_t at = 12;
  while (at < size && data[at] != 0) {
    if (data[at] >= 64) return 0;  // compressed or reserved; resolvers do not send these
    at += data[at] + 1u;
  }
  at += 1 + 4;  // the root label, the type and the class
  return at <= size ? at : 0;
}

}  // namespace

TFakeResolver::TFakeResolver(TAnswer answer) : answer_(answer) {
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) throw std::runtime_error("socket failed");
  const int port = BindLoopbackPort(fd_, "cannot bind a UDP socket on 127.0.0.1");
  watch_ = std::make_unique<TFdWatch>(fd_, TEventLoop::evRead, [this](unsigned) { OnQuestion(); });
  THostLookup::SetServers("127.0.0.1:" + std::to_string(port));
}

TFakeResolver::~TFakeResolver() {
  THostLookup::SetServers("");
  watch_.reset();
  ::close(fd_);
}

void TFakeResolver::OnQuestion() {
  unsigned char packet[512];
  for (;;) {
    sockaddr_storage from{};
    socklen_t fromLength = sizeof from;
    const ssize_t n =
        ::recvfrom(fd_, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n < 0) return;
    ++questions_;
    const auto size = static_cast<size_t>(n);
    const size_t end = size >= 12 ? QuestionEnd(packet, size) : 0;
    if (answer_ == TAnswer::Silent || end == 0) continue;
    unsigned code = 0;
    switch (answer_) {
      case TAnswer::NoSuchName: code = 3; break;
      case TAnswer::ServerFailure: code = 2; break;
      case TAnswer::FormatError: code = 1; break;
      default: break;
    }
    const bool address = answer_ == TAnswer::Loopback && ShortAt(packet, end - 4) == kTypeA;
    std::vector<unsigned char> reply;
    PutShort(reply, ShortAt(packet, 0));
    PutShort(reply,
             kResponse | (ShortAt(packet, 2) & kRecursionDesired) | kRecursionAvailable | code);
    PutShort(reply, 1);
    PutShort(reply, address ? 1 : 0);
    PutShort(reply, 0);
    PutShort(reply, 0);
    reply.insert(reply.end(), packet + 12, packet + end);
    if (address) {
      PutShort(reply, 0xc00c);  // the name of the question
      PutShort(reply, kTypeA);
      PutShort(reply, 1);  // IN
      PutShort(reply, 0);
      PutShort(reply, 60);  // TTL
      PutShort(reply, 4);
      reply.insert(reply.end(), {127, 0, 0, 1});
    }
    ::sendto(fd_, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
  }
}

}  // namespace tarnwell::test
