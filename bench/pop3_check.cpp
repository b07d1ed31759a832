// Times the check of a POP3 account against a private Dovecot holding 1,000 generated messages
// (about 7 MB): the first check (UIDL, LIST, TOP for each, RETR for the text filters,
// classification, Live Mail and Killed Mail files, deleting the spam) and a second one with
// nothing new. For scale it also times the bare client: UIDL with a TOP for every message, and a
// RETR for every message. With --tls the same runs over POP3 with TLS from the connect, against
// a throw-away certificate authority.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "message/SvcString.h"
#include "platform/Files.h"
#include "platform/LineConnection.h"
#include "shell/ProgramFolders.h"
#include "tests/support/Certificates.h"
#include "tests/support/Dovecot.h"
#include "tests/support/TestSupport.h"
#include "tests/support/program/ProgramEnvironment.h"
#include "transport/POP3Account.h"

using namespace tarnwell;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kMessages = 1000;

double Seconds(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration<double>(end - start).count();
}

// About 7 KB: ordinary headers and a hundred lines of text. Every tenth is spam for the subject
// filter, every seventh from the friend.
std::string Message(int n) {
  static const char* words[] = {"account", "meeting", "report",  "tomorrow", "weather",
                                "invoice", "project", "holiday", "review",   "garden",
                                "kitchen", "number",  "station", "picture",  "letter"};
  uint32_t seed = static_cast<uint32_t>(n) * 2654435761u + 12345u;
  const auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) & 0x7FFF;
  };
  const std::string from =
      n % 7 == 0    ? "Ann <ann@friends.org>"
      : n % 10 == 3 ? "Deals <deals@spammer.biz>"
                    : "Sender " + std::to_string(n) + " <s" + std::to_string(n) + "@mail.net>";
  const std::string subject =
      n % 10 == 3 ? "Cheap viagra " + std::to_string(n) : "Note " + std::to_string(n);
  std::string text =
      "Return-Path: <s" + std::to_string(n) +
      "@mail.net>\nReceived: from relay.mail.net (relay.mail.net [192.0.2.7])\n"
      "\tby mx.example.com with ESMTP id " +
      std::to_string(100000 + n) +
      "\n\tfor <me@example.com>; Thu, 14 Mar 2024 08:00:00 +0000\nFrom: " + from +
      "\nTo: me@example.com\nSubject: " + subject +
      "\nDate: Thu, 14 Mar 2024 08:00:00 +0000\nMessage-Id: <" + std::to_string(n) +
      "@mail.net>\nMIME-Version: 1.0\nContent-Type: text/plain; charset=us-ascii\n\n";
  for (int line = 0; line < 100; ++line) {
    std::string words64;
    while (words64.size() < 60) {
      words64 += words[next() % 15];
      words64 += ' ';
    }
    text += words64 + "\n";
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const bool tls = argc > 1 && std::strcmp(argv[1], "--tls") == 0;
  test::TProgramEnvironment environment;
  const test::TTempDir& dir = environment.dir;
  TFilterList filters(dir / "Filters.dat");
  filters.Load(true);
  filters.AutoSave = false;
  filters.SetOwnNames({"me"}, {"example.com"});
  test::AddFriend(filters, "ann", "friends.org");
  test::AddSubjectFilter(filters, "viagra", acKill);
  auto text = std::make_unique<TTextFilter>();
  text->SetText1("unsubscribe here");
  text->Condition1 = cnContains;
  text->Action = acKill;
  text->Origin = orUser;
  filters.Add(std::move(text));

  std::unique_ptr<test::TTestCertificates> certificates;
  test::TDovecot::TTls serverTls;
  if (tls) {
    certificates = std::make_unique<test::TTestCertificates>();
    TLineConnection::SetExtraCaFile(certificates->CaFile());
    serverTls = {certificates->Good().cert, certificates->Good().key};
  }
  test::TDovecot dovecot(serverTls);
  const int port = tls ? dovecot.TlsPort() : dovecot.Port();
  const int32_t security = tls ? scTls : scNone;
  size_t bytes = 0;
  for (const std::string user : {"bench", "bare"}) {
    dovecot.AddUser(user, "pw");
    for (int n = 1; n <= kMessages; ++n) {
      const std::string message = Message(n);
      if (user == "bench") bytes += message.size();
      dovecot.Deliver(user, message);
    }
  }

  // Dovecot indexes a new mailbox at its first login; that is the server's cost, not ours.
  for (const std::string user : {"bench", "bare"}) {
    TPOP3 warm;
    warm.Host = "127.0.0.1";
    warm.Port = port;
    warm.Security = security;
    warm.UserName = user;
    warm.Password = "pw";
    warm.Login();
    warm.Quit();
  }

  {
    TPOP3 bare;
    bare.Host = "127.0.0.1";
    bare.Port = port;
    bare.Security = security;
    bare.UserName = "bare";
    bare.Password = "pw";
    bare.Login();
    std::vector<std::string> uids, headers, body;
    const auto start = Clock::now();
    bare.UidlAll(uids);
    for (int n = 1; n <= kMessages; ++n) bare.Top(n, headers, body);
    const auto topped = Clock::now();
    for (int n = 1; n <= kMessages; ++n) bare.Retr(n, nullptr, body);
    const auto retrieved = Clock::now();
    bare.Quit();
    std::printf("bare client: UIDL + %d x TOP %.3f s, %d x RETR %.3f s\n", kMessages,
                Seconds(start, topped), kMessages, Seconds(topped, retrieved));
  }

  TPOP3Account account;
  account.Description = "Bench";
  account.Name = "Me";
  account.Email = "me@example.com";
  account.DialUp = false;
  account.FilterList = &filters;
  account.POP3Server = "127.0.0.1";
  account.POP3Port = port;
  account.POP3Security = security;
  account.POP3UserName = "bench";
  account.Password = ScramblePassword("pw");
  ForceDirectories(TProgramFolders::AccountsFolder());
  account.ID = 1;
  ForceDirectories(account.FolderPath() + "Inbox");
  ForceDirectories(account.FolderPath() + "Killed");
  account.SetFolders();
  std::vector<std::string> errors;
  account.OnError = [&](const std::exception& error) { errors.push_back(error.what()); };
  // The phases of a check, from the account's notifications.
  Clock::time_point listing, bodies, filtering, loggedOut;
  account.OnReadingList = [&](TAccount&) { listing = Clock::now(); };
  account.OnReadingBodies = [&](TAccount&) { bodies = Clock::now(); };
  account.OnFiltering = [&](TAccount&) { filtering = Clock::now(); };
  account.OnLogoutIncoming = [&](TAccount&) { loggedOut = Clock::now(); };

  std::printf("mailbox: %d messages, %.1f MB%s\n", kMessages, static_cast<double>(bytes) / 1e6,
              tls ? ", over TLS" : "");
  // The message folders hold a file or two per message, so on a disk where creating a file is
  // slow, the first check is too; this says what a creation costs here.
  {
    const std::string scratch = dir / "scratch/";
    ForceDirectories(scratch);
    constexpr int kFiles = 300;
    const auto start = Clock::now();
    for (int n = 0; n < kFiles; ++n)
      WriteFileAtomic(scratch + std::to_string(n), std::string(700, 'x'), TDurability::NoSync);
    std::printf("creating a file in the program folder: %.3f ms\n",
                Seconds(start, Clock::now()) * 1000 / kFiles);
  }
  for (int check = 1; check <= 2; ++check) {
    const auto start = Clock::now();
    account.Check();
    const auto end = Clock::now();
    std::printf(
        "check %d: %.3f s until logout, %.3f s in all (the check ends with a 0.5 s pause); "
        "new %d, spam %d, live %d, killed %d; %zu files in the folders\n",
        check, Seconds(start, loggedOut), Seconds(start, end), account.NewCount, account.SpamCount,
        account.Inbox.Count(), account.Killed.Count(),
        ListFiles(account.FolderPath() + "Inbox/", "").size() +
            ListFiles(account.FolderPath() + "Killed/", "").size());
    std::printf(
        "  login %.3f s, list and headers %.3f s, texts %.3f s, filtering and spam %.3f s\n",
        Seconds(start, listing), Seconds(listing, bodies), Seconds(bodies, filtering),
        Seconds(filtering, loggedOut));
  }
  for (const std::string& error : errors) std::printf("error: %s\n", error.c_str());
  return errors.empty() ? 0 : 1;
}
