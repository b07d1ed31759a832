// The Friends page with a list of the size people keep, and the friend dialog in its forms.
#include <QTreeView>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "accounts/AccountList.h"
#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "filtering/FriendChecks.h"
#include "filtering/ui/DlgFriends.h"
#include "filtering/ui/FriendListModel.h"
#include "filtering/ui/PgFriends.h"
#include "message/Emails.h"
#include "message/MessageText.h"
#include "shell/ui/DlgMessage.h"
#include "tests/ui/screenshots/Shots.h"

namespace tarnwell {
namespace {

// The friend dialog's checks on the pictures' own entries, which must pass.
void Enter(TFilter& filter, const std::string& entry, TFriendType type, const TFilterList& list,
           bool adding) {
  if (const std::optional<TFriendRefusal> refusal =
          EnterFriend(filter, entry, type, list, adding, {})) {
    std::fprintf(stderr, "screenshots: the friend %s is refused: %s\n", entry.c_str(),
                 refusal->Text.c_str());
    std::exit(1);
  }
}

void AddFriend(TFilterList& list, const std::string& entry, TFriendType type,
               uint8_t origin = orUser) {
  auto filter = std::make_unique<TFriendFilter>();
  Enter(*filter, entry, type, list, true);
  filter->Origin = origin;
  list.Add(std::move(filter));
}

// Family, colleagues, shops, clubs and the lists they write to; a few came with filter updates.
void FillFriends(TFilterList& list) {
  using enum TFriendType;
  for (const char* address : {"ann@friends.example.org",
                              "Bob.Stone@example.com",
                              "carla.mendes@example.net",
                              "dad@family.example.org",
                              "dana@example.org",
                              "Erik.Lindqvist@work.example.com",
                              "fatima.haddad@example.net",
                              "george@golfclub.example.org",
                              "hanna@family.example.org",
                              "ivan.petrov@example.com",
                              "jo@work.example.com",
                              "Kenji.Sato@example.jp",
                              "laura@school.example.edu",
                              "mum@family.example.org",
                              "nick@example.co.uk",
                              "olga.ivanova@example.net",
                              "orders@riverside-books.example.com",
                              "priya.patel@work.example.com",
                              "receipts@shop.example.com",
                              "support@hosting.example.net",
                              "tom@example.org",
                              "christopher.montgomery-wellington@mail.example.com"})
    AddFriend(list, address, User);
  for (const char* domain :
       {"family.example.org", "work.example.com", "school.example.edu", "bank.example.com"})
    AddFriend(list, domain, Domain);
  for (const char* mailingList : {"announce@lists.example.org", "gardening@groups.example.net",
                                  "news@riverside-books.example.com"})
    AddFriend(list, mailingList, MailingList);
  AddFriend(list, "lists.debian.example.org", MailingList);
  AddFriend(list, "security@updates.example.com", User, orUpdate);
  AddFriend(list, "newsletters.example.net", MailingList, orUpdate);
}

void ShootFriends() {
  TQtMessageDialogs dialogs;
  TFilterList filters;
  filters.AutoSave = false;
  FillFriends(filters);
  TAccountList accounts;

  TFriendsPg page(filters, accounts, dialogs);
  page.resize(620, 460);
  page.show();
  page.Refresh();
  page.List()->setCurrentIndex(page.Model()->index(9, 0));
  shots::Shoot(page, "friends-page");
  page.resize(420, 300);
  shots::Shoot(page, "friends-page-small");

  // A new friend, then each kind of stored friend.
  TFriendFilter fresh;
  TFriendsDlg added(fresh, true, filters, {}, dialogs);
  shots::Shoot(added, "friend-new");
  const struct {
    const char* entry;
    TFriendType type;
    const char* name;
  } stored[] = {{"Bob.Stone@example.com", TFriendType::User, "friend-user"},
                {"work.example.com", TFriendType::Domain, "friend-domain"},
                {"announce@lists.example.org", TFriendType::MailingList, "friend-mailing-list"},
                {"christopher.montgomery-wellington@mail.example.com", TFriendType::User,
                 "friend-long-address"}};
  for (const auto& s : stored) {
    TFriendFilter filter;
    Enter(filter, s.entry, s.type, filters, false);
    TFriendsDlg dialog(filter, false, filters, {}, dialogs);
    dialog.SetHelp([] {});
    shots::Shoot(dialog, s.name);
  }

  TEmail message;
  ParseMessageText(
      "From: Riverside Books <news@riverside-books.example.com>\nTo: Alex Example "
      "<alex@example.com>\nSubject: Spring reading list\n\nHello\n",
      message);
  TFriendFilter fromKilled;
  TFriendsDlg rescue(fromKilled, true, filters, {}, dialogs, nullptr, {&message, true, false});
  shots::Shoot(rescue, "friend-from-killed-mail");
  TFriendFilter fromMapi;
  TFriendsDlg restore(fromMapi, true, filters, {}, dialogs, nullptr, {&message, true, true});
  shots::Shoot(restore, "friend-from-killed-mail-restore");
}

const shots::TShotSet kSet("friends", &ShootFriends);

}  // namespace
}  // namespace tarnwell
