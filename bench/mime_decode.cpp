// Decoding speed of the MIME decoder on a generated 10 MB multipart message (plain, quoted-
// printable HTML and base64 parts), and its time on inputs built to make a careless decoder
// slow: deep nesting, many boundary lengths, one huge quoted-printable line, many encoded words,
// a long boundary.
#include <sys/resource.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "message/Base64.h"
#include "message/Headers.h"
#include "message/MIME.h"

namespace {

using tarnwell::TDeMIME;
using tarnwell::THeaders;
using TLines = std::vector<std::string>;

struct TInput {
  std::string name;
  THeaders headers;
  TLines body;
};

size_t SizeOf(const TInput& input) {
  size_t size = input.headers.Text().size() + 2;
  for (const std::string& line : input.body) size += line.size() + 2;
  return size;
}

std::string Words(size_t count, size_t seed) {
  static const char* const kWords[] = {"offer", "limited",  "time",        "free",
                                       "click", "here",     "unsubscribe", "meeting",
                                       "notes", "attached", "report"};
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) text += ' ';
    text += kWords[(seed + i * 7) % (sizeof kWords / sizeof kWords[0])];
  }
  return text;
}

void AddPart(TLines& body, int kind, size_t bytes, size_t seed) {
  body.push_back("--=_bench_boundary_42");
  switch (kind) {
    case 0: {
      body.push_back("Content-Type: text/plain; charset=us-ascii");
      body.push_back("");
      for (size_t n = 0; n < bytes; seed += 3) {
        body.push_back(Words(12, seed));
        n += body.back().size() + 2;
      }
      break;
    }
    case 1: {
      body.push_back("Content-Type: text/html; charset=iso-8859-1");
      body.push_back("Content-Transfer-Encoding: quoted-printable");
      body.push_back("");
      for (size_t n = 0; n < bytes; seed += 5) {
        std::string line = "<p class=3D\"x\">" + Words(6, seed) + " caf=E9 &amp; <b>cr=E8me</b>";
        body.push_back(line.substr(0, 40) + "=");
        body.push_back(line.substr(40) + "</p>");
        n += line.size() + 8;
      }
      break;
    }
    default: {
      body.push_back(kind == 2 ? "Content-Type: application/pdf; name=\"r.pdf\""
                               : "Content-Type: text/plain; charset=us-ascii");
      body.push_back("Content-Transfer-Encoding: base64");
      body.push_back("");
      std::string raw;
      while (raw.size() * 4 / 3 < bytes) raw += Words(10, seed++) + "\r\n";
      const std::string encoded = tarnwell::TBase64::Encode(raw);
      for (size_t i = 0; i < encoded.size(); i += 76) body.push_back(encoded.substr(i, 76));
    }
  }
}

TInput LargeMultipart() {
  TInput input{"10 MB multipart/mixed, 90 parts", {}, {}};
  input.headers.Add("From: bench@example.com");
  input.headers.Add("Subject: =?ISO-8859-1?Q?Caf=E9?=");
  input.headers.Add("MIME-Version: 1.0");
  input.headers.Add("Content-Type: multipart/mixed; boundary=\"=_bench_boundary_42\"");
  const size_t partBytes = 10 * 1024 * 1024 / 90;
  for (int part = 0; part < 90; ++part) AddPart(input.body, part % 4, partBytes, part * 131);
  input.body.push_back("--=_bench_boundary_42--");
  return input;
}

TInput DeepNesting(int levels) {
  TInput input{std::to_string(levels) + " nested multiparts", {}, {}};
  input.headers.Add("Content-Type: multipart/mixed; boundary=\"n0.\"");
  for (int i = 1; i <= levels; ++i) {
    input.body.push_back("--n" + std::to_string(i - 1) + ".");
    input.body.push_back("Content-Type: multipart/mixed; boundary=\"n" + std::to_string(i) + ".\"");
    input.body.push_back("");
  }
  input.body.push_back("--n" + std::to_string(levels) + ".");
  input.body.push_back("");
  input.body.push_back("deep text");
  for (int i = levels; i >= 0; --i) input.body.push_back("--n" + std::to_string(i) + ".--");
  return input;
}

