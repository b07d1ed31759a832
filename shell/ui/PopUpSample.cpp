#include "shell/ui/PopUpSample.h"

#include <memory>
#include <string>

#include "shell/ui/DlgPopUp.h"
#include "transport/POP3Account.h"

namespace tarnwell {

namespace {

struct TSampleMessage {
  const char* From;
  const char* Subject;
  uint8_t Status;
};

void Add(TEmailList& list, const TSampleMessage& sample) {
  auto message = std::make_unique<TEmail>();
  message->From = sample.From;
  message->Subject = sample.Subject;
  message->Status = sample.Status;
  list.Add(std::move(message));
}

// An account as a check leaves it: the new messages at the end of Live Mail, the killed ones at
// the end of Killed Mail, oldest first.
void AddChecked(TPopUpDlg& dialog, const std::string& description, int earlier,
                std::initializer_list<TSampleMessage> inbox,
                std::initializer_list<TSampleMessage> killed) {
  TPOP3Account account;
  account.Description = description;
  for (int i = 0; i < earlier; ++i) Add(account.Inbox, {"ann@friends.org", "Earlier", msFriend});
  for (const TSampleMessage& message : inbox) Add(account.Inbox, message);
  for (const TSampleMessage& message : killed) Add(account.Killed, message);
  account.MessageCount = account.Inbox.Count();
  account.SpamCount = static_cast<int32_t>(killed.size());
  account.SpamSinceReset = account.SpamCount;
  account.NewCount = static_cast<int32_t>(inbox.size()) + account.SpamCount;
  dialog.AddAccount(account);
}

}  // namespace

void FillSampleBatch(TPopUpDlg& dialog) {
  AddChecked(dialog, "Office", 4,
             {{"Marta Keller <marta@halvora.example>", "Budget review", msChecked}}, {});
  AddChecked(dialog, "Old ISP", 0, {},
             {{"\"Prize Desk\" <win@lucky.example>", "You have WON 1,000,000!!!", msSpam}});
  AddChecked(
      dialog, "Home", 2,
      {{"Ann Lee <ann@friends.org>", "Photos from Saturday", msFriend},
       {"=?UTF-8?Q?J=C3=BCrgen_M=C3=BCller?= <jm@example.de>",
        "=?UTF-8?Q?Gr=C3=BC=C3=9Fe_aus_M=C3=BCnchen?=", msChecked},
       {"Lottery Office <claims@lottery.example>", "Claim your lottery prize", msPossibleSpam}},
      {{"Pharmacy <rx@pills.example>", "Cheap pills, no prescription", msSpam},
       {"deals@spam.example", "Viagra 80% off today only", msSpam}});
}

}  // namespace tarnwell
