#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "accounts/AccountList.h"
#include "app/ui/DesktopUi.h"
#include "complaints/ComplaintHooks.h"
#include "complaints/Templates.h"
#include "demo/DemoPop3Server.h"
#include "demo/DemoSmtpServer.h"
#include "filtering/AutoReply.h"
#include "filtering/Countries.h"
#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "platform/Error.h"
#include "platform/Registry.h"
#include "program/CommandLine.h"
#include "program/DesktopProgram.h"
#include "shell/LogFile.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"
#include "transport/POP3Account.h"

namespace tarnwell {

namespace {

const char* const kUsage =
    "Usage: tarnwell demo [--keep] [--desktop]\n"
    "Makes a throw-away program folder, starts a demo POP3 and SMTP server on 127.0.0.1 holding\n"
    "a dozen sample messages, sets up an account and a few filters, checks the account once and\n"
    "reports what stayed in Live Mail, what went to Killed Mail and which complaints the SMTP\n"
    "server received.\n"
    "  --keep     leave the program folder (its path is printed) to look at with the other\n"
    "             commands, e.g. tarnwell --home FOLDER killed list\n"
    "  --desktop  run Tarnwell itself on the desktop, in the tray, against the same servers,\n"
    "             which receive a new message before every check but the first; it checks\n"
    "             every minute until \"Exit\" in its tray menu\n";

constexpr const char* kDescription = "Demo account";
constexpr const char* kUser = "alex";
constexpr const char* kPassword = "demo-password";
constexpr const char* kAddress = "alex@example.com";
constexpr const char* kBlockedCountry = "tk";

// A folder under $TMPDIR (or /tmp) that goes away with the object unless kept.
class TDemoFolder {
 public:
  TDemoFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tarnwell-demo-XXXXXX";
    if (!::mkdtemp(pattern.data()))
      throw TError("The demo cannot make its folder \"" + pattern + "\".");
    path_ = pattern + "/";
  }
  ~TDemoFolder() {
    if (keep_) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TDemoFolder(const TDemoFolder&) = delete;
  TDemoFolder& operator=(const TDemoFolder&) = delete;

  [[nodiscard]] const std::string& Path() const { return path_; }
  void Keep() { keep_ = true; }

 private:
  std::string path_;
  bool keep_ = false;
};

// Installs the program-wide objects for the run and takes them away again.
class TDemoInstallation {
 public:
  TDemoInstallation(TRegistryStore& store, TSettings& settings, TTemplates& templates) {
    TRegistryStore::Install(&store);
    InstallSettings(&settings);
    templates.Reload();
    InstallTemplates(&templates);
    InstallComplaintHooks();
    RegisterPOP3Account();
  }
  ~TDemoInstallation() {
    ProgramLog().SetEnabled(false);
    RemoveComplaintHooks();
    InstallTemplates(nullptr);
    InstallSettings(nullptr);
    TRegistryStore::Install(nullptr);
  }
  TDemoInstallation(const TDemoInstallation&) = delete;
  TDemoInstallation& operator=(const TDemoInstallation&) = delete;
};

// The demo's settings (sounds off, the log on, the pop-up notice as asked), stored and installed
// for the program with its store and templates while the object lives.
struct TDemoSetUp {
  TDemoSetUp(const std::string& folder, bool popUp)
      : store(folder + "Registry.db"), settings(&store), installation(store, settings, templates) {
    settings.EnableSounds = false;
    settings.Logging = true;
    settings.ShowPopUp = popUp;
    settings.SaveAll();
  }
  TRegistryStore store;
  TSettings settings;
  TTemplates templates;
  TDemoInstallation installation;
};

template <typename T>
T* AddFilter(TFilterList& list, std::unique_ptr<T> filter) {
  filter->Origin = orUser;
  return static_cast<T*>(list.Add(std::move(filter)));
}

// The user's filters of the demo; returns the one that complains.
TFilter* AddDemoFilters(TFilterList& list) {
  auto friendAnn = std::make_unique<TFriendFilter>();
  friendAnn->SetText1("ann");
  friendAnn->SetText2("friends.example.org");
  AddFilter(list, std::move(friendAnn));

  auto mailingList = std::make_unique<TFriendFilter>();
  mailingList->SetText1("tarnwell-users");
  mailingList->SetText2("lists.example.org");
  mailingList->Headers |= 1u << 19;
  AddFilter(list, std::move(mailingList));

  auto subject = std::make_unique<TSubjectFilter>();
  subject->SetText1("miracle pill");
  subject->Action = acKill;
  AddFilter(list, std::move(subject));

  auto text = std::make_unique<TTextFilter>();
  text->SetText1("lottery winnings");
  text->Action = acKill;
  AddFilter(list, std::move(text));

  auto sender = std::make_unique<TSenderFilter>();
  sender->Condition2 = cnEndsWith;
  sender->SetText2("bulk-mailer.example.net");
  sender->Action = acKillAfterComplaint;
  sender->Recipients = rcAbuse | rcPostmaster;
  TFilter* complaining = AddFilter(list, std::move(sender));

  auto header = std::make_unique<THeaderFilter>();
  header->SetText1("X-Mailer");
  header->SetText2("MassMailer");
  header->Action = acKill;
  AddFilter(list, std::move(header));

  list.SetCountryBlocked(list.Countries()->IndexOfCode(kBlockedCountry), true);
  list.Save();
  return complaining;
}

std::string Mail(const std::string& from, const std::string& subject, const std::string& extra,
                 const std::string& body,
                 const std::string& to = "Alex Example <alex@example.com>") {
  static int serial = 0;
  ++serial;
  return "From: " + from + "\nTo: " + to + "\nSubject: " + subject +
         "\nDate: Mon, 10 Mar 2025 09:" + (serial < 10 ? "0" : "") + std::to_string(serial) +
         ":00 +0000\nMessage-Id: <demo." + std::to_string(serial) + "@example.net>\n" + extra +
         "\n" + body;
}

// The sample mailbox, in server order. The check filters from the last message to the first, so
// the bounce comes first: it turns the complaining filter to plain killing only after that
// filter has complained about this check's spam.
std::vector<std::string> SampleMessages(int64_t complaintCode) {
  return {
      Mail("Mail Delivery System <MAILER-DAEMON@mx.bulk-mailer.example.net>",
           "Undelivered Mail Returned to Sender", "Content-Type: text/plain\n",
           "This is the mail system at host mx.bulk-mailer.example.net.\n\n"
           "Your message could not be delivered to one or more recipients.\n\n"
           "<abuse@bulk-mailer.example.net>: mailbox unavailable\n\n"
           "------ This is a copy of the message, including all the headers. ------\n\n"
           "From: \"Alex Example\" <alex@example.com>\n"
           "To: abuse@bulk-mailer.example.net\n"
           "Subject: Spam report (Exclusive invitation)\n"
           "X-Tarnwell-AutoReply: " +
               std::to_string(complaintCode) + "\n\nDear administrator,\n"),
      Mail("Ann Baker <ann@friends.example.org>", "Lunch on Saturday?", "",
           "Hi Alex,\n\nare we still on for lunch on Saturday? The new place by the river.\n\n"
           "Ann\n"),
      Mail("Erik Lund <erik@example.net>", "[tarnwell-users] Filters for newsletters",
           "List-Id: <tarnwell-users.lists.example.org>\n",
           "Has anyone set up a filter for newsletters that change their sender?\n",
           "tarnwell-users@lists.example.org"),
      Mail("Bob Stone <bob@example.com>", "Minutes of Tuesday's meeting",
           "X-Mailer: Evolution 3.46\n",
           "Hello all,\n\nthe minutes are below. Next meeting: Tuesday at ten.\n\nBob\n"),
      Mail("Deals Desk <deals@shop.example.com>", "Spring sale starts now",
           "Reply-To: orders@fulfilment.example.net\n",
           "Everything in the shop is 20% off until Sunday.\n"),
      Mail("Dr. Slim <doctor@pharmacy.example.com>", "Miracle pill melts fat overnight", "",
           "No diet, no exercise. Order today.\n"),
      Mail("Exclusive Offers <offers@bulk-mailer.example.net>", "Exclusive invitation", "",
           "You have been selected for an exclusive offer. Reply now.\n"),
      Mail("Prize Office <office@prizes.example.com>", "Claim your prize",
           "Content-Type: text/plain\n",
           "Congratulations!\n\nYour lottery winnings are waiting for you.\n"
           ".\n"
           "..the line above holds one dot; this one starts with two.\n"
           ".signature\n"),
      Mail("Dana Moreau <dana@example.org>", "=?UTF-8?Q?Caf=C3=A9_on_Friday=3F?=",
           "MIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\n"
           "Content-Transfer-Encoding: 8bit\n",
           "Shall we meet at the caf\xC3\xA9 on Friday at four?\n"),
      Mail("Growth Team <team@growth.example.com>", "Grow your business today",
           "X-Mailer: MassMailer Pro 5.0\n", "Reach a million customers with one click.\n"),
      Mail("Watch Store <sales@cheap-watches.tk>", "Luxury watches at 90% off",
           "Received: from mail.cheap-watches.tk (mail.cheap-watches.tk [198.51.100.7])\n"
           "\tby mx.example.com with SMTP; Mon, 10 Mar 2025 09:11:00 +0000\n",
           "Best replicas, shipped worldwide.\n"),
      Mail("Carol White <carol@example.com>", "Re: Holiday photos",
           "In-Reply-To: <demo.0@example.net>\n",
           "Thanks for the photos! The one from the lighthouse is my favourite.\n\nCarol\n"),
  };
}

// One line of the report: control characters would break it.
std::string Shown(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < ' ') c = ' ';
  return text;
}

// The value of a header in a message as the SMTP server received it.
std::string HeaderOf(const std::string& data, const std::string& name) {
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find("\r\n", start);
    if (end == std::string::npos) end = data.size();
    if (end == start) break;
    const std::string line = data.substr(start, end - start);
    if (line.size() > name.size() && line[name.size()] == ':' &&
        line.compare(0, name.size(), name) == 0) {
      const size_t value = line.find_first_not_of(' ', name.size() + 1);
      return value == std::string::npos ? std::string() : line.substr(value);
    }
    start = end + 2;
  }
  return std::string();
}

