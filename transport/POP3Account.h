#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "accounts/Account.h"
#include "transport/POP.h"
#include "transport/SMTP.h"
#include "transport/SMTPInfo.h"

namespace tarnwell {

// The account kind for Internet mail: incoming mail from a POP3 server, complaints and
// forwarded messages out through an SMTP server.
class TPOP3Account : public TAccount {
 public:
  TPOP3Account();
  ~TPOP3Account() override;

  void SetCancelled(bool value) override;
  void SetLogging(bool on) override;
  [[nodiscard]] std::string GetUID(int32_t number) override;
  [[nodiscard]] std::unique_ptr<TEmail> GetFirstMessage(const std::string& uid) override;
  [[nodiscard]] std::unique_ptr<TEmail> GetMessage(int32_t number, const std::string& uid) override;
  [[nodiscard]] bool IsSkipped(int index) override;
  void ReadBody(int index, int32_t number) override;
  void SaveOriginal(int index, int32_t number) override;
  void SendMessage(TEmail& message) override;
  bool LoginIncoming() override;
  void LogoutIncoming() override;
  void AbandonIncoming() override;
  bool LoginOutgoing() override;
  void LogoutOutgoing() override;
  [[nodiscard]] int32_t FindServerNumber(int index) override;
  void ForwardMessage(TEmail& message) override;
  void RestoreMessage(TEmail& message) override;
  void RetrieveMessages(const std::vector<int>& indexes) override;
  void DeleteMessages(const std::vector<int>& indexes) override;
  void DeleteMessage(int index, int32_t number) override;
  // DELE takes effect at QUIT (RFC 1939).
  [[nodiscard]] bool DeletesAtLogout() const override { return true; }
  [[nodiscard]] bool IncomingConnected() const override;
  void Load(TRegistry& registry) override;
  void Save(TRegistry& registry) override;
  [[nodiscard]] int32_t MacroCount() override;
  [[nodiscard]] std::string MacroName(int32_t n) override;
  [[nodiscard]] std::string MacroValue(int32_t n) override;

  // Sets the clients up from the account before a session, creating them on first use.
  void PreparePop3();
  void PrepareSmtp();
  [[nodiscard]] TPOP3* Pop3() const { return pop3_.get(); }
  [[nodiscard]] TSMTP* Smtp() const { return smtp_.get(); }

  std::string POP3Server;
  int32_t POP3Port = 110;
  std::string POP3UserName;
  bool SPA = false;
  TSMTPInfo SmtpInfo;
  int32_t Timeout = 60;
  // A TSecurity value; stores made before it load as plain connections.
  int32_t POP3Security = 0;
  // The SHA-256 fingerprint of a certificate the user accepted; empty when none.
  std::string POP3CertPin;
  // The message sizes of the server's LIST, in server order, for the current session.
  std::vector<std::string> Sizes;

 private:
  // The UID the server gives message `number`, or the text of its headers without the
  // "Status" and "X-UIDL" lines when it names none.
  [[nodiscard]] std::string ServerUID(int32_t number);
  // Drops entry n - 1 of the session's lists after message n was deleted.
  void ForgetServerEntry(int32_t number);
  void SendToAll(TEmail& message);
  // Runs `work` logged in to the POP3 server, dialing first when the account needs it; logs
  // out and hangs up afterwards, also when `work` raises. Nothing runs when the dial fails.
  // A logout that leaves deletions in doubt raises.
  void InPop3Session(const std::function<void()>& work);

  // `UIDs` holds this session's whole UIDL listing, one entry per message number.
  bool listIntact_ = false;
  std::unique_ptr<TPOP3> pop3_;
  std::unique_ptr<TSMTP> smtp_;
};

// Makes kind 1 of the account list a TPOP3Account; the program calls it at start-up.
void RegisterPOP3Account();

}  // namespace tarnwell
