#pragma once

#include <string>

namespace tarnwell::test {

// A socket on 127.0.0.1 that listens and tells whether anything connected to it.
class TListener {
 public:
  TListener();
  ~TListener();
  TListener(const TListener&) = delete;
  TListener& operator=(const TListener&) = delete;

  [[nodiscard]] int Port() const { return port_; }
  // "http://127.0.0.1:PORT".
  [[nodiscard]] std::string Address() const;
  [[nodiscard]] bool Connected() const;

 private:
  int fd_;
  int port_ = 0;
};

// Tells whether a file, or a file in a folder, was opened or read since the watch began.
class TFileWatch {
 public:
  explicit TFileWatch(const std::string& path);
  ~TFileWatch();
  TFileWatch(const TFileWatch&) = delete;
  TFileWatch& operator=(const TFileWatch&) = delete;

  [[nodiscard]] bool Touched() const;

 private:
  int fd_;
};

}  // namespace tarnwell::test
