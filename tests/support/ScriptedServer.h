#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/EventLoop.h"
#include "tests/support/TestSupport.h"

namespace tarnwell::test {

// A server on 127.0.0.1 that follows a script of what the client must send and what it gets
// back, driven by the event loop the client waits in. Client bytes that differ from the script,
// or that arrive while the server is not waiting for any, fail the test. The script must be
// used up by the end of the server's life.
class TScriptedServer {
 public:
  TScriptedServer();
  ~TScriptedServer();
  TScriptedServer(const TScriptedServer&) = delete;
  TScriptedServer& operator=(const TScriptedServer&) = delete;

  [[nodiscard]] int Port() const { return port_; }

  // The next bytes the client must send, exactly (CR LF included).
  TScriptedServer& Expect(std::string bytes);
  TScriptedServer& Send(std::string bytes);
  // Lets the client's event loop turn `pumps` times before the next step, so what was sent so
  // far reaches the client on its own.
  TScriptedServer& Pause(int pumps = 3);
  TScriptedServer& Call(std::function<void()> action);
  // Closes the connection to the client.
  TScriptedServer& Close();
  // Waits for the next connection (the script starts with one).
  TScriptedServer& Accept();

  [[nodiscard]] bool Finished() const { return next_ >= steps_.size() && output_.empty(); }
  // "C: " and "S: " blocks in the order they happened.
  [[nodiscard]] const std::string& Transcript() const { return transcript_; }
  [[nodiscard]] bool ClientConnected() const { return client_ >= 0; }
  // Whether the client closed its end.
  [[nodiscard]] bool ClientClosed() const { return clientClosed_; }

 private:
  enum class TKind { Accept, Expect, Send, Pause, Call, Close };
  struct TStep {
    TKind kind;
    std::string bytes;
    int pumps = 0;
    std::function<void()> action;
  };

  TScriptedServer& Add(TStep step);
  void OnListen();
  void OnClient(unsigned events);
  void OnTick();
  void Run();
  void FlushOutput();
  void CloseClient();
  void Unexpected(const std::string& why);

  int listen_ = -1;
  int port_ = 0;
  int client_ = -1;
  bool clientClosed_ = false;
  std::unique_ptr<TFdWatch> listenWatch_;
  std::unique_ptr<TFdWatch> clientWatch_;
  TTimer ticker_;
  std::vector<TStep> steps_;
  size_t next_ = 0;
  int pumpsLeft_ = 0;
  bool running_ = false;
  std::string input_;
  std::string output_;
  std::string transcript_;
};

// Time that runs fast while the loop turns: each turn moves the manual clock on by `stepMs`,
// so the clients' timers fire without a real wait.
class TClockRunner {
 public:
  TClockRunner(TManualClock& clock, int64_t stepMs);
  void Stop() { timer_.SetEnabled(false); }

 private:
  TManualClock& clock_;
  int64_t stepMs_;
  TTimer timer_;
};

// Bytes with CR, LF and other control characters made visible, for failure messages.
[[nodiscard]] std::string Visible(const std::string& bytes);

}  // namespace tarnwell::test