// A seeded message: its UID on the server and what it says of itself.
struct TSeeded {
  std::string Uid;
  std::string From;
  std::string Subject;
};

// The value of a header line of a sample, up to its line end.
std::string SampleHeader(const std::string& text, const std::string& name) {
  const size_t at = text.find(name + ": ");
  if (at == std::string::npos) return std::string();
  const size_t start = at + name.size() + 2;
  return text.substr(start, text.find('\n', start) - start);
}

void PrintReport(const TAccount& account, const TDemoPop3Server& pop3, const TDemoSmtpServer& smtp,
                 const std::vector<TSeeded>& seeded, const TFilter& complaining) {
  std::printf("\nLive Mail, left on the server for your mail program: %s\n",
              CountNoun(account.Inbox.Count(), "message").c_str());
  for (int i = 0; i < account.Inbox.Count(); ++i) {
    const TEmail& message = *account.Inbox[i];
    std::printf("  %-14s \"%s\" from %s\n", TEmail::StatusName(message.Status).c_str(),
                Shown(message.Subject).c_str(), Shown(message.From).c_str());
    if (!message.Reason.empty())
      std::printf("  %-14s reason: %s\n", "", Shown(message.Reason).c_str());
  }

  std::printf("\nKilled Mail, deleted from the server and kept in the program folder: %s\n",
              CountNoun(account.Killed.Count(), "message").c_str());
  std::vector<std::string> killedUids;
  for (int i = 0; i < account.Killed.Count(); ++i) {
    const TEmail& message = *account.Killed[i];
    killedUids.push_back(message.UID);
    std::printf("  %-4d \"%s\" from %s\n", message.ID, Shown(message.Subject).c_str(),
                Shown(message.From).c_str());
    std::printf("  %-4s action: %s; reason: %s\n", "", ActionName(message.Action).c_str(),
                Shown(message.Reason).c_str());
  }

  std::vector<const TSeeded*> bounces;
  for (const TSeeded& message : seeded)
    if (std::find(killedUids.begin(), killedUids.end(), message.Uid) == killedUids.end() &&
        std::find(pop3.DeletedUids().begin(), pop3.DeletedUids().end(), message.Uid) !=
            pop3.DeletedUids().end())
      bounces.push_back(&message);
  std::printf("\nBounces of earlier complaints, deleted from the server: %s\n",
              CountNoun(static_cast<int64_t>(bounces.size()), "message").c_str());
  for (const TSeeded* message : bounces)
    std::printf("  \"%s\" from %s\n", message->Subject.c_str(), message->From.c_str());
  if (complaining.Action == acKill)
    std::printf("  the bounce turned the filter \"%s\" from \"%s\" to \"%s\"\n",
                complaining.Description().c_str(), ActionName(acKillAfterComplaint).c_str(),
                ActionName(acKill).c_str());

  std::printf("\nComplaints received by the SMTP server: %s\n",
              CountNoun(static_cast<int64_t>(smtp.Received().size()), "message").c_str());
  for (const TDemoSmtpServer::TReceived& message : smtp.Received()) {
    std::string recipients;
    for (const std::string& recipient : message.Recipients)
      recipients += (recipients.empty() ? "" : ", ") + recipient;
    std::printf("  from %s to %s\n", message.Sender.c_str(), recipients.c_str());
    std::printf("    Subject: %s\n", Shown(HeaderOf(message.Data, "Subject")).c_str());
    std::printf("    %s: %s\n", kAutoReplyHeader,
                Shown(HeaderOf(message.Data, kAutoReplyHeader)).c_str());
  }

  std::printf("\nThe POP3 server now holds %zu of the %zu messages.\n", pop3.Mailbox().size(),
              seeded.size());
}

