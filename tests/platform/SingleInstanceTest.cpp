#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
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
  std::string lock = dir / "Tarnwell.lock";
  std::string path = dir / "Tarnwell.socket";
  TPollEventLoop loop;
  std::vector<int32_t> codes;
};

TEST_F(SingleInstanceTest, TheFirstListensAndASecondPassesItsCode) {
  TSingleInstance first(lock, path, loop);
  ASSERT_TRUE(first.Acquire(Recorder()));
  EXPECT_TRUE(first.ListenError().empty());
  for (const int32_t code : {icSuspend, icResume, icOpen}) {
    TSingleInstance second(lock, path, loop);
    ASSERT_FALSE(second.Acquire({}));
    ASSERT_TRUE(second.Send(code));
    EXPECT_EQ(Received(), code);
  }
}

TEST_F(SingleInstanceTest, ASocketLeftByAnInstanceThatIsGoneIsTakenOver) {
  {
    // A socket file whose listener is gone, as a crash leaves it, and the lock file of an
    // instance that listened elsewhere.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(test::FileExists(path));
    test::WriteFileText(lock, dir / "a-longer-name-of-a-socket-no-one-listens-on.socket\n");
  }
  {
    TSingleInstance first(lock, path, loop);
    ASSERT_TRUE(first.Acquire(Recorder()));
    EXPECT_EQ(test::ReadFileText(lock), path + "\n");
    TSingleInstance second(lock, path, loop);
    ASSERT_FALSE(second.Acquire({}));
  }
  EXPECT_FALSE(test::FileExists(path)) << "the instance that ends removes its socket";
  EXPECT_FALSE(test::FileExists(lock));
  TSingleInstance next(lock, path, loop);
  ASSERT_TRUE(next.Acquire(Recorder()));
  TSingleInstance sender(lock, path, loop);
  ASSERT_TRUE(sender.Send(icAbout));
  EXPECT_EQ(Received(), icAbout);
}

// Instances started with and without a runtime folder choose different sockets.
TEST_F(SingleInstanceTest, InstancesWithDifferentSocketsMeetThroughTheLock) {
  test::TTempDir runtime;
  const std::string elsewhere = runtime / "tarnwell.socket";
  for (const auto& [firstSocket, secondSocket] : {std::pair{path, elsewhere}, {elsewhere, path}}) {
    TSingleInstance first(lock, firstSocket, loop);
    ASSERT_TRUE(first.Acquire(Recorder()));
    {
      TSingleInstance second(lock, secondSocket, loop);
      ASSERT_FALSE(second.Acquire({})) << firstSocket;
      ASSERT_TRUE(second.Send(icResume));
      EXPECT_EQ(Received(), icResume);
    }
    EXPECT_TRUE(test::FileExists(lock)) << "the second leaves the lock of the first alone";
    EXPECT_FALSE(test::FileExists(secondSocket));
  }
}

TEST_F(SingleInstanceTest, WhatIsNotACodeOfOursIsIgnored) {
  TSingleInstance first(lock, path, loop);
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

TEST_F(SingleInstanceTest, TheSocketIsNamedAfterTheProgramFolderAndTheLockLivesInIt) {
  test::TTempDir runtime;
  const std::string link = runtime / "link";
  std::filesystem::create_directory_symlink(dir.Path(), link);
  std::optional<test::TEnvironmentVariable> environment;
  environment.emplace("XDG_RUNTIME_DIR", runtime.Path());
  const std::string inRuntime = InstanceSocketPath(dir.Path());
  EXPECT_EQ(inRuntime.rfind(runtime.Path() + "tarnwell-", 0), 0u) << inRuntime;
  EXPECT_EQ(InstanceSocketPath(dir.Path() + "/./"), inRuntime);
  EXPECT_EQ(InstanceSocketPath(link), inRuntime);
  test::TTempDir other;
  EXPECT_NE(InstanceSocketPath(other.Path()), inRuntime);
  EXPECT_EQ(InstanceLockPath(link), lock);
  environment.reset();
  environment.emplace("XDG_RUNTIME_DIR", std::nullopt);
  EXPECT_EQ(InstanceSocketPath(dir.Path()), dir.Path() + "Tarnwell.socket");
  EXPECT_EQ(InstanceLockPath(dir.Path()), lock);
}

}  // namespace
}  // namespace tarnwell
