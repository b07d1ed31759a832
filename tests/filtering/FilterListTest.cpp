#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>

#include "filtering/FilterList.h"
#include "filtering/TextSearch.h"
#include "message/Base64.h"
#include "message/DomainLists.h"
#include "message/QStrings.h"
#include "platform/Files.h"
#include "shell/LogFile.h"
#include "shell/ProgramFolders.h"
#include "tests/filtering/FilterTestSupport.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

class FilterListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TProgramFolders::SetProgramFolder(dir.Path());
    test::WriteFileText(dir / "Countries.dat", "de,Germany=0\r\n");
    LoadDomainLists(TProgramFolders::DataFolder());
  }

  TFilter* AddSubject(TFilterList& list, const char* text, uint8_t action) {
    auto filter = std::make_unique<TSubjectFilter>();
    filter->SetText1(text);
    filter->Action = action;
    filter->Origin = orUser;
    return list.Add(std::move(filter));
  }

  TFilter* AddFriend(TFilterList& list, const char* user, const char* domain) {
    auto filter = std::make_unique<TFriendFilter>();
    filter->SetText1(user);
    filter->SetText2(domain);
    filter->Origin = orUser;
    return list.Add(std::move(filter));
  }

  TClassification Classify(TFilterList& list, const std::string& text) {
    auto message = test::Message(text);
    return list.Classify(*message);
  }

  test::TTempDir dir;
  test::TTestSettings settings;
  std::string file = dir / "Filters.dat";
};

TEST_F(FilterListTest, PrecedenceAcceptThenKillThenMark) {
  TFilterList list(file);
  AddSubject(list, "offer", acMark);
  TFilter* kill = AddSubject(list, "offer", acKill);
  AddFriend(list, "ann", "example.com");
  TClassification r = Classify(list, "From: ann@example.com\nSubject: an offer\n\n");
  EXPECT_EQ(r.Status, msFriend);
  EXPECT_EQ(list.Current()->Kind, fkFriend);
  r = Classify(list, "From: bob@example.com\nSubject: an offer\n\n");
  EXPECT_EQ(r.Status, msSpam);
  EXPECT_EQ(list.Current()->Action, acKill);
  kill->Action = acIgnore;
  r = Classify(list, "From: bob@example.com\nSubject: an offer\n\n");
  EXPECT_EQ(r.Status, msPossibleSpam);
  r = Classify(list, "From: bob@example.com\nSubject: lunch\n\n");
  EXPECT_FALSE(r.Matched);
  EXPECT_EQ(r.Status, msChecked);
  EXPECT_EQ(list.Current(), nullptr);
}

TEST_F(FilterListTest, HitsCountForSenderSubjectTextAndHeaderFiltersOnly) {
  TFilterList list(file);
  TFilter* subject = AddSubject(list, "offer", acKill);
  TFilter* friendFilter = AddFriend(list, "ann", "example.com");
  list.Modified = false;
  Classify(list, "From: bob@b.com\nSubject: offer\n\n");
  Classify(list, "From: ann@example.com\n\n");
  EXPECT_EQ(subject->Hits, 1);
  EXPECT_EQ(friendFilter->Hits, 0);
  EXPECT_TRUE(list.Modified);
}

TEST_F(FilterListTest, BounceIsRecognisedOnlyWithTextFiltersActive) {
  TFilterList list(file);
  list.Load(true);
  const std::string bounce =
      "From: MAILER-DAEMON@mx.example.com\nSubject: Undeliverable\n\n"
      "Your message could not be delivered.\nX-Tarnwell-AutoReply: 40000001\n";
  TClassification r = Classify(list, bounce);
  EXPECT_EQ(r.Status, msBounce);
  EXPECT_EQ(list.SystemFilter(0)->Hits, 0);
  settings.settings.ActiveFilters = 0xFE & ~(1u << fkText);
  r = Classify(list, bounce);
  EXPECT_NE(r.Status, msBounce);
}

