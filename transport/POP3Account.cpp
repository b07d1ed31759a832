#include "transport/POP3Account.h"

#include <algorithm>
#include <climits>

#include "accounts/AccountKinds.h"
#include "message/Headers.h"
#include "message/MIME.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "platform/LineConnection.h"
#include "platform/Registry.h"
#include "shell/LogFile.h"
#include "shell/Settings.h"

namespace tarnwell {

namespace {

// The text after the last at sign; empty without one.
std::string DomainOfAddress(const std::string& address) {
  const size_t at = address.rfind('@');
  return at == std::string::npos ? std::string() : address.substr(at + 1);
}

std::string JoinComma(const std::vector<std::string>& list) {
  std::string text;
  for (size_t i = 0; i < list.size(); ++i) {
    if (i > 0) text += ", ";
    text += list[i];
  }
  return text;
}

void RemoveLastHeader(THeaders& headers, std::string_view name) {
  const int index = headers.IndexOfName(name);
  if (index >= 0) headers.Delete(index);
}

// Runs `action` when it goes out of scope; its failures are dropped so that they do not hide
// the error that is on its way out.
template <typename F>
struct TFinally {
  F action;
  ~TFinally() {
    try {
      action();
    } catch (const std::exception&) {
    }
  }
};
template <typename F>
TFinally(F) -> TFinally<F>;

}  // namespace

TPOP3Account::TPOP3Account() : TAccount(akPOP3) {}

TPOP3Account::~TPOP3Account() = default;

void TPOP3Account::SetCancelled(bool value) {
  if (value) {
    try {
      if (pop3_) pop3_->Abort(true);
    } catch (const std::exception&) {
    }
    try {
      if (smtp_) smtp_->Abort(true);
    } catch (const std::exception&) {
    }
  }
  TAccount::SetCancelled(value);
}

void TPOP3Account::SetLogging(bool on) {
  TLogFile* log = on ? &ProgramLog() : nullptr;
  if (pop3_) pop3_->SetLog(log);
  if (smtp_) smtp_->SetLog(log);
}

std::string TPOP3Account::GetUID(int32_t number) {
  std::string uid = TAccount::GetUID(number);
  if (uid.empty() && pop3_ && number >= 1 && number <= pop3_->MessageCount())
    uid = pop3_->UidlOne(number);
  return uid;
}

std::unique_ptr<TEmail> TPOP3Account::GetFirstMessage(const std::string& uid) {
  return GetMessage(1, uid);
}

std::unique_ptr<TEmail> TPOP3Account::GetMessage(int32_t number, const std::string& uid) {
  if (!pop3_ || number < 1 || number > pop3_->MessageCount()) return nullptr;
  auto message = std::make_unique<TEmail>();
  std::vector<std::string> lines;
  try {
    pop3_->RetrieveHeaders(number, lines);
  } catch (const std::exception&) {
    // A message the server will not show keeps empty headers; a lost connection would give
    // every message after it empty headers for good, so that ends the listing.
    if (!pop3_->Connection().Connected()) throw;
    lines.clear();
  }
  message->Headers = THeaders(std::move(lines));
  const size_t entry = static_cast<size_t>(number) - 1;
  int64_t size = 0;
  if (entry < Sizes.size() && ToInteger(Sizes[entry], size)) {
    message->Length = static_cast<int32_t>(std::clamp<int64_t>(size, 0, INT32_MAX));
  } else {
    message->Length = pop3_->ListOne(number);
  }
  message->UID = uid.empty() ? GetUID(number) : uid;
  if (message->UID.empty()) message->UID = message->Headers.TextWithoutStatus();
  if (TDeMIME::IsMime(message->Headers)) {
    try {
      Decoder.DecodeHeaders(message->Headers);
    } catch (const std::exception&) {
    }
  }
  message->ParseHeaders();
  return message;
}

bool TPOP3Account::IsSkipped(int index) {
  return Inbox[index]->Headers.HasHeader("X-Tarnwell-Forwarded");
}

// Failures are passed on: a text that was not fetched whole must not stand in for the message.
void TPOP3Account::ReadBody(int index, int32_t) {
  const int32_t number = FindServerNumber(index);
  TEmail* message = Inbox[index];
  try {
    pop3_->Retr(number, nullptr, message->Body);
  } catch (const std::exception&) {
    message->ClearBody();
    throw;
  }
  message->BodyState = TEmail::bsRetrieved;
  message->BodyLoaded = true;
}

void TPOP3Account::SaveOriginal(int, int32_t) {}

void TPOP3Account::SendToAll(TEmail& message) {
  smtp_->SendMail(message.From, message.To, message.Body, message.Headers);
  if (!message.Cc.empty()) smtp_->SendMail(message.From, message.Cc, message.Body, message.Headers);
}

void TPOP3Account::SendMessage(TEmail& message) {
  if (!smtp_) PrepareSmtp();
  message.Headers.Add("From: " + message.From);
  message.Headers.Add("To: " + JoinComma(message.To));
  if (!message.Cc.empty()) message.Headers.Add("Cc: " + message.Cc.front());
  smtp_->SendMail(message.From, message.To, message.Body, message.Headers);
  smtp_->Reset();
  if (!message.Cc.empty()) {
    smtp_->SendMail(message.From, message.Cc, message.Body, message.Headers);
    smtp_->Reset();
  }
}

void TPOP3Account::PreparePop3() {
  if (!pop3_) pop3_ = std::make_unique<TPOP3>();
  pop3_->SetLog(Settings().Logging ? &ProgramLog() : nullptr);
  pop3_->Host = POP3Server;
  pop3_->UserName = POP3UserName;
  pop3_->Domain = DomainOfAddress(Email);
  pop3_->Password = UnscramblePassword(Password);
  pop3_->Port = POP3Port;
  pop3_->UseSPA = SPA;
  pop3_->Security = POP3Security;
  pop3_->CertPin = POP3CertPin;
  pop3_->SetTimeout(Timeout);
}

void TPOP3Account::PrepareSmtp() {
  if (!smtp_) smtp_ = std::make_unique<TSMTP>();
  smtp_->SetLog(Settings().Logging ? &ProgramLog() : nullptr);
  smtp_->Host = SmtpInfo.SMTPServer;
  smtp_->Port = SmtpInfo.SMTPPort;
  // The computer's name as a network name: the host name's first label, at most 16
  // characters, without the characters a greeting name may not hold.
  std::string name;
  try {
    name = TLineConnection::LocalHostName();
    name = name.substr(0, name.find('.')).substr(0, 16);
    name = RemoveChars(name, " \"'!~\x7F");
  } catch (const std::exception&) {
    name.clear();
  }
  smtp_->ClientName = name.empty() ? DomainOfAddress(Email) : name;
  smtp_->SetTimeout(Timeout);
  smtp_->UseSPA = SmtpInfo.SMTPSPA;
  smtp_->Domain = DomainOfAddress(Email);
  smtp_->UseAuth = SmtpInfo.SMTPAuth;
  smtp_->AuthUser = SmtpInfo.SMTPAuthUser;
  smtp_->AuthPassword = SmtpInfo.SMTPAuthPass;
  smtp_->Security = SmtpInfo.SMTPSecurity;
  smtp_->CertPin = SmtpInfo.SMTPCertPin;
}

bool TPOP3Account::LoginIncoming() {
  TAccount::LoginIncoming();
  PreparePop3();
  pop3_->Login();
  MessageCount = pop3_->MessageCount();
  listIntact_ = pop3_->UidlAll(UIDs) && static_cast<int32_t>(UIDs.size()) == MessageCount;
  pop3_->ListAll(Sizes);
  LoggedIn = true;
  return true;
}

void TPOP3Account::LogoutIncoming() {
  Sizes.clear();
  listIntact_ = false;
  try {
    TAccount::LogoutIncoming();
  } catch (const std::exception&) {
  }
  // Only a logout that leaves deletions in doubt is an error; other failures of a session that
  // is ending would hide the error that ended it.
  try {
    if (pop3_) pop3_->Quit();
  } catch (const EPop3Unconfirmed&) {
    throw;
  } catch (const std::exception&) {
  }
}

void TPOP3Account::AbandonIncoming() {
  // Closed without QUIT, the session never reaches its update state (RFC 1939): the messages
  // marked deleted stay on the server.
  if (pop3_) pop3_->Connection().ForceClose();
  try {
    LogoutIncoming();
  } catch (const EPop3Unconfirmed&) {
  }
}

bool TPOP3Account::IncomingConnected() const { return pop3_ && pop3_->Connection().Connected(); }

bool TPOP3Account::LoginOutgoing() {
  LoggedIn = false;
  TAccount::LoginOutgoing();
  PrepareSmtp();
  smtp_->Login();
  LoggedIn = true;
  return true;
}

void TPOP3Account::LogoutOutgoing() {
  try {
    TAccount::LogoutOutgoing();
  } catch (const std::exception&) {
  }
  try {
    if (smtp_) smtp_->Quit();
  } catch (const std::exception&) {
  }
}

std::string TPOP3Account::ServerUID(int32_t number) {
  // Numbers stay fixed for a session, so the session's UIDL listing answers for the server as
  // long as no entry has been taken out of it.
  const auto entry = static_cast<size_t>(number) - 1;
  if (listIntact_ && number >= 1 && entry < UIDs.size()) return UIDs[entry];
  std::string uid = pop3_->UidlOne(number);
  if (uid.empty()) {
    std::vector<std::string> lines;
    pop3_->RetrieveHeaders(number, lines);
    uid = THeaders(std::move(lines)).TextWithoutStatus();
  }
  return uid;
}

int32_t TPOP3Account::FindServerNumber(int index) {
  if (!pop3_) throw TNoMessageException();
  const int32_t highest = pop3_->HighestNumber();
  const int32_t guess = std::min(index + 1, highest);
  if (guess <= 0) return 0;
  const std::string& uid = Inbox[index]->UID;
  // Messages usually keep their order, so the guess mostly matches at once.
  if (ServerUID(guess) == uid) return guess;
  for (int32_t number = 1; number <= highest; ++number)
    if (number != guess && ServerUID(number) == uid) return number;
  throw TNoMessageException();
}

void TPOP3Account::ForgetServerEntry(int32_t number) {
  listIntact_ = false;
  const auto entry = static_cast<size_t>(number) - 1;
  if (number >= 1 && entry < UIDs.size())
    UIDs.erase(UIDs.begin() + static_cast<std::ptrdiff_t>(entry));
  if (number >= 1 && entry < Sizes.size())
    Sizes.erase(Sizes.begin() + static_cast<std::ptrdiff_t>(entry));
}

void TPOP3Account::DeleteMessage(int index, int32_t) {
  const int32_t number = FindServerNumber(index);
  pop3_->Dele(number);
  ForgetServerEntry(number);
}

void TPOP3Account::ForwardMessage(TEmail& message) {
  bool dialed = false;
  if (!DialIfNeeded(dialed)) return;
  TFinally hangUp{[&] {
    if (dialed) HangUpIfConnected();
  }};
  PrepareSmtp();
  // The outgoing notifications, as a session of sending has them, tell the rescue window how
  // the session goes.
  TAccount::LoginOutgoing();
  TFinally logout{[this] { TAccount::LogoutOutgoing(); }};
  smtp_->Login();
  message.Headers.Add("X-Tarnwell-Forwarded: Y");
  // The MIME headers the client may add come after it, so it is looked up by name.
  TFinally finish{[&] {
    RemoveLastHeader(message.Headers, "X-Tarnwell-Forwarded");
    smtp_->Quit();
  }};
  SendToAll(message);
}

// Killed POP3 mail goes back to the user by forwarding; there is no server copy to restore.
void TPOP3Account::RestoreMessage(TEmail&) {}

void TPOP3Account::InPop3Session(const std::function<void()>& work) {
  bool dialed = false;
  if (!DialIfNeeded(dialed)) return;
  TFinally hangUp{[&] {
    if (dialed) HangUpIfConnected();
  }};
  PreparePop3();
  try {
    pop3_->Login();
    work();
  } catch (const std::exception&) {
    try {
      pop3_->Quit();
    } catch (const std::exception&) {
    }
    throw;
  }
  // Deletions the server did not confirm are an error of the operation.
  pop3_->Quit();
}

void TPOP3Account::RetrieveMessages(const std::vector<int>& indexes) {
  InPop3Session([&] {
    for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) {
      const int32_t number = FindServerNumber(*it);
      ReadBody(*it, number);
      Inbox[*it]->SaveBody();
    }
  });
}

