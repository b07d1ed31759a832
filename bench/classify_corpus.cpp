// Generates a corpus of messages and filter lists, and measures classification.
//
//   classify_corpus corpus DIR COUNT        writes COUNT message files into DIR
//   classify_corpus filters HOME COUNT      writes HOME/Filters.dat with COUNT filters
//   classify_corpus run HOME DIR            classifies every file of DIR in this process
//
// Messages are 1-200 KB (log-uniform, so most are small, as real mail is), a quarter carry an
// HTML or a base64 part, and about half are spam made from the words the filters look for.
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "filtering/Countries.h"
#include "filtering/DataFiles.h"
#include "filtering/FilterList.h"
#include "message/Base64.h"
#include "message/DomainLists.h"
#include "message/Emails.h"
#include "message/MessageText.h"
#include "platform/Files.h"
#include "shell/ProgramFolders.h"

using namespace tarnwell;

namespace {

const char* const kWords[] = {
    "the",     "meeting", "project",  "report",  "tomorrow", "please", "review", "attached",
    "thanks",  "budget",  "schedule", "team",    "update",   "lunch",  "client", "draft",
    "weekend", "family",  "photos",   "invoice", "question", "office", "travel", "plans",
    "about",   "would",   "could",    "should",  "there",    "their",  "which",  "because"};
const char* const kSpamWords[] = {
    "viagra",   "casino",   "lottery", "winner",    "mortgage", "refinance", "pharmacy",
    "discount", "replica",  "watches", "unclaimed", "prize",    "bitcoin",   "investment",
    "loan",     "approved", "credit",  "cialis",    "diet",     "weight",    "inheritance"};
const char* const kSpamDomains[] = {"cheap-meds.biz", "bestprice.info", "win-now.top",
                                    "deals4u.cn",     "offers.ru",      "lucky.casino"};
const char* const kHamDomains[] = {"example.com", "work.org", "family.net", "school.edu"};

std::mt19937 rng(20261210);

template <typename T, size_t N>
const char* Pick(const T (&list)[N]) {
  return list[rng() % N];
}

std::string Words(size_t bytes, bool spam) {
  std::string text;
  size_t column = 0;
  while (text.size() < bytes) {
    const char* word = spam && rng() % 6 == 0 ? Pick(kSpamWords) : Pick(kWords);
    text += word;
    column += std::char_traits<char>::length(word) + 1;
    if (column > 72) {
      text += "\r\n";
      column = 0;
    } else {
      text += ' ';
    }
  }
  return text + "\r\n";
}

std::string QuotedPrintableHtml(const std::string& words) {
  std::string html = "<html><body><p style=\"color: red\">" + words + "</p></body></html>";
  std::string out;
  size_t column = 0;
  for (const char c : html) {
    if (c == '\r' || c == '\n') {
      out += c;
      column = 0;
      continue;
    }
    if (c == '=') {
      out += "=3D";
      column += 3;
    } else {
      out += c;
      ++column;
    }
    if (column >= 74) {
      out += "=\r\n";
      column = 0;
    }
  }
  return out;
}

std::string Base64Lines(const std::string& bytes) {
  const std::string encoded = TBase64::Encode(bytes);
  std::string out;
  for (size_t i = 0; i < encoded.size(); i += 76) out += encoded.substr(i, 76) + "\r\n";
  return out;
}

std::string MakeMessage(int n) {
  const bool spam = rng() % 2 == 0;
  // Log-uniform between 1 KB and 200 KB.
  const double kb = std::exp(std::uniform_real_distribution<double>(0, std::log(200.0))(rng));
  const size_t size = static_cast<size_t>(kb * 1024);
  const std::string domain = spam ? Pick(kSpamDomains) : Pick(kHamDomains);
  std::string m;
  m += "Received: from mail" + std::to_string(rng() % 100) + "." + domain + " ([10." +
       std::to_string(rng() % 256) + ".1.2]) by mx.home.net with ESMTP id x" + std::to_string(n) +
       "\r\n";
  m += "Received: from relay.isp.net (relay.isp.net [192.0.2.7]) by mail." + domain + "\r\n";
  m += "From: " + std::string(spam ? "Best Offers" : "A Friend") + " <sender" +
       std::to_string(rng() % 50) + "@" + domain + ">\r\n";
  m += "To: me@home.net\r\n";
  if (spam && rng() % 3 == 0) m += "Reply-To: replies@" + std::string(Pick(kSpamDomains)) + "\r\n";
  m += "Subject: " + std::string(spam ? Pick(kSpamWords) : Pick(kWords)) + " " + Pick(kWords) +
       " " + std::to_string(n) + "\r\n";
  m += "Date: Thu, 10 Dec 2026 10:" + std::to_string(10 + rng() % 50) + ":00 +0000\r\n";
  m += "Message-Id: <" + std::to_string(n) + "." + std::to_string(rng()) + "@" + domain + ">\r\n";
  if (spam && rng() % 4 == 0) m += "X-Mailer: BulkMailer Pro 5.1\r\n";
  const int shape = static_cast<int>(rng() % 8);  // 0 and 1: HTML or base64 parts
  if (shape == 0) {
    m += "MIME-Version: 1.0\r\nContent-Type: multipart/alternative; boundary=\"b1\"\r\n\r\n";
    const std::string words = Words(size / 2, spam);
    m += "--b1\r\nContent-Type: text/plain\r\n\r\n" + words;
    m += "--b1\r\nContent-Type: text/html\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n" +
         QuotedPrintableHtml(words) + "\r\n--b1--\r\n";
  } else if (shape == 1) {
    m += "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b2\"\r\n\r\n";
    m += "--b2\r\nContent-Type: text/plain\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
         Base64Lines(Words(size / 3, spam));
    std::string binary(size / 2, '\0');
    for (char& c : binary) c = static_cast<char>(rng());
    m += "--b2\r\nContent-Type: application/pdf; name=\"a.pdf\"\r\n"
         "Content-Transfer-Encoding: base64\r\n\r\n" +
         Base64Lines(binary) + "--b2--\r\n";
  } else {
    m += "\r\n" + Words(size, spam);
  }
  return m;
}

std::unique_ptr<TFilter> MakeFilter(int i) {
  const int kind = static_cast<int>(rng() % 10);
  // 30% text filters, the rest spread over the other kinds.
  if (kind < 3) {
    auto f = std::make_unique<TTextFilter>();
    f->SetText1(i % 3 == 0 ? std::string(Pick(kSpamWords)) + std::to_string(i)
                           : std::string(Pick(kSpamWords)) +
                                 (i % 2 ? "" : " " + std::string(Pick(kWords))));
    f->Condition1 = i % 4 == 0 ? cnContains : cnContainsWord;
    f->CaseMatters = i % 10 == 0;
    return f;
  }
  if (kind < 5) {
    auto f = std::make_unique<TSubjectFilter>();
    f->SetText1(std::string(Pick(kSpamWords)) + (i % 2 ? std::to_string(i) : ""));
    return f;
  }
  if (kind < 7) {
    auto f = std::make_unique<TSenderFilter>();
    f->SetText2(i % 5 == 0 ? std::string(Pick(kSpamDomains))
                           : "spammer" + std::to_string(i) + ".com");
    return f;
  }
  if (kind < 9) {
    auto f = std::make_unique<THeaderFilter>();
    f->SetText1(i % 2 ? "X-Mailer" : "Subject");
    f->SetText2(i % 2 ? "BulkMailer" + std::to_string(i % 7) : "free" + std::to_string(i));
    return f;
  }
  auto f = std::make_unique<TFriendFilter>();
  f->SetText1("sender" + std::to_string(i % 50));
  f->SetText2(i % 3 == 0 ? Pick(kHamDomains) : "friends" + std::to_string(i) + ".org");
  return f;
}

long PeakMemoryKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: classify_corpus corpus DIR COUNT | filters HOME COUNT | run HOME DIR\n");
    return 2;
  }
  const std::string mode = argv[1];
  if (mode == "corpus") {
    const std::string dir = IncludeTrailingSlash(argv[2]);
    ForceDirectories(dir);
    const int count = std::atoi(argv[3]);
    size_t bytes = 0;
    for (int n = 1; n <= count; ++n) {
      const std::string text = MakeMessage(n);
      bytes += text.size();
      char name[32];
      std::snprintf(name, sizeof name, "%06d.eml", n);
      WriteFileAtomic(dir + name, text, TDurability::NoSync);
    }
    std::printf("%d messages, %.1f MB\n", count, bytes / 1048576.0);
    return 0;
  }
  TProgramFolders::SetProgramFolder(argv[2]);
  InstallDataFiles();
  LoadDomainLists(TProgramFolders::ProgramFolder());
  const std::string filterFile = TProgramFolders::ProgramFolder() + "Filters.dat";
  if (mode == "filters") {
    DeleteFileAt(filterFile);
    TFilterList list(filterFile);
    list.Load(true);
    const int count = std::atoi(argv[3]);
    for (int i = 0; i < count; ++i) {
      auto filter = MakeFilter(i);
      filter->Origin = orUser;
      list.Add(std::move(filter));
    }
    // Two blocked countries, so that the country filter has work to do.
    list.SetCountryBlocked(list.Countries()->IndexOfCode("cn"), true);
    list.SetCountryBlocked(list.Countries()->IndexOfCode("ru"), true);
    list.Save();
    std::printf("%d filters written\n", list.Count());
    return 0;
  }
  if (mode != "run") return 2;
  TFilterList list(filterFile);
  list.Load(true);
  const std::string dir = IncludeTrailingSlash(argv[3]);
  const std::vector<std::string> files = ListFiles(dir, ".eml");
  int counts[6] = {};
  size_t bytes = 0;
  const auto start = std::chrono::steady_clock::now();
  std::string text;
  std::vector<std::string> lines, spare;  // reused from message to message, as the command does
  for (const std::string& name : files) {
    if (!ReadWholeFile(dir + name, text)) continue;
    bytes += text.size();
    TEmail email;
    email.Body = std::move(lines);
    ParseMessageText(text, email, &spare);
    ++counts[list.Classify(email).Status % 6];
    lines = std::move(email.Body);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%zu messages (%.1f MB) against %d filters: %.2f s, %.0f messages/s, %.1f MB/s\n",
              files.size(), bytes / 1048576.0, list.Count(), seconds, files.size() / seconds,
              bytes / 1048576.0 / seconds);
  std::printf("checked %d, possible spam %d, spam %d, bounce %d, friend %d; peak memory %.1f MB\n",
              counts[1], counts[2], counts[3], counts[4], counts[5], PeakMemoryKb() / 1024.0);
  return 0;
}
