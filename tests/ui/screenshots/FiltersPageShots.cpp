// The Filters page, each tab over the demo's filters and a few hundred more as an update and the
// user would leave them, at a usual size and at the smallest the main window gives it; and the
// Find dialog.
#include <stdlib.h>

#include <QApplication>
#include <QLineEdit>
#include <QTreeView>
#include <QWidget>
#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "filtering/Countries.h"
#include "filtering/DataFiles.h"
#include "filtering/FilterList.h"
#include "filtering/Filters.h"
#include "filtering/ui/DlgFind.h"
#include "filtering/ui/FilterPageModels.h"
#include "filtering/ui/PgFilters.h"
#include "message/DomainLists.h"
#include "platform/Registry.h"
#include "shell/ProgramFolders.h"
#include "shell/Settings.h"
#include "shell/ui/DlgMessage.h"
#include "tests/ui/screenshots/Shots.h"

namespace tarnwell {
namespace {

// Deterministic choices, so that the pictures change only when the page does.
class TDice {
 public:
  size_t Roll(size_t sides) {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<size_t>(state_ >> 33) % sides;
  }
  template <typename T, size_t N>
  const T& Pick(const std::array<T, N>& from) {
    return from[Roll(N)];
  }

 private:
  uint64_t state_ = 2024;
};

TFilter& Add(TFilterList& list, uint8_t kind, uint8_t origin, uint8_t action) {
  std::unique_ptr<TFilter> filter = CreateFilterOfKind(kind);
  filter->Origin = origin;
  filter->Action = action;
  return *list.Add(std::move(filter));
}

// The user's filters of the demo.
void AddDemoFilters(TFilterList& list) {
  TFilter& subject = Add(list, fkSubject, orUser, acKill);
  subject.SetText1("miracle pill");
  TFilter& text = Add(list, fkText, orUser, acKill);
  text.SetText1("lottery winnings");
  TFilter& sender = Add(list, fkSender, orUser, acKillAfterComplaint);
  sender.SetText2("bulk-mailer.example.net");
  TFilter& header = Add(list, fkHeader, orUser, acKill);
  header.SetText1("X-Mailer");
  header.SetText2("MassMailer");
}

// A few hundred filters of every kind, no two alike, most from updates, with the hits a year of
// mail leaves.
void AddManyFilters(TFilterList& list) {
  TDice dice;
  const std::array<uint8_t, 6> origins = {orUpdate, orUpdate, orUpdate, orSoft, orUser, orUser};
  const std::array<uint8_t, 6> actions = {
      acKill, acKill, acKill, acMark, acKillAfterComplaint, acKillAfterErrorMessage};
  const auto add = [&](uint8_t kind) -> TFilter& {
    TFilter& filter = Add(list, kind, dice.Pick(origins), dice.Pick(actions));
    filter.Hits = static_cast<int32_t>(dice.Roll(4) == 0 ? dice.Roll(900) : dice.Roll(12));
    return filter;
  };
  // The n-th of `count` combinations, visited in a scattered order that meets each once.
  const auto scattered = [](size_t n, size_t count) { return n * 7919 % count; };

  const std::array<const char*, 10> hosts = {"mail", "news", "promo", "offers", "deals",
                                             "win",  "bulk", "mx",    "smtp",   "info"};
  const std::array<const char*, 12> trades = {"pharma", "casino", "loans",   "watches",
                                              "crypto", "dating", "seo",     "diet",
                                              "prize",  "outlet", "replica", "mortgage"};
  const std::array<const char*, 4> tlds = {".example.com", ".example.net", ".example.biz",
                                           ".example.info"};
  const std::array<const char*, 8> users = {"sales", "noreply", "promo",  "winner",
                                            "admin", "support", "offers", "newsletter"};
  const size_t domains = hosts.size() * trades.size() * tlds.size();
  for (size_t i = 0; i < 200; ++i) {
    const size_t n = scattered(i, domains);
    TFilter& filter = add(fkSender);
    filter.SetText2(std::string(hosts[n % hosts.size()]) + "." +
                    trades[n / hosts.size() % trades.size()] +
                    tlds[n / hosts.size() / trades.size()]);
    switch (dice.Roll(5)) {
      case 0:
        filter.Condition1 = cnStartsWith;
        filter.SetText1(dice.Pick(users));
        break;
      case 1: filter.Condition1 = cnNumeric; break;
      default: break;
    }
  }

  const std::array<const char*, 24> phrases = {
      "act now",          "limited time offer", "you have won",           "100% free",
      "lowest price",     "work from home",     "double your income",     "risk free",
      "no prescription",  "meet singles",       "final notice",           "claim your prize",
      "cheap meds",       "weight loss",        "credit approved",        "urgent reply",
      "exclusive deal",   "free gift",          "casino bonus",           "replica watches",
      "be your own boss", "miracle cure",       "investment opportunity", "earn $$$"};
  const std::array<std::pair<uint8_t, const char*>, 4> forms = {{{cnContains, "%s"},
                                                                 {cnContainsWord, "%s!"},
                                                                 {cnStartsWith, "RE: %s"},
                                                                 {cnContains, "[%s]"}}};
  for (size_t i = 0; i < 90; ++i) {
    const size_t n = scattered(i, phrases.size() * forms.size());
    const auto& [condition, form] = forms[n / phrases.size()];
    TFilter& filter = add(fkSubject);
    filter.Condition1 = condition;
    std::string text = form;
    text.replace(text.find("%s"), 2, phrases[n % phrases.size()]);
    filter.SetText1(text);
    filter.CaseMatters = dice.Roll(6) == 0;
  }
  add(fkSubject).Condition1 = cnUppercase;
  add(fkSubject).Condition1 = cnBlank;

  const std::array<const char*, 20> texts = {"click here to unsubscribe",
                                             "wire transfer",
                                             "bank account details",
                                             "this is not spam",
                                             "remove me from",
                                             "verify your account",
                                             "dear friend",
                                             "million dollars",
                                             "next of kin",
                                             "once in a lifetime",
                                             "as seen on tv",
                                             "order now",
                                             "100% satisfied",
                                             "no credit check",
                                             "you are a winner",
                                             "special promotion",
                                             "apply online",
                                             "get paid",
                                             "increase sales",
                                             "online pharmacy"};
  for (const char* text : texts) add(fkText).SetText1(text);

  const struct {
    const char* name;
    uint8_t condition;
    const char* pattern;
  } headers[] = {{"X-Mailer", cnContains, "Bulk Sender"},  {"X-Mailer", cnContains, "GroupMail"},
                 {"X-Mailer", cnContains, "SendBlaster"},  {"X-Mailer", cnStartsWith, "MailKing"},
                 {"X-Mailer", cnContains, "Extractor"},    {"X-Mailer", cnContains, "Atomic Mail"},
                 {"X-Mailer", cnContains, "Dark Mailer"},  {"X-Advertisement", cnPresent, ""},
                 {"Received", cnContains, "dynamic"},      {"Message-Id", cnNotContains, "@"},
                 {"X-BulkEmail", cnPresent, ""},           {"Return-Path", cnBlank, ""},
                 {"X-Distribution", cnEquals, "bulk"},     {"To", cnMissing, ""},
                 {"X-Sender", cnEndsWith, ".example.biz"}, {"Subject", cnUppercase, ""}};
  for (const auto& values : headers) {
    TFilter& filter = add(fkHeader);
    filter.SetText1(values.name);
    filter.Condition1 = values.condition;
    filter.SetText2(values.pattern);
  }
}

void ShootFiltersPage() {
  std::string home = (std::filesystem::temp_directory_path() / "tarnwell-shots-XXXXXX").string();
  if (!::mkdtemp(home.data())) return;
  home += "/";
  TProgramFolders::SetProgramFolder(home);
  InstallDataFiles();
  LoadDomainLists(home);
  {
    TRegistryStore store(home + "Registry.db");
    TRegistryStore::Install(&store);
    TSettings settings(&store);
    InstallSettings(&settings);

    TFilterList filters(home + "Filters.dat");
    filters.Load(true);
    AddDemoFilters(filters);
    AddManyFilters(filters);
    for (const char* code : {"tk", "nu", "cn", "ru", "kp", "ws"})
      filters.SetCountryBlocked(filters.Countries()->IndexOfCode(code), true);
    filters.SystemFilter(3)->Action = acKillAfterComplaint;
    filters.Save();

    TQtMessageDialogs dialogs;
    TFilterEditors editors;
    editors.EditFilter = [](TFilter&, bool, QWidget*) { return false; };
    editors.EditActionOf = [](TFilter&, QWidget*) { return false; };
    TFiltersPg page(filters, dialogs, editors);
    const struct {
      int tab;
      const char* name;
    } tabs[] = {{TFiltersPg::tbSender, "sender"}, {TFiltersPg::tbSubject, "subject"},
                {TFiltersPg::tbText, "text"},     {TFiltersPg::tbCountry, "country"},
                {TFiltersPg::tbHeader, "header"}, {TFiltersPg::tbOther, "other"}};
    // A blocked country in view.
    const int china = page.CountryModel()->RowOfPosition(filters.Countries()->IndexOfCode("cn"));
    page.List(fkCountry)->setCurrentIndex(page.CountryModel()->index(china, 0));
    for (const QSize size : {QSize(1024, 700), QSize(490, 280)}) {
      page.resize(size);
      const std::string suffix = size.width() < 1024 ? "-minimum" : "";
      for (const auto& tab : tabs) {
        page.SelectTab(tab.tab);
        if (tab.tab == TFiltersPg::tbCountry) {
          // Scrolled once the list has its size.
          page.show();
          QApplication::processEvents();
          page.List(fkCountry)->scrollTo(page.CountryModel()->index(china, 0),
                                         QAbstractItemView::PositionAtCenter);
        }
        shots::Shoot(page, std::string("filters-page-") + tab.name + suffix);
      }
    }

    page.resize(1024, 700);
    page.SelectTab(TFiltersPg::tbSubject);
    page.show();
    page.Find();
    TFindDlg& find = *page.FindDialog();
    find.FindEdit()->setText(QStringLiteral("free gift"));
    find.FindNext();
    shots::Shoot(find, "filters-find");
    page.hide();

    InstallSettings(nullptr);
    TRegistryStore::Install(nullptr);
  }
  std::filesystem::remove_all(home);
}

const shots::TShotSet kSet("filters-3-page", &ShootFiltersPage);

}  // namespace
}  // namespace tarnwell