// A message classified from its stored body gets what its loaded lines get, from filters that
// each look for what only one of the raw, decoded and cleaned texts holds; its record's lines
// are left alone.
TEST_F(FilterListTest, StoredBodyClassifiesAsTheLoadedLines) {
  struct TPattern {
    const char* text;
    uint8_t condition;
    bool caseMatters;
  };
  const TPattern patterns[] = {
      {"a  b", cnContains, false},
      {"dont", cnContains, false},
      {"=3D", cnContains, false},
      {"x=1", cnContains, false},
      {"<b>", cnContains, false},
      {"Bold", cnContains, true},
      {"word  next", cnContains, false},
      {"word next", cnContainsWord, false},
      {"secret", cnContainsWord, false},
      {"JVBERi0", cnContains, false},
      {"(Attachment)", cnContains, false},
      {"as it is", cnContains, false},
      {"retrieved", cnContains, false},
      {"", cnBlank, false},
      {"", cnUppercase, true},
      {"CAPS", cnContains, true},
      // Only in the decoded text of a plain message with a blank at a line end.
      {"- a  b word next", cnContains, false},
  };
  struct TCase {
    std::string text;               // none: a message whose text was never retrieved
    std::set<std::string> matched;  // the patterns found, "" for blank and upper case
  };
  const TCase cases[] = {
      {"Subject: plain\n\nHe said \"don't\" - a  b\nword \nnext\n\nCAPS\n",
       {"a  b", "dont", "word  next", "word next", "CAPS", "- a  b word next"}},
      {"Subject: no blanks at line ends\n\nword\nnext\n", {"word next"}},
      {"Subject: qp\nContent-Type: text/plain\nContent-Transfer-Encoding: quoted-printable\n\n"
       "x=3D1 soft=\nbreak a  b\n",
       {"a  b", "=3D", "x=1"}},
      {"Subject: html\nContent-Type: text/html\n\n<html><body><p>Some <b>Bold</b> text</p>\n"
       "<p>don't &amp; more</p></body></html>\n",
       {"dont", "<b>", "Bold"}},
      {"Subject: base64\nContent-Type: text/plain\nContent-Transfer-Encoding: base64\n\n" +
           TBase64::Encode("decoded secret\r\nword next\r\n") + "\n",
       {"secret", "word next"}},
      {"Subject: parts\nContent-Type: multipart/mixed; boundary=\"b\"\n\n--b\n"
       "Content-Type: text/plain\n\nfirst part\n--b\nContent-Type: application/pdf\n\n"
       "JVBERi0=\n--b--\n",
       {"JVBERi0", "(Attachment)"}},
      {"Subject: unsupported\nContent-Type: multipart/unknown; boundary=\"b\"\n\n--b\nas it is\n",
       {"as it is"}},
      {"Subject: shouting\n\nBUY NOW\n", {""}},
      {"Subject: empty\n\n", {""}},
      {"", {"retrieved"}},
  };
  TFilterList list(file);
  std::vector<TFilter*> filters;
  for (const TPattern& pattern : patterns) {
    auto filter = std::make_unique<TTextFilter>();
    filter->SetText1(pattern.text);
    filter->Condition1 = pattern.condition;
    filter->CaseMatters = pattern.caseMatters;
    filter->Action = acKill;
    filters.push_back(list.Add(std::move(filter)));
  }
  ASSERT_TRUE(ForceDirectories(dir / "Inbox"));
  TEmailList inbox(false);
  inbox.SetFolder(dir / "Inbox");
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.text);
    TEmail* email = inbox.Add(test::Message(c.text.empty() ? "Subject: none\n\n" : c.text));
    if (c.text.empty())
      email->BodyState = TEmail::bsNotRetrieved;
    else
      email->SaveBody();
    email->ClearBody();
    std::set<std::string> stored, loaded;
    for (TFilter* filter : filters) {
      if (list.ClassifyStored(*email, filter).Matched) stored.insert(filter->Text1());
      EXPECT_TRUE(email->Body.empty());
      email->LoadBody();
      if (list.Classify(*email, filter).Matched) loaded.insert(filter->Text1());
      email->ClearBody();
    }
    EXPECT_EQ(loaded, c.matched);
    EXPECT_EQ(stored, c.matched);
  }
}

