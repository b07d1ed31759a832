// The wording of what the command line says about checks: the line per account, the error lines
// with their advice, and the progress drawn on a terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "accounts/AccountList.h"
#include "program/CheckReport.h"
#include "transport/POP3Account.h"

namespace tarnwell {
namespace {

TEST(CheckReportTest, LineCountsWhatTheCheckFound) {
  TPOP3Account account;
  account.Description = "Home";
  account.NewCount = 5;
  account.FriendlyCount = 1;
  account.PossibleCount = 2;
  account.SpamCount = 3;
  account.KilledCount = 2;
  account.SentCount = 1;
  EXPECT_EQ(CheckReportLine(account, 0),
            "Account \"Home\": 5 new, 1 from friends, 2 possible spam, 2 killed, 1 complaint "
            "sent, 0 errors");
  account.SentCount = 4;
  EXPECT_EQ(CheckReportLine(account, 1),
            "Account \"Home\": 5 new, 1 from friends, 2 possible spam, 2 killed, 4 complaints "
            "sent, 1 error");
}

TServerPlace Place(const std::string& role, const std::string& host, int port,
                   TTlsFault tls = TTlsFault::None, const std::string& fingerprint = "") {
  TServerPlace place;
  place.Role = role;
  place.Host = host;
  place.Port = port;
  place.Tls = tls;
  place.Fingerprint = fingerprint;
  return place;
}

struct TErrorCase {
  const char* name;
  TBatchError error;
  std::string line;
};

// Test names and failures show the case by its name, not as bytes.
void PrintTo(const TErrorCase& errorCase, std::ostream* out) { *out << errorCase.name; }

class CheckErrorLineTest : public ::testing::TestWithParam<TErrorCase> {};

TEST_P(CheckErrorLineTest, NamesTheAccountAndTheServerAndAdvises) {
  EXPECT_EQ(CheckErrorLine(GetParam().error, "tarnwell --home /tmp/x"), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, CheckErrorLineTest,
    ::testing::Values(
        TErrorCase{"Refused",
                   {1, "Home", "Connection refused", Place("POP3", "localhost", 995), 0},
                   "Account \"Home\": POP3 server localhost:995: Connection refused."},
        TErrorCase{"NotAtAServer",
                   {1, "Home", "Killed Mail could not be written to the disk.", {}, 0},
                   "Account \"Home\": Killed Mail could not be written to the disk."},
        TErrorCase{"IPv6AndLinesJoined",
                   {1, "Home",
                    "The user name or password is incorrect, or another program is reading "
                    "e-mail.\r (-ERR [AUTH] Authentication failed.)",
                    Place("POP3", "::1", 110), 0},
                   "Account \"Home\": POP3 server [::1]:110: The user name or password is "
                   "incorrect, or another program is reading e-mail. (-ERR [AUTH] "
                   "Authentication failed.)"},
        TErrorCase{"PlainPop3OnATlsPort",
                   {1, "Home", "The operation timed out.",
                    Place("POP3", "pop.example.com", 995, TTlsFault::NotTls), 0},
                   "Account \"Home\": POP3 server pop.example.com:995: The operation timed out. "
                   "The server does not seem to speak TLS on this port. If it takes plain POP3 "
                   "there and offers STLS: tarnwell --home /tmp/x accounts set Home "
                   "--pop3-security starttls (or none, which sends everything unprotected)."},
        TErrorCase{"PlainSmtpOnATlsPort",
                   {1, "Home",
                    "The secure connection to smtp.example.com failed: wrong version "
                    "number.",
                    Place("SMTP", "smtp.example.com", 465, TTlsFault::NotTls), 0},
                   "Account \"Home\": SMTP server smtp.example.com:465: The secure connection to "
                   "smtp.example.com failed: wrong version number. The server does not seem to "
                   "speak TLS on this port. If it takes plain SMTP there and offers STARTTLS: "
                   "tarnwell --home /tmp/x accounts set Home --smtp-security starttls (or none, "
                   "which sends everything unprotected)."},
        TErrorCase{"CertificateToPin",
                   {2, "My Home",
                    "The certificate of localhost was refused: self-signed certificate. Its "
                    "SHA-256 fingerprint is 93:3D:0A.",
                    Place("SMTP", "localhost", 465, TTlsFault::Certificate, "93:3D:0A"), 0},
                   "Account \"My Home\": SMTP server localhost:465: The certificate of localhost "
                   "was refused: self-signed certificate. Its SHA-256 fingerprint is 93:3D:0A. "
                   "If you trust this certificate, pin it: tarnwell --home /tmp/x accounts set "
                   "'My Home' --pin-smtp 93:3D:0A"},
        TErrorCase{"CertificateWithoutFingerprint",
                   {1, "Home", "The certificate of localhost is not the pinned one.",
                    Place("POP3", "localhost", 995, TTlsFault::Certificate), 0},
                   "Account \"Home\": POP3 server localhost:995: The certificate of localhost is "
                   "not the pinned one."},
        TErrorCase{"OneComplaintLost",
                   {1, "Home", "Connection refused", Place("SMTP", "127.0.0.1", 25), 1},
                   "Account \"Home\": SMTP server 127.0.0.1:25: Connection refused. 1 complaint "
                   "was not sent and will not be sent later."},
        TErrorCase{
            "ComplaintsLost",
            {1, "Home", "Mail transaction failed. 554 no", Place("SMTP", "127.0.0.1", 25), 3},
            "Account \"Home\": SMTP server 127.0.0.1:25: Mail transaction failed. 554 "
            "no. 3 complaints were not sent and will not be sent later."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CheckReportTest, ShellWordsComeBackAsTheyWere) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Home", "Home"},           {"/tmp/tarnwell-1/", "/tmp/tarnwell-1/"},
      {"My Home", "'My Home'"},   {"Pat's", "'Pat'\\''s'"},
      {"$HOME;rm", "'$HOME;rm'"}, {"", "''"},
  };
  for (const auto& [word, shown] : cases) EXPECT_EQ(ShellWord(word), shown) << word;
}

// A step is drawn at its start, then at most a hundred times however many messages it has, the
// last time at its end.
TEST(CheckReportTest, ProgressIsDrawnAHundredTimesAStepAtMost) {
  struct TStep {
    int total;
    int messages;
    int draws;
    const char* last;
  };
  for (const TStep step : {TStep{1000, 1000, 100, "Home: Filtering messages... 1000 of 1000"},
                           TStep{250, 250, 84, "Home: Filtering messages... 250 of 250"},
                           TStep{5, 5, 5, "Home: Filtering messages... 5 of 5"},
                           TStep{0, 250, 2, "Home: Filtering messages... 250"},
                           TStep{3, 4, 4, "Home: Filtering messages... 4"}}) {
    SCOPED_TRACE(step.total);
    TProgressLine progress;
    progress.Start("Home", "Filtering messages...", step.total);
    EXPECT_EQ(progress.Text(), std::string("Home: Filtering messages... 0") +
                                   (step.total > 0 ? " of " + std::to_string(step.total) : ""));
    int draws = 0;
    for (int i = 0; i < step.messages; ++i)
      if (progress.Advance()) ++draws;
    EXPECT_EQ(draws, step.draws);
    EXPECT_EQ(progress.Text(), step.last);
  }
}

}  // namespace
}  // namespace tarnwell