// The demo's account on the two servers; it checks at start-up and on its schedule.
std::unique_ptr<TPOP3Account> DemoAccount(const TDemoPop3Server& pop3,
                                          const TDemoSmtpServer& smtp) {
  auto account = std::make_unique<TPOP3Account>();
  account->Description = kDescription;
  account->Name = "Alex Example";
  account->Email = kAddress;
  account->DialUp = false;
  account->CheckTypes = 5;
  account->POP3Server = "127.0.0.1";
  account->POP3Port = pop3.Port();
  account->POP3UserName = kUser;
  account->Password = ScramblePassword(kPassword);
  account->SmtpInfo.SMTPServer = "127.0.0.1";
  account->SmtpInfo.SMTPPort = smtp.Port();
  return account;
}

// Mail that comes in while the demo runs on the desktop: one message before each check after
// the first, in turn.
std::string ArrivingMessage(int n) {
  const std::string number = std::to_string(n);
  switch (n % 3) {
    case 1:
      return Mail("Ann Baker <ann@friends.example.org>", "Photos from the weekend (" + number + ")",
                  "", "Hi Alex,\n\nhere are the photos I promised.\n\nAnn\n");
    case 2:
      return Mail("Prize Office <office@prizes.example.com>", "Your lottery winnings #" + number,
                  "", "Your lottery winnings are waiting. Reply with your bank details.\n");
    default:
      return Mail("Deals Desk <deals@shop.example.com>", "Weekly offers, week " + number, "",
                  "This week's offers are on our web site.\n");
  }
}