TEST_F(FilterListTest, FriendsOnlyModeKillsStrangersEvenWithNoFilterEnabled) {
  TFilterList list(file);
  AddFriend(list, "ann", "example.com");
  settings.settings.AcceptFriendsOnly = true;
  settings.settings.ActiveFilters = 0;
  TClassification r = Classify(list, "From: bob@example.com\n\n");
  EXPECT_EQ(r.Status, msSpam);
  EXPECT_EQ(list.Current()->Description(), "The sender is not a friend");
  r = Classify(list, "From: ann@example.com\n\n");
  EXPECT_EQ(r.Status, msFriend);
}

TEST_F(FilterListTest, MissingFileGetsTheSixSystemFiltersAndIsWritten) {
  TFilterList list(file);
  list.Load(true);
  ASSERT_EQ(list.SystemFilterCount(), 6);
  EXPECT_TRUE(FileExists(file));
  std::string data;
  ASSERT_TRUE(ReadWholeFile(file, data));
  EXPECT_EQ(data.size(), 36u + 6 * 136u);
  const int32_t* next = list.NextIDs();
  EXPECT_EQ(next[fkText], 1);
  EXPECT_EQ(next[fkCountry], 1);
  EXPECT_EQ(next[fkHeader], 4);
  const char* expected[] = {"Message text contains 'X-Tarnwell-AutoReply'",
                            "Sent from or via ",
                            "'From' is not a valid address",
                            "'From' does not equal 'Reply-To'",
                            "'From' equals 'To'",
                            "'To' does not equal any of your user names"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(list.SystemFilter(i)->Description(), expected[i]);
  EXPECT_EQ(list.SystemFilter(3)->Action, acMark);
  EXPECT_EQ(list.SystemFilter(5)->ID, 4);
}

TEST_F(FilterListTest, FiveOrSevenSystemFiltersComeBackAsTheSixDefaults) {
  for (const int count : {5, 7}) {
    SCOPED_TRACE(count);
    {
      TFilterList list(file);
      list.Load(true);
      list.SystemFilter(3)->Action = acKill;  // a user change that is lost
      if (count == 5) {
        list.Delete(list.IndexOf(list.SystemFilter(4)));
      } else {
        auto extra = std::make_unique<THeaderFilter>();
        extra->SetText1("X-Extra");
        list.Add(std::move(extra));
      }
      list.Save();
    }
    TFilterList again(file);
    again.Load(true);
    EXPECT_EQ(again.SystemFilterCount(), 6);
    EXPECT_EQ(again.SystemFilter(3)->Action, acMark);
    DeleteFileAt(file);
  }
}

TEST_F(FilterListTest, Version512FileTurnsSystemFriendsIntoUserFriends) {
  {
    TFilterList list(file);
    list.Load(true);
    TFilter* old = AddFriend(list, "ann", "example.com");
    old->Origin = orSystem;
    list.Save();
  }
  std::string data;
  ASSERT_TRUE(ReadWholeFile(file, data));
  data[0] = 0x00;  // version 512 = 0x200
  data[1] = 0x02;
  WriteFileAtomic(file, data);

  TFilterList list(file);
  list.Load(true);
  std::vector<TFilter*> friends;
  list.FiltersOfKind(fkFriend, kAllOrigins, friends);
  ASSERT_EQ(friends.size(), 1u);
  EXPECT_EQ(friends[0]->Origin, orUser);
  EXPECT_EQ(list.SystemFilterCount(), 6);
  ASSERT_TRUE(ReadWholeFile(file, data));
  EXPECT_EQ(uint8_t(data[0]) | uint8_t(data[1]) << 8, 573);
}

TEST_F(FilterListTest, FindEqualIgnoresActionButNotTheMailingListBit) {
  TFilterList list(file);
  const TFilter* subject = AddSubject(list, "offer", acKill);
  AddFriend(list, "ann", "example.com");
  TSubjectFilter same;
  same.SetText1("offer");
  same.Action = acMark;
  int index;
  EXPECT_TRUE(list.FindEqual(same, index));
  EXPECT_EQ(index, list.IndexOf(subject));
  same.SetText1("Offer");
  EXPECT_FALSE(list.FindEqual(same, index));
  EXPECT_EQ(index, -1);
  TFriendFilter mailingList;
  mailingList.SetText1("ann");
  mailingList.SetText2("example.com");
  EXPECT_TRUE(list.FindEqual(mailingList, index));
  mailingList.Headers |= 1u << 19;
  EXPECT_FALSE(list.FindEqual(mailingList, index));
}

TEST_F(FilterListTest, EmptyListWrites36Bytes) {
  TFilterList list(file);
  list.Save();
  std::string data;
  ASSERT_TRUE(ReadWholeFile(file, data));
  EXPECT_EQ(data.size(), 36u);
}

TEST_F(FilterListTest, AddKeepsKindsGroupedAndNumbersPerKind) {
  TFilterList list(file);
  AddSubject(list, "a", acKill);
  AddFriend(list, "x", "y.com");
  AddSubject(list, "b", acKill);
  auto sender = std::make_unique<TSenderFilter>();
  list.Add(std::move(sender));
  std::vector<uint8_t> kinds;
  for (int i = 0; i < list.Count(); ++i) kinds.push_back(list.Filter(i)->Kind);
  EXPECT_EQ(kinds, (std::vector<uint8_t>{fkSender, fkFriend, fkSubject, fkSubject}));
  EXPECT_EQ(list.Filter(3)->ID, 2);
  EXPECT_EQ(list.IndexOfNth(1, fkSubject, kAllOrigins), 3);
  EXPECT_EQ(list.IndexOfNth(5, fkSubject, kAllOrigins), 4);
  EXPECT_EQ(list.IndexOfNth(0, fkHeader, kAllOrigins), 4);
}

TEST_F(FilterListTest, FriendsFileHoldsOnlyFriendsAndReadsBack) {
  TFilterList list(file);
  list.Load(true);
  AddFriend(list, "ann", "example.com");
  AddSubject(list, "offer", acKill);
  AddFriend(list, "", "work.org")->Condition1 = cnNone;
  const std::string friendsFile = dir / "Friends.dat";
  list.WriteFile(1u << fkFriend, friendsFile);
  TFilterList saved(friendsFile);
  saved.Load(false);
  ASSERT_EQ(saved.Count(), 2);
  EXPECT_EQ(saved.Filter(0)->Description(), "User is 'ann@example.com'");
  EXPECT_EQ(saved.Filter(1)->Description(), "Domain is 'work.org'");
  EXPECT_EQ(saved.SystemFilterCount(), 0);
}

TEST_F(FilterListTest, DamagedFilesLoadWhatIsValid) {
  TFilterList list(file);
  AddSubject(list, "first", acKill);
  AddSubject(list, "second", acKill);
  list.Save();
  std::string data;
  ASSERT_TRUE(ReadWholeFile(file, data));
  std::string damaged = data;
  damaged[36 + 136 + 24] = 99;          // the second record's text length is impossible
  damaged += std::string(100, '\x05');  // and a trailing fragment
  WriteFileAtomic(file, damaged);
  TFilterList again(file);
  again.Load(false);
  ASSERT_EQ(again.Count(), 1);
  EXPECT_EQ(again.Filter(0)->Text1(), "first");

  WriteFileAtomic(file, std::string(10, 'x'));  // too short for the header
  TFilterList fresh(file);
  fresh.Load(true);
  EXPECT_EQ(fresh.SystemFilterCount(), 6);
  EXPECT_TRUE(FileExists(file + ".damaged"));
}

// A damaged Filters.dat: the user's filters that can be read stay, the file as it was is kept
// under a name of its own (never over an older copy), and the load says what happened, once.
TEST_F(FilterListTest, DamagedFileIsKeptAsItWasAndReported) {
  {
    TFilterList list(file);
    list.Load(true);
    AddFriend(list, "ann", "example.com");
    AddSubject(list, "pills", acKill);
    AddSubject(list, "offer", acMark);
    list.Save();
  }
  std::string sound;
  ASSERT_TRUE(ReadWholeFile(file, sound));
  // Records in file order: friend ann, subject pills, subject offer, then the system filters.
  const auto record = [](int n) { return 36 + 136 * n; };
  const auto changed = [&](size_t offset, char value) {
    std::string data = sound;
    data[offset] = value;
    return data;
  };
  std::mt19937 random(13);
  std::string noise(sound.size(), '\0');
  for (char& c : noise) c = static_cast<char>(random());
  struct TCase {
    const char* shape;
    std::string data;
    std::vector<std::string> survivors;
    const char* damage;  // empty: a sound file, nothing to tell
  } cases[] = {
      {"sound", sound, {"ann", "pills", "offer"}, ""},
      {"cut inside a record",
       sound.substr(0, record(2) + 60),
       {"ann", "pills"},
       "it ends inside a filter; the system filters had to be set up again"},
      {"one changed byte (a kind)",
       changed(record(2), 0x44),
       {"ann", "pills"},
       "1 filter could not be read"},
      {"one changed byte (an origin)",
       changed(record(1) + 9, orSystem),
       {"ann", "offer"},
       "the system filters had to be set up again"},
      {"zero length", "", {}, "it is empty"},
      {"random bytes", noise, {}, "filters could not be read"},
  };
  std::vector<std::pair<std::string, std::string>> kept;  // copy name, bytes
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.shape);
    WriteFileAtomic(file, c.data);
    TFilterList list(file);
    list.Load(true);
    std::vector<std::string> survivors;
    for (int i = 0; i < list.Count(); ++i)
      for (const char* text : {"ann", "pills", "offer"})
        if (list.Filter(i)->Text1() == text && list.Filter(i)->Origin == orUser)
          survivors.push_back(text);
    EXPECT_EQ(survivors, c.survivors);
    EXPECT_EQ(list.SystemFilterCount(), 6);
    if (*c.damage == 0) {
      EXPECT_EQ(list.LoadWarning(), "");
      EXPECT_EQ(list.DamagedCopy(), "");
      continue;
    }
    const std::string copy =
        file + ".damaged" + (kept.empty() ? "" : "." + std::to_string(kept.size()));
    EXPECT_EQ(list.DamagedCopy(), copy);
    kept.emplace_back(copy, c.data);
    const std::string& warning = list.LoadWarning();
    EXPECT_EQ(warning.rfind("The filter file \"" + file + "\" was damaged: ", 0), 0u) << warning;
    EXPECT_NE(warning.find(c.damage), std::string::npos) << warning;
    EXPECT_NE(warning.find("kept as \"" + copy + "\""), std::string::npos) << warning;
    for (const auto& [name, bytes] : kept) {
      std::string now;
      EXPECT_TRUE(ReadWholeFile(name, now) && now == bytes) << name << " is not as it was";
    }
    // The repaired list was written back: the next load has nothing more to tell.
    TFilterList again(file);
    again.Load(true);
    EXPECT_EQ(again.LoadWarning(), "");
    EXPECT_EQ(again.Count(), list.Count());
  }
}

