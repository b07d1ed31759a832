#include "tests/accounts/ScriptedAccount.h"

#include "accounts/AccountKinds.h"
#include "message/MessageText.h"
#include "platform/Error.h"

namespace tarnwell::test {

std::vector<std::string>* TScriptedAccount::SharedJournal = nullptr;

void TScriptedAccount::Record(const std::string& call) {
  Journal.push_back(call);
  if (SharedJournal) SharedJournal->push_back(Description + ": " + call);
}

int TScriptedAccount::ServerIndexOf(const std::string& uid) const {
  for (size_t i = 0; i < Mailbox.size(); ++i)
    if (Mailbox[i].uid == uid) return static_cast<int>(i);
  return -1;
}

std::unique_ptr<TEmail> TScriptedAccount::GetFirstMessage(const std::string& uid) {
  return GetMessage(1, uid);
}

std::unique_ptr<TEmail> TScriptedAccount::GetMessage(int32_t number, const std::string& uid) {
  if (number < 1 || static_cast<size_t>(number) > Mailbox.size()) return nullptr;
  if (OnFetch) OnFetch(number);
  const TServerMessage& server = Mailbox[static_cast<size_t>(number) - 1];
  auto message = std::make_unique<TEmail>();
  ParseMessageText(server.text, *message);
  message->Body.clear();
  message->BodyState = TEmail::bsNotRetrieved;
  message->BodyLoaded = false;
  message->Length = static_cast<int32_t>(server.text.size());
  message->UID = uid.empty() ? server.uid : uid;
  Record("top " + message->UID);
  return message;
}

void TScriptedAccount::ReadBody(int index, int32_t) {
  TEmail& message = *Inbox[index];
  const int32_t n = FindServerNumber(index);
  TEmail whole;
  ParseMessageText(Mailbox[static_cast<size_t>(n) - 1].text, whole);
  message.Body = whole.Body;
  message.BodyState = TEmail::bsRetrieved;
  message.BodyLoaded = true;
  Record("retrieve " + message.UID);
}

void TScriptedAccount::SaveOriginal(int index, int32_t) {
  Record("save original " + Inbox[index]->UID);
}

void TScriptedAccount::SendMessage(TEmail& message) {
  if (FailSendFrom > 0 && static_cast<int>(Sent.size()) + 1 >= FailSendFrom) {
    Record("send failed " + message.Subject);
    throw TError("The server refused the message.");
  }
  Sent.push_back(message);
  Record("send " + message.Subject);
}

bool TScriptedAccount::LoginIncoming() {
  TAccount::LoginIncoming();
  Record("login");
  if (FailLogin) throw TError("The server refused the login.");
  UIDs.clear();
  if (ListsUIDs)
    for (const TServerMessage& message : Mailbox) UIDs.push_back(message.uid);
  LoggedIn = true;
  return true;
}

void TScriptedAccount::LogoutIncoming() {
  Record("logout");
  TAccount::LogoutIncoming();
}

bool TScriptedAccount::LoginOutgoing() {
  TAccount::LoginOutgoing();
  Record("login outgoing");
  if (FailOutgoingLogin) throw TError("The outgoing server refused the login.");
  LoggedIn = true;
  return true;
}

void TScriptedAccount::LogoutOutgoing() {
  Record("logout outgoing");
  TAccount::LogoutOutgoing();
}

int32_t TScriptedAccount::FindServerNumber(int index) {
  const int found = ServerIndexOf(Inbox[index]->UID);
  if (found < 0) throw TNoMessageException();
  return found + 1;
}

void TScriptedAccount::ForwardMessage(TEmail& message) {
  Record("forward " + message.Subject);
  TEmail sent = message;
  sent.Headers.Add("X-Tarnwell-Forwarded: Y");
  Forwarded.push_back(std::move(sent));
}

void TScriptedAccount::RestoreMessage(TEmail& message) { Record("restore " + message.Subject); }

void TScriptedAccount::RetrieveMessages(const std::vector<int>& indexes) {
  for (auto it = indexes.rbegin(); it != indexes.rend(); ++it) {
    ReadBody(*it, *it + 1);
    Inbox[*it]->SaveBody();
  }
}

void TScriptedAccount::DeleteMessages(const std::vector<int>& indexes) {
  for (const int index : indexes) DeleteMessage(index, index + 1);
  Inbox.DeleteMany(indexes, false);
}

void TScriptedAccount::DeleteMessage(int index, int32_t) {
  const std::string uid = Inbox[index]->UID;
  if (FailDelete) {
    Record("delete failed " + uid);
    throw TError("The server could not delete the message.");
  }
  const int32_t n = FindServerNumber(index);
  Mailbox.erase(Mailbox.begin() + (n - 1));
  if (static_cast<size_t>(n) <= UIDs.size()) UIDs.erase(UIDs.begin() + (n - 1));
  Record("delete " + uid);
}

void TScriptedAccount::Save(TRegistry& registry) {
  TAccount::Save(registry);
  if (FailSave) throw TError("The store is full.");
  if (OnSaved) OnSaved();
}

TScriptedKind::TScriptedKind() {
  RegisterAccountKind(TScriptedAccount::kType, [] { return std::make_unique<TScriptedAccount>(); });
}

TScriptedKind::~TScriptedKind() { RegisterAccountKind(TScriptedAccount::kType, nullptr); }

}  // namespace tarnwell::test