// Nested bodies whose boundaries all differ in length, around lines full of "--" that hold none
// of them: a decoder that compares each "--" with every marker, or every marker length, slows
// down with the depth.
TInput ManyBoundaryLengths(int levels, size_t bytes) {
  TInput input{std::to_string(levels) + " nested boundary lengths, \"--\" lines", {}, {}};
  const auto boundary = [](int level) { return "b" + std::string(level, 'x') + "."; };
  input.headers.Add("Content-Type: multipart/mixed; boundary=\"" + boundary(0) + "\"");
  for (int i = 1; i <= levels; ++i) {
    input.body.push_back("--" + boundary(i - 1));
    input.body.push_back("Content-Type: multipart/mixed; boundary=\"" + boundary(i) + "\"");
    input.body.push_back("");
  }
  input.body.push_back("--" + boundary(levels));
  input.body.push_back("");
  std::string dashes;
  while (dashes.size() < 1000) dashes += "--y";
  for (size_t n = 0; n < bytes; n += dashes.size() + 2) input.body.push_back(dashes);
  for (int i = levels; i >= 0; --i) input.body.push_back("--" + boundary(i) + "--");
  return input;
}

TInput SingleLineQuotedPrintable(bool html) {
  TInput input{
      html ? "10 MB single-line quoted-printable HTML" : "10 MB single-line quoted-printable text",
      {},
      {}};
  input.headers.Add(html ? "Content-Type: text/html" : "Content-Type: text/plain");
  input.headers.Add("Content-Transfer-Encoding: quoted-printable");
  std::string line;
  line.reserve(10 * 1024 * 1024 + 64);
  while (line.size() < 10 * 1024 * 1024) line += "word =3D <b>x</b> &eacute; caf=E9 ";
  input.body.push_back(std::move(line));
  return input;
}

TInput ManyEncodedWords() {
  TInput input{"1 MB Subject of 100,000 encoded words", {}, {}};
  std::string subject = "Subject:";
  while (subject.size() < 1024 * 1024) subject += " =?a?Q?x=E9?=";
  input.headers.Add(subject);
  input.body.push_back("text");
  return input;
}

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// Each word holds the next one, Q-encoded once more at every level: its "=" before two hex
// digits as "=3D" and its "?" before "=" as "=3F".
TInput NestedEncodedWords() {
  TInput input{"", {}, {}};
  std::string word = "x";
  int levels = 0;
  while (word.size() < 1024 * 1024) {
    std::string escaped;
    for (size_t i = 0; i < word.size(); ++i) {
      const bool hexAfter = i + 2 < word.size() && IsHex(word[i + 1]) && IsHex(word[i + 2]);
      if (word[i] == '=' && hexAfter) {
        escaped += "=3D";
      } else if (word[i] == '?' && i + 1 < word.size() && word[i + 1] == '=') {
        escaped += "=3F";
      } else {
        escaped += word[i];
      }
    }
    word = "=?a?Q?" + escaped + "?=";
    ++levels;
  }
  input.name = "1 MB Subject of " + std::to_string(levels) + " nested encoded words";
  input.headers.Add("Subject: " + word);
  input.body.push_back("text");
  return input;
}

TInput LongBoundary() {
  TInput input{"10 MB of lines close to a 4,000-byte boundary", {}, {}};
  const std::string boundary(4000, 'a');
  input.headers.Add("Content-Type: multipart/mixed; boundary=\"" + boundary + "b\"");
  input.body.push_back("--" + boundary + "b");
  input.body.push_back("");
  for (size_t n = 0; n < 10 * 1024 * 1024; n += 8002)
    input.body.push_back("--" + boundary + boundary);
  return input;
}

double DecodeSeconds(const TInput& input, bool convertHtml, size_t& lines) {
  double best = 1e30;
  for (int run = 0; run < 3; ++run) {
    THeaders headers = input.headers;
    TLines body = input.body;
    TDeMIME decoder;
    decoder.SetConvertHtml(convertHtml);
    const auto start = std::chrono::steady_clock::now();
    decoder.DecodePart(headers, body);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
    lines = body.size();
  }
  return best;
}

void Report(const TInput& input) {
  const double mb = static_cast<double>(SizeOf(input)) / (1024 * 1024);
  for (const bool convertHtml : {true, false}) {
    size_t lines = 0;
    const double seconds = DecodeSeconds(input, convertHtml, lines);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%-44s %-10s %6.2f MB %8.1f ms %7.1f MB/s %8zu lines, peak RSS %5ld MB\n",
                input.name.c_str(), convertHtml ? "html->text" : "html kept", mb, seconds * 1000,
                mb / seconds, lines, usage.ru_maxrss / 1024);
  }
}

}  // namespace

int main() {
  Report(DeepNesting(10000));
  Report(DeepNesting(100000));
  Report(ManyBoundaryLengths(300, 1024 * 1024));
  Report(LargeMultipart());
  Report(SingleLineQuotedPrintable(false));
  Report(SingleLineQuotedPrintable(true));
  Report(ManyEncodedWords());
  Report(NestedEncodedWords());
  Report(LongBoundary());
  return 0;
}