TEST_F(FilterListTest, LogBlockOfAKilledMessage) {
  ProgramLog().SetEnabled(true);
  ProgramLog().SetFileName(dir / "Tarnwell.log");
  TFilterList list(file);
  list.SetLogging(true);
  AddSubject(list, "offer", acKillAfterComplaint);
  Classify(list, "Subject: offer\n\n");
  Classify(list, "Subject: hello\n\n");
  const std::string log = test::ReadFileText(dir / "Tarnwell.log");
  for (const char* line :
       {"[Filtering result (No owner) 'Spam']", "[ID    : 1]", "[Type  : Subject]",
        "[Action: Kill after complaining]", "[Origin: User]", "[Reason: Subject contains 'offer']",
        "[Filtering result (No owner) 'Checked']"})
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  ProgramLog().SetEnabled(false);
}

// The shared search must give every text filter the result of its own search, with a small
// automaton (a compact table) and a large one.
TEST(TextSearchTest, AgreesWithEachFilterSearchingForItself) {
  struct TShape {
    int filters;
    size_t minLength, maxLength;
    std::string alphabet;
  };
  const TShape shapes[] = {
      {120, 0, 3, "abAB .-'\xC9\xE9"},
      {5000, 6, 12, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJ0123456789 .-'\xC9\xE9"},
  };
  for (const TShape& shape : shapes) {
    SCOPED_TRACE(shape.filters);
    std::mt19937 random(7);
    const auto randomText = [&](size_t length) {
      std::string text;
      for (size_t i = 0; i < length; ++i) text += shape.alphabet[random() % shape.alphabet.size()];
      return text;
    };
    std::vector<std::unique_ptr<TTextFilter>> filters;
    for (int i = 0; i < shape.filters; ++i) {
      auto filter = std::make_unique<TTextFilter>();
      filter->SetText1(
          randomText(shape.minLength + random() % (shape.maxLength - shape.minLength + 1)));
      const uint8_t conditions[] = {cnContains, cnContainsWord, cnNotContains, cnBlank,
                                    cnUppercase};
      filter->Condition1 = conditions[random() % 5];
      filter->CaseMatters = random() % 2;
      filters.push_back(std::move(filter));
    }
    std::vector<const TTextFilter*> all;
    for (const auto& f : filters) all.push_back(f.get());
    TTextSearch search;
    search.Build(all);
    for (int round = 0; round < 200; ++round) {
      TEvaluationContext context;
      for (int t = 0; t < 3; ++t) {
        context.BodyTexts[t] = round % 7 == 0 ? std::string() : randomText(random() % 40);
        // Long texts made of pieces of patterns, so that the large set finds some.
        if (shape.filters > 1000 && round % 2 == 0 && t != 1) {
          for (int k = 0; k < 30; ++k)
            context.BodyTexts[t] += filters[random() % filters.size()]->Text1() + " ";
        }
        if (t == 1 && round % 3 == 0) context.BodyTexts[1] = context.BodyTexts[0];
      }
      // Long texts that begin alike and part at some point, as the raw, decoded and cleaned
      // texts of one message do.
      if (round % 4 == 1) {
        std::string base;
        while (base.size() < 500 + random() % 4000)
          base += randomText(random() % 20) + filters[random() % filters.size()]->Text1();
        context.BodyTexts[0] = base;
        for (int t = 1; t < 3; ++t) {
          std::string text = context.BodyTexts[t - 1];
          const size_t at = random() % (text.size() + 1);
          if (random() % 2)
            text.erase(at, random() % 4);
          else
            text.insert(at, randomText(random() % 4));
          context.BodyTexts[t] = text;
        }
      }
      search.Reset();
      for (const auto& filter : filters) {
        bool fast = false;
        ASSERT_TRUE(search.Lookup(*filter, context, fast));
        ASSERT_EQ(fast, filter->MatchesTexts(context))
            << "pattern '" << filter->Text1() << "' condition " << int(filter->Condition1)
            << " case " << int(filter->CaseMatters) << " texts '" << context.BodyTexts[0] << "' '"
            << context.BodyTexts[1] << "' '" << context.BodyTexts[2] << "'";
      }
    }
  }
  TTextSearch search;
  TTextFilter known;
  known.SetText1("known");
  search.Build({&known});
  TTextFilter unknown;
  unknown.SetText1("never added");
  bool result;
  EXPECT_FALSE(search.Lookup(unknown, TEvaluationContext{}, result));
}

// A decoded text that is the raw one, held once, answers every filter as a copy of it does.
TEST(TextSearchTest, ADecodedTextSharedWithTheRawOneAnswersAsACopy) {
  std::mt19937 random(11);
  const std::string alphabet = "abAB .-'\"";
  const auto randomText = [&](size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
    return text;
  };
  std::vector<std::unique_ptr<TTextFilter>> filters;
  std::vector<const TTextFilter*> all;
  const uint8_t conditions[] = {cnContains, cnContainsWord, cnNotContains, cnBlank, cnUppercase};
  for (int i = 0; i < 200; ++i) {
    auto filter = std::make_unique<TTextFilter>();
    filter->SetText1(randomText(random() % 4));
    filter->Condition1 = conditions[random() % 5];
    filter->CaseMatters = random() % 2;
    all.push_back(filter.get());
    filters.push_back(std::move(filter));
  }
  TTextSearch shared, copied;
  shared.Build(all);
  copied.Build(all);
  for (int round = 0; round < 200; ++round) {
    const std::string raw = round % 9 == 0 ? std::string() : randomText(random() % 60);
    TEvaluationContext once, twice;
    once.SetBodyTexts(raw);
    twice.SetBodyTexts(raw, raw);
    ASSERT_EQ(once.BodyText(1), raw);
    shared.Reset();
    copied.Reset();
    for (const auto& filter : filters) {
      bool fromShared = false, fromCopy = false;
      ASSERT_TRUE(shared.Lookup(*filter, once, fromShared));
      ASSERT_TRUE(copied.Lookup(*filter, twice, fromCopy));
      ASSERT_EQ(fromShared, fromCopy) << "'" << filter->Text1() << "' in '" << raw << "'";
      ASSERT_EQ(filter->MatchesTexts(once), fromCopy) << "'" << filter->Text1() << "'";
    }
  }
}

// A match is seen wherever it lies: across the points where pieces of a long text are cut,
// and just before the point where a text parts from the one it begins like.
TEST(TextSearchTest, SeesAMatchAtEveryPlace) {
  TTextFilter contains, notContains;
  for (TTextFilter* filter : {&contains, &notContains}) filter->SetText1("needle");
  contains.Condition1 = cnContains;
  notContains.Condition1 = cnNotContains;
  TTextSearch search;
  search.Build({&contains, &notContains});
  const std::string filler(3000, '.');
  for (size_t at = 0; at + 6 <= filler.size(); ++at) {
    TEvaluationContext alone;
    alone.BodyTexts[0] = filler;
    alone.BodyTexts[0].replace(at, 6, "needle");
    search.Reset();
    bool found = false;
    ASSERT_TRUE(search.Lookup(contains, alone, found));
    ASSERT_TRUE(found) << at;
  }
  for (size_t at = 0; at + 6 <= filler.size(); ++at) {
    TEvaluationContext context;
    context.BodyTexts[0] = filler;
    context.BodyTexts[0].replace(at, 6, "needle");
    context.BodyTexts[1] = context.BodyTexts[0];
    if (at + 6 < filler.size()) context.BodyTexts[1][at + 6] = ',';
    context.BodyTexts[2] = context.BodyTexts[0];
    const size_t away = (at + 1500) % filler.size();
    if (away + 1 < at || away > at + 6) context.BodyTexts[2][away] = ',';
    search.Reset();
    bool found = false, missing = true;
    ASSERT_TRUE(search.Lookup(contains, context, found));
    ASSERT_TRUE(search.Lookup(notContains, context, missing));
    ASSERT_TRUE(found) << at;
    ASSERT_FALSE(missing) << at;
  }
}

}  // namespace
}  // namespace tarnwell

namespace tarnwell {
namespace {

// The one-pass cleaning must equal collapsing spaces and then removing quotes and dashes.
TEST(CleanBodyTextTest, EqualsCollapseThenRemove) {
  std::mt19937 random(11);
  // Texts long enough for the blocks the cleaning copies whole, and mostly letters, so that
  // both whole blocks and blocks with quotes, dashes and runs of spaces occur.
  const std::string alphabet = "  a-\"'\t\rbcdefghijklmnop";
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    const size_t length = random() % 90;
    for (size_t i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
    ASSERT_EQ(CleanBodyText(text), RemoveChars(CollapseSpaces(text), "\"'-")) << "'" << text << "'";
  }
}

}  // namespace
}  // namespace tarnwell