int Demo(bool keep) {
  TDemoFolder folder;
  if (keep) folder.Keep();
  TCommandLine line;
  line.home = folder.Path();
  PrepareProgramFolder(line);

  const TDemoSetUp setUp(folder.Path(), false);
  TFilterList filters(folder.Path() + "Filters.dat");
  filters.Load(true);
  filters.SetLogging(true);
  const TFilter* complaining = AddDemoFilters(filters);

  TDemoPop3Server pop3(kUser, kPassword);
  TDemoSmtpServer smtp;
  const std::vector<std::string> samples = SampleMessages(AutoReplyCode(complaining));
  std::vector<TSeeded> seeded;
  for (const std::string& text : samples)
    seeded.push_back(
        {pop3.AddMessage(text), SampleHeader(text, "From"), SampleHeader(text, "Subject")});

  TAccountList accounts;
  accounts.Init(&filters);
  accounts.Add(DemoAccount(pop3, smtp));
  accounts.SetLogging(true);

  std::printf("Tarnwell demo\n");
  std::printf("  program folder  %s%s\n", folder.Path().c_str(),
              keep ? "" : " (removed at the end; --keep leaves it)");
  std::printf("  POP3 server     127.0.0.1:%d, %zu messages for %s\n", pop3.Port(), samples.size(),
              kAddress);
  std::printf("  SMTP server     127.0.0.1:%d\n", smtp.Port());
  std::printf("  account         \"%s\", checked once\n", kDescription);
  std::fflush(stdout);

  TAccountSet all;
  all.set(0);
  accounts.CheckSelected(all, TriggerBit(ctOnDemand));
  filters.SaveIfModified();

  PrintReport(*accounts.Items(0), pop3, smtp, seeded, *complaining);
  const bool failed = !accounts.Errors.empty();
  if (failed) {
    std::printf("\nThe check reported errors:\n");
    for (const std::string& error : accounts.Errors) std::printf("  %s\n", error.c_str());
  }
  if (keep)
    std::printf(
        "\nThe program folder stays: %s\nLook at it with, for example:\n"
        "  tarnwell --home %s killed list\n",
        folder.Path().c_str(), folder.Path().c_str());
  std::fflush(stdout);
  return failed ? 1 : 0;
}