void TPOP3Account::DeleteMessages(const std::vector<int>& indexes) {
  InPop3Session([&] {
    for (const int index : indexes) {
      const int32_t number = FindServerNumber(index);
      if (number > 0) {
        pop3_->Dele(number);
        ForgetServerEntry(number);
      }
    }
    Inbox.DeleteMany(indexes, false);
  });
}

void TPOP3Account::Load(TRegistry& registry) {
  TAccount::Load(registry);
  try {
    POP3Server = registry.ReadString("POP3Server");
    POP3UserName = registry.ReadString("POP3UserName");
    POP3Port = registry.ReadInteger("POP3Port");
    Timeout = registry.ReadInteger("Timeout");
    SPA = registry.ReadBool("SPA");
  } catch (const ERegistryError&) {
  }
  SmtpInfo.Load(registry);
  POP3Security = 0;
  POP3CertPin.clear();
  try {
    POP3Security = registry.ReadInteger("POP3Security");
    POP3CertPin = registry.ReadString("POP3CertPin");
  } catch (const ERegistryError&) {
  }
}

void TPOP3Account::Save(TRegistry& registry) {
  TAccount::Save(registry);
  registry.WriteString("POP3Server", POP3Server);
  registry.WriteString("POP3UserName", POP3UserName);
  registry.WriteInteger("POP3Port", POP3Port);
  registry.WriteInteger("Timeout", Timeout);
  registry.WriteBool("SPA", SPA);
  SmtpInfo.Save(registry);
  registry.WriteInteger("POP3Security", POP3Security);
  registry.WriteString("POP3CertPin", POP3CertPin);
}

int32_t TPOP3Account::MacroCount() { return TAccount::MacroCount() + 2; }

std::string TPOP3Account::MacroName(int32_t n) {
  const int32_t base = TAccount::MacroCount();
  if (n == base + 1) return "%POP3";
  if (n == base + 2) return "%SMTP";
  return TAccount::MacroName(n);
}

std::string TPOP3Account::MacroValue(int32_t n) {
  const int32_t base = TAccount::MacroCount();
  if (n == base + 1) return POP3Server;
  if (n == base + 2) return SmtpInfo.SMTPServer;
  return TAccount::MacroValue(n);
}

void RegisterPOP3Account() {
  RegisterAccountKind(akPOP3, [] { return std::make_unique<TPOP3Account>(); });
}

}  // namespace tarnwell
