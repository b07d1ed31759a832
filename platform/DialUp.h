#pragma once

#include <string>
#include <vector>

namespace tarnwell {

// The dial-up connections of the system: its phone-book entries, the connections that are up,
// and the one connection this program dialed. Results other than 0 are error numbers; callers
// only test for 0.
class TDialUp {
 public:
  // The answer of every operation on a system without dial-up support, and for an entry
  // position outside `Entries`.
  static constexpr int kNotAvailable = 635;
  // The answer when the operation failed in an unexpected way.
  static constexpr int kFailed = 664;

  virtual ~TDialUp() = default;

  // Fills `Entries` with the names of the phone-book entries; 0 on success.
  virtual int RefreshEntries() = 0;
  [[nodiscard]] virtual const std::vector<std::string>& Entries() const = 0;
  // Reads the dial credentials stored with entry `index`; false, leaving `user` and `password`
  // as they were, when it has none that can be read (the answer of a system without dial-up).
  virtual bool EntryCredentials(int index, std::string& user, std::string& password);
  // Fills `Connections` with the entry names of the connections that are up; 0 on success.
  virtual int RefreshConnections() = 0;
  [[nodiscard]] virtual const std::vector<std::string>& Connections() const = 0;
  // Dials entry `index` and returns when the connection is up or has failed. Credentials stored
  // with the entry take precedence; `user` and `password` fill what the entry leaves empty.
  virtual int DialEntryAs(int index, const std::string& user, const std::string& password) = 0;
  // Hangs up the connection this program dialed (0 when there is none).
  virtual int HangUpDialed() = 0;
  [[nodiscard]] virtual bool IsDialedConnected() = 0;
  // Refreshes `Connections` and tells whether the first of them is connected.
  [[nodiscard]] virtual bool IsAnyConnected() = 0;

  // The dial-up service of the program; a system without dial-up unless another was installed.
  static TDialUp& Current();
  // Installs `dialUp` (nullptr restores the default). The caller keeps ownership.
  static void Install(TDialUp* dialUp);
};

// A system without dial-up: no entries, no connection, and every dial fails.
class TNoDialUp : public TDialUp {
 public:
  int RefreshEntries() override { return kNotAvailable; }
  [[nodiscard]] const std::vector<std::string>& Entries() const override { return none_; }
  int RefreshConnections() override { return kNotAvailable; }
  [[nodiscard]] const std::vector<std::string>& Connections() const override { return none_; }
  int DialEntryAs(int, const std::string&, const std::string&) override { return kNotAvailable; }
  int HangUpDialed() override { return kNotAvailable; }
  [[nodiscard]] bool IsDialedConnected() override { return false; }
  [[nodiscard]] bool IsAnyConnected() override { return false; }

 private:
  std::vector<std::string> none_;
};

}  // namespace tarnwell
