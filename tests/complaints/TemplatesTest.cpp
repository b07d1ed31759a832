#include <gtest/gtest.h>

#include <algorithm>

#include "complaints/Templates.h"
#include "filtering/DataFiles.h"
#include "message/Emails.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "tests/complaints/ComplaintTestSupport.h"

namespace tarnwell {
namespace {

struct TFields {
  int32_t Version;
  bool Response;
  std::string Name, Sender;
  bool InclSubject, InclHeaders, InclText;
  std::string Cc, Subject;
  std::vector<std::string> Lines;
};

TFields FieldsOf(const TTemplate& t) {
  return {t.Version,     t.Response, t.Name, t.Sender,  t.InclSubject,
          t.InclHeaders, t.InclText, t.Cc,   t.Subject, t.Lines};
}

void ExpectFields(const TTemplate& t, const TFields& expected) {
  const TFields actual = FieldsOf(t);
  EXPECT_EQ(actual.Version, expected.Version);
  EXPECT_EQ(actual.Response, expected.Response);
  EXPECT_EQ(actual.Name, expected.Name);
  EXPECT_EQ(actual.Sender, expected.Sender);
  EXPECT_EQ(actual.InclSubject, expected.InclSubject);
  EXPECT_EQ(actual.InclHeaders, expected.InclHeaders);
  EXPECT_EQ(actual.InclText, expected.InclText);
  EXPECT_EQ(actual.Cc, expected.Cc);
  EXPECT_EQ(actual.Subject, expected.Subject);
  EXPECT_EQ(actual.Lines, expected.Lines);
}

class TemplatesTest : public ::testing::Test {
 protected:
  TTemplate Load(const std::string& name) {
    TTemplate t;
    t.LoadFromFile(name);
    return t;
  }
  test::TComplaintsFolder folder;
};

TEST_F(TemplatesTest, CurrentFormatReadsKeysInAnyOrderAndOnlyExactSpellings) {
  const TFields expected{0x300, true, "Report",           "me@example.com", true,
                         false, true, "boss@example.com", "Spam",           {"Hello", "", "Bye"}};
  struct Case {
    const char* label;
    const char* text;
  } cases[] = {
      {"written order",
       "VERSION=$0300\r\nRESPONSE=Y\r\nNAME=Report\r\nSENDER=me@example.com\r\nINCLSUBJECT=Y\r\n"
       "INCLHEADERS=N\r\nINCLTEXT=Y\r\nCC=boss@example.com\r\nSUBJECT=Spam\r\n\r\nHello\r\n\r\n"
       "Bye\r\n"},
      {"shuffled, LF ends, later key wins, lower-case key and unknown lines ignored",
       "VERSION=768\nSUBJECT=Spam\nCC=first@example.com\nINCLTEXT=Y\nsubject=Wrong\n"
       "NAME=Report\nCOLOUR=blue\nno equals sign\nCC=boss@example.com\nSENDER=me@example.com\n"
       "RESPONSE=Y\nINCLSUBJECT=Y\n\nHello\n\nBye"},
      {"CR ends, booleans other than Y are false",
       "VERSION=$300\rINCLHEADERS=y\rINCLSUBJECT=Y\rINCLTEXT=Y\rRESPONSE=Y\rNAME=Report\r"
       "SENDER=me@example.com\rCC=boss@example.com\rSUBJECT=Spam\rINCLHEADERS=Yes\r\rHello\r\r"
       "Bye\r"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    test::WriteFileText(folder.File("Report.txt"), c.text);
    const std::string before = test::ReadFileText(folder.File("Report.txt"));
    ExpectFields(Load("Report"), expected);
    EXPECT_EQ(test::ReadFileText(folder.File("Report.txt")), before) << "a current file stays";
  }
}

TEST_F(TemplatesTest, SavingWritesTheCurrentFormatWithCcOnlyWhenSet) {
  TTemplate t;
  t.Name = "Mine";
  t.Subject = "About your mail";
  t.Lines = {"Line one", "", "Line three"};
  t.InclHeaders = true;
  const std::string head =
      "VERSION=$0232\r\nRESPONSE=N\r\nNAME=Mine\r\nSENDER=\r\n"
      "INCLSUBJECT=N\r\nINCLHEADERS=Y\r\nINCLTEXT=Y\r\n";
  const std::string tail = "SUBJECT=About your mail\r\n\r\nLine one\r\n\r\nLine three\r\n";
  for (const std::string cc : {"", "boss@example.com"}) {
    SCOPED_TRACE(cc);
    t.Cc = cc;
    t.SaveToFile();
    EXPECT_EQ(t.Version, CurrentTemplateVersion);
    EXPECT_EQ(test::ReadFileText(folder.File("Mine.txt")),
              head + (cc.empty() ? "" : "CC=" + cc + "\r\n") + tail);
  }
}

TEST_F(TemplatesTest, OlderFilesAreReadAndRewrittenInTheCurrentFormat) {
  struct Case {
    const char* label;
    const char* file;
    const char* text;
    TFields expected;
    const char* rewrittenAs;
  } cases[] = {
      {"no VERSION line: subject, carbon copy, text",
       "Old",
       "Buy now\r\nboss@example.com\r\nDear sir,\r\nstop.\r\n",
       {562,
        false,
        "Old",
        "",
        false,
        true,
        true,
        "boss@example.com",
        "Buy now",
        {"Dear sir,", "stop."}},
       "Old"},
      {"no VERSION line, no text",
       "Short",
       "Subject only\r\n\r\n",
       {562, false, "Short", "", false, true, true, "", "Subject only", {}},
       "Short"},
      {"a version below the current one",
       "Low",
       "VERSION=$0100\r\nNAME=Low\r\nSUBJECT=Hi\r\n\r\ntext\r\n",
       {562, false, "Low", "", false, false, true, "", "Hi", {"text"}},
       "Low"},
      {"a NAME that differs from the file name",
       "File",
       "VERSION=1\r\nNAME=Renamed\r\nSUBJECT=Hi\r\n\r\n",
       {562, false, "Renamed", "", false, false, true, "", "Hi", {}},
       "Renamed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string file = folder.File(std::string(c.file) + ".txt");
    test::WriteFileText(file, c.text);
    const TTemplate t = Load(c.file);
    ExpectFields(t, c.expected);
    EXPECT_EQ(test::ReadFileText(folder.File(std::string(c.rewrittenAs) + ".txt")), t.FileText());
    if (std::string(c.file) != c.rewrittenAs) {
      EXPECT_EQ(test::ReadFileText(file), c.text) << "the old file stays";
    }
  }
}

TEST_F(TemplatesTest, MissingOrDamagedFilesRaise) {
  struct Case {
    const char* label;
    const char* text;
  } cases[] = {
      {"header block not ended by an empty line", "VERSION=$0232\r\nNAME=X\r\nSUBJECT=Hi\r\n"},
      {"older format with one line", "Only a subject\r\n"},
      {"empty file", ""},
      {"unreadable version, then one line", "VERSION=abc\r\nSubject\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    test::WriteFileText(folder.File("Bad.txt"), c.text);
    EXPECT_THROW(Load("Bad"), TError);
  }
  EXPECT_THROW(Load("Absent"), TError);
  TTemplate unsafe;
  unsafe.Name = "../Escaped";
  EXPECT_THROW(unsafe.SaveToFile(), TError);
  EXPECT_FALSE(test::FileExists(folder.dir / "Escaped.txt"));
}

TEST_F(TemplatesTest, ReloadReadsEveryTemplateFileLogsThemAndPassesOverDamagedOnes) {
  test::WriteFileText(folder.File("Alpha.txt"), test::TemplateText("Alpha", "A", "a\r\n"));
  test::WriteFileText(folder.File("Broken.txt"), "VERSION=$0232\r\nNAME=Broken\r\n");
  test::WriteFileText(folder.File("Gamma.txt"), "Old subject\r\n\r\ntext\r\n");
  test::WriteFileText(folder.File(".Hidden.txt"), test::TemplateText("Hidden", "H", ""));
  test::WriteFileText(folder.File("Recent.lst"), "");
  test::WriteFileText(folder.File("Notes.doc"), "");
  TTemplates templates;
  test::TLogCapture log;
  templates.Reload();
  EXPECT_EQ(templates.Names(), (std::vector<std::string>{"Alpha", "Gamma"}));
  const std::vector<std::string> texts = log.Texts();
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[0], "Loading complaint templates");
  EXPECT_EQ(texts[1], "  Alpha");
  EXPECT_NE(texts[2].find("Broken.txt"), std::string::npos) << texts[2];
  EXPECT_EQ(texts[3], "  Gamma");
  EXPECT_EQ(texts[4], "Done loading complaint templates");

  test::WriteFileText(folder.File("Alpha.txt"), test::TemplateText("Alpha", "A2", ""));
  templates.Reload();
  ASSERT_NE(templates.Find("alpha"), nullptr);
  EXPECT_EQ(templates.Find("ALPHA")->Subject, "A2");
  EXPECT_EQ(templates.Find("Beta"), nullptr);
}

TEST_F(TemplatesTest, AddUpdateAndRemoveKeepTheFilesInStep) {
  TTemplates templates;
  auto fresh = std::make_unique<TTemplate>();
  fresh->Name = "First name";
  fresh->Subject = "Hi";
  TTemplate* added = templates.Add(std::move(fresh));
  EXPECT_TRUE(test::FileExists(folder.File("First name.txt")));

  added->Name = "Second name";
  templates.Update(*added);
  EXPECT_FALSE(test::FileExists(folder.File("First name.txt")));
  EXPECT_TRUE(test::FileExists(folder.File("Second name.txt")));
  EXPECT_EQ(templates.Names(), std::vector<std::string>{"Second name"});
  EXPECT_EQ(templates.Find("second NAME"), added);
  EXPECT_EQ(templates.Find("First name"), nullptr);

  added->Subject = "Changed";
  templates.Update(*added);
  EXPECT_EQ(Load("Second name").Subject, "Changed");

  added->Name = "Bad/name";
  EXPECT_THROW(templates.Update(*added), TError);
  EXPECT_TRUE(test::FileExists(folder.File("Second name.txt"))) << "a failed rename loses nothing";
  EXPECT_EQ(templates.Names(), std::vector<std::string>{"Second name"});
  added->Name = "Second name";

  templates.Remove("Nothing like it");
  EXPECT_EQ(templates.Count(), 1);
  templates.Remove("SECOND name");
  EXPECT_EQ(templates.Count(), 0);
  EXPECT_TRUE(templates.Names().empty());
  EXPECT_FALSE(test::FileExists(folder.File("Second name.txt")));
}

TEST_F(TemplatesTest, BuildMessageAppendsWhatTheTemplateAsksFor) {
  auto reported = test::Message("From: x@spam.example\nSubject: " + std::string(150, 's') +
                                "\nX-Mailer: Bulk\n\nBuy\nnow\n");
  TTemplate t;
  t.Subject = "Complaint";
  t.Lines = {"Dear sir,", "stop."};
  const std::vector<std::string> headers = reported->Headers.Lines();
  struct Case {
    bool inclSubject, inclHeaders, inclText;
    std::string subject;
    std::vector<std::string> body;
  } cases[] = {
      {false, false, false, "Complaint", {"Dear sir,", "stop.", ""}},
      {true,
       false,
       true,
       "Complaint (" + std::string(100, 's') + ")",
       {"Dear sir,", "stop.", "", "Buy", "now"}},
      {false,
       true,
       false,
       "Complaint",
       {"Dear sir,", "stop.", "", headers[0], headers[1], headers[2], ""}},
      {false,
       true,
       true,
       "Complaint",
       {"Dear sir,", "stop.", "", headers[0], headers[1], headers[2], "", "Buy", "now"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.inclSubject << c.inclHeaders << c.inclText);
    t.InclSubject = c.inclSubject;
    t.InclHeaders = c.inclHeaders;
    t.InclText = c.inclText;
    const auto message = t.BuildMessage(*reported);
    EXPECT_EQ(message->Subject, c.subject);
    EXPECT_EQ(message->Headers.Lines(), std::vector<std::string>{"Subject: " + c.subject});
    EXPECT_EQ(message->Body, c.body);
    EXPECT_TRUE(message->From.empty());
    EXPECT_TRUE(message->Cc.empty());
    EXPECT_TRUE(message->To.empty());
  }
  t.Sender = "Desk <desk@%EMAIL>";
  t.Cc = "boss@example.com, other@example.com";
  const auto message = t.BuildMessage(*reported);
  EXPECT_EQ(message->From, t.Sender);
  EXPECT_EQ(message->Cc, std::vector<std::string>{t.Cc});
}

TEST_F(TemplatesTest, EachPlaceholderReplacesOnlyItsFirstOccurrenceInEachLine) {
  const std::vector<TMacro> macros = {{"%DATETIME", "Mon, 5 Jan 2004 22:20:00 +0100"},
                                      {"%EMAIL", "me@example.com"},
                                      {"%POP3", "pop.example.com"}};
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"To %EMAIL and %email", "To me@example.com and %email"},
      {"To %email and %EMAIL", "To me@example.com and %EMAIL"},
      {"%eMaIl", "me@example.com"},
      {"%pop3 on %DateTime for %Email",
       "pop.example.com on Mon, 5 Jan 2004 22:20:00 +0100 for "
       "me@example.com"},
      {"no placeholder, 100% sure", "no placeholder, 100% sure"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ExpandMacroText(c.text, macros), c.expected) << c.text;

  test::TManualClock clock;
  const std::vector<TMacro> standard = StandardMacros("me@example.com");
  ASSERT_EQ(standard.size(), 2u);
  EXPECT_EQ(standard[0].Name, "%DATETIME");
  EXPECT_EQ(standard[0].Value, FormatMessageDate(clock.Now()));
  EXPECT_EQ(standard[1].Name, "%EMAIL");
  EXPECT_EQ(standard[1].Value, "me@example.com");
}

TEST_F(TemplatesTest, ShippedTemplatesInstallAndLoadAsTheDefaults) {
  ASSERT_TRUE(InstallDataFiles());
  const TSettings defaults;
  TTemplates templates;
  templates.Reload();
  for (const std::string& name :
       {defaults.UserComplaint, defaults.AdminComplaint, defaults.RemoveComplaint}) {
    SCOPED_TRACE(name);
    const std::string file = folder.File(name + ".txt");
    ASSERT_TRUE(test::FileExists(file));
    const std::string shipped =
        test::ReadFileText(TProgramFolders::DataFolder() + "Complaints/" + name + ".txt");
    EXPECT_EQ(test::ReadFileText(file), shipped);
    const TTemplate* t = templates.Find(name);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->Name, name);
    EXPECT_EQ(t->Version, CurrentTemplateVersion);
    EXPECT_EQ(t->FileText(), shipped) << "shipped in the current format as written";
    EXPECT_FALSE(t->Subject.empty());
    EXPECT_TRUE(std::any_of(t->Lines.begin(), t->Lines.end(), [](const std::string& line) {
      return line.find("%EMAIL") != std::string::npos;
    }));
  }
  EXPECT_TRUE(templates.Find(defaults.AdminComplaint)->InclHeaders);
  EXPECT_TRUE(templates.Find(defaults.RemoveComplaint)->InclHeaders);
  EXPECT_TRUE(templates.Find(defaults.RemoveComplaint)->InclText);
}

}  // namespace
}  // namespace tarnwell
