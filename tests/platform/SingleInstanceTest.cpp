#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <optional>

#include "platform/SingleInstance.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

class SingleInstanceTest : public ::testing::Test {
 protected:
  // Runs the loop until a code arrived or the loop has nothing more to do for a while.
  std::optional<int32_t> Received() {
    for (int i = 0; i < 50 && codes.empty(); ++i) loop.Pump(20);
    if (codes.empty()) return std::nullopt;
    const int32_t code = codes.front();
    codes.erase(codes.begin());
    return code;
  }

  TSingleInstance::TInvokeHandler Recorder() {
    return [this](int32_t code) { codes.push_back(code); };
  }

  // A connection to the socket that sends `bytes` and closes.
  void SendRaw(const std::string& bytes) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
  }

  test::TTempDir dir;
  std::string path = dir / "Tarnwell.socket";
  TPollEventLoop loop;
  std::vector<int32_t> codes;
};

TEST_F(SingleInstanceTest, TheFirstListensAndASecondPassesItsCode) {
  TSingleInstance first(path, loop);
  ASSERT_TRUE(first.Acquire(Recorder()));
  EXPECT_TRUE(first.ListenError().empty());
  for (const int32_t code : {icSuspend, icResume, icOpen}) {
    TSingleInstance second(path, loop);
    ASSERT_FALSE(second.Acquire({}));
    ASSERT_TRUE(second.Send(code));
    EXPECT_EQ(Received(), code);
  }
}

TEST_F(SingleInstanceTest, ASocketLeftByAnInstanceThatIsGoneIsTakenOver) {
  {
    // A socket file whose listener is gone, as a crash leaves it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(test::FileExists(path));
  }
  {
    TSingleInstance first(path, loop);
    ASSERT_TRUE(first.Acquire(Recorder()));
    TSingleInstance second(path, loop);
    ASSERT_FALSE(second.Acquire({}));
  }
  EXPECT_FALSE(test::FileExists(path)) << "the instance that ends removes its socket";
  EXPECT_FALSE(test::FileExists(path + ".lock"));
  TSingleInstance next(path, loop);
  ASSERT_TRUE(next.Acquire(Recorder()));
  TSingleInstance sender(path, loop);
  ASSERT_TRUE(sender.Send(icAbout));
  EXPECT_EQ(Received(), icAbout);
}

TEST_F(SingleInstanceTest, WhatIsNotACodeOfOursIsIgnored) {
  TSingleInstance first(path, loop);
  ASSERT_TRUE(first.Acquire(Recorder()));
  for (const std::string& bytes :
       {std::string("InvokeTarnwell\n"), std::string("InvokeTarnwell 1x\n"),
        std::string("invoketarnwell 1\n"), std::string("InvokeTarnwell 99999999999\n"),
        "InvokeTarnwell " + std::string(200, '1'), std::string(1000, '\0')}) {
    SendRaw(bytes);
    SendRaw("InvokeTarnwell 2\n");
    EXPECT_EQ(Received(), icAbout);
    for (int i = 0; i < 10; ++i) loop.Pump(0);
    EXPECT_TRUE(codes.empty()) << bytes.substr(0, 40);
  }
  // A code without the line end counts when the peer closes.
  SendRaw("InvokeTarnwell 4");
  EXPECT_EQ(Received(), icSettings);
}

TEST_F(SingleInstanceTest, TheSocketIsNamedAfterTheProgramFolder) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::optional<std::string> previous =
      saved ? std::optional<std::string>(saved) : std::nullopt;
  test::TTempDir runtime;
  ::setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
  const std::string inRuntime = InstanceSocketPath(dir.Path());
  EXPECT_EQ(inRuntime.rfind(runtime.Path() + "tarnwell-", 0), 0u) << inRuntime;
  EXPECT_EQ(InstanceSocketPath(dir.Path() + "/./"), inRuntime);
  test::TTempDir other;
  EXPECT_NE(InstanceSocketPath(other.Path()), inRuntime);
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(InstanceSocketPath(dir.Path()), dir.Path() + "Tarnwell.socket");
  if (previous) ::setenv("XDG_RUNTIME_DIR", previous->c_str(), 1);
}

}  // namespace
}  // namespace tarnwell