// The same folder and servers under the program itself on the desktop, in the tray, until it
// is ended from its menu. The servers run on the program's event loop, so the session comes
// first.
int DesktopDemo(bool keep) {
  bool named = false;
  const std::string why = WhyNoDesktop(named);
  if (!why.empty()) throw TError("the demo on the desktop needs a display: " + why + ".");
  TDesktopSession session;
  TDemoFolder folder;
  if (keep) folder.Keep();
  TCommandLine line;
  line.home = folder.Path();
  PrepareProgramFolder(line);

  TDemoPop3Server pop3(kUser, kPassword);
  TDemoSmtpServer smtp;
  {
    const TDemoSetUp setUp(folder.Path(), true);
    TFilterList filters(folder.Path() + "Filters.dat");
    filters.Load(true);
    for (const std::string& text : SampleMessages(AutoReplyCode(AddDemoFilters(filters))))
      pop3.AddMessage(text);
    TAccountList accounts;
    accounts.Init(&filters);
    std::unique_ptr<TPOP3Account> account = DemoAccount(pop3, smtp);
    account->MinutesInterval = 1.0 / 1440.0;
    accounts.Add(std::move(account));
  }
  int logins = 0;
  pop3.SetOnLogin([&] {
    if (logins++ > 0) pop3.AddMessage(ArrivingMessage(logins - 1));
  });

  std::printf("Tarnwell demo on the desktop\n");
  std::printf("  program folder  %s%s\n", folder.Path().c_str(),
              keep ? "" : " (removed at the end; --keep leaves it)");
  std::printf("  POP3 server     127.0.0.1:%d, a new message before every check but the first\n",
              pop3.Port());
  std::printf("  SMTP server     127.0.0.1:%d\n", smtp.Port());
  std::printf("  account         \"%s\", checked at start and every minute\n", kDescription);
  std::printf("Tarnwell runs in the tray; \"Exit\" in its menu ends the demo.\n");
  std::fflush(stdout);
  return session.Run({});
}

}  // namespace

int RunDemo(const TCommandLine& line) {
  bool keep = false;
  bool desktop = false;
  for (const std::string& arg : line.arguments) {
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--keep") {
      keep = true;
    } else if (arg == "--desktop") {
      desktop = true;
    } else {
      std::fprintf(stderr, "tarnwell: unknown demo argument \"%s\".\n%s", arg.c_str(), kUsage);
      return 2;
    }
  }
  if (line.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (line.home) {
    std::fprintf(stderr, "tarnwell: the demo makes its own program folder; --home is not used.\n");
    return 2;
  }
  try {
    return desktop ? DesktopDemo(keep) : Demo(keep);
  } catch (const std::exception& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "tarnwell: the demo failed: %s\n", error.what());
    return 1;
  }
}

}  // namespace tarnwell
