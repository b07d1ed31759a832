#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "accounts/Account.h"

namespace tarnwell::test {

// One message on the scripted server.
struct TServerMessage {
  std::string uid;
  std::string text;  // headers, an empty line, the body; "\n" line ends are fine
};

// An account kind for tests: its server is an in-memory mailbox, with switches that make
// operations fail and a journal of the calls it received.
class TScriptedAccount : public TAccount {
 public:
  static constexpr uint8_t kType = akPOP3;

  // Another kind's `type` gives the scripted server that kind's code, e.g. a MAPI profile's.
  explicit TScriptedAccount(uint8_t type = kType) : TAccount(type) {}

  std::unique_ptr<TEmail> GetFirstMessage(const std::string& uid) override;
  std::unique_ptr<TEmail> GetMessage(int32_t number, const std::string& uid) override;
  void ReadBody(int index, int32_t number) override;
  void SaveOriginal(int index, int32_t number) override;
  void SendMessage(TEmail& message) override;
  bool LoginIncoming() override;
  void LogoutIncoming() override;
  bool LoginOutgoing() override;
  void LogoutOutgoing() override;
  int32_t FindServerNumber(int index) override;
  void ForwardMessage(TEmail& message) override;
  void RestoreMessage(TEmail& message) override;
  void RetrieveMessages(const std::vector<int>& indexes) override;
  void DeleteMessages(const std::vector<int>& indexes) override;
  void DeleteMessage(int index, int32_t number) override;
  void Save(TRegistry& registry) override;

  // The server.
  std::vector<TServerMessage> Mailbox;
  // The server answers UIDL (the kind fills `UIDs` at login).
  bool ListsUIDs = true;

  // Switches.
  bool FailLogin = false;
  bool FailDelete = false;
  bool FailOutgoingLogin = false;
  // Sending fails from this message on (counting from 1); 0 never.
  int FailSendFrom = 0;
  // A save writes the account, then fails.
  bool FailSave = false;
  // Called with the number of each message fetched by `GetMessage`.
  std::function<void(int32_t number)> OnFetch;
  // Called after each save of the account.
  std::function<void()> OnSaved;

  // What the account did: "login", "logout", "delete <uid>", "send <subject>", ...; also
  // appended to `SharedJournal` with the account's description in front when that is set.
  std::vector<std::string> Journal;
  static std::vector<std::string>* SharedJournal;
  std::vector<TEmail> Sent;
  std::vector<TEmail> Forwarded;

 private:
  void Record(const std::string& call);
  [[nodiscard]] int ServerIndexOf(const std::string& uid) const;
};

// Registers the scripted kind as account kind 1 while the object lives.
class TScriptedKind {
 public:
  TScriptedKind();
  ~TScriptedKind();
  TScriptedKind(const TScriptedKind&) = delete;
  TScriptedKind& operator=(const TScriptedKind&) = delete;
};

}  // namespace tarnwell::test
