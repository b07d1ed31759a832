#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "message/Base64.h"
#include "message/MIME.h"
#include "message/QStrings.h"
#include "tests/support/TestSupport.h"

namespace tarnwell {
namespace {

using TLines = std::vector<std::string>;

struct TMessage {
  THeaders headers;
  TLines body;
};

// Splits a message at its first empty line; the header lines are unfolded as the accounts do.
TMessage ParseMessage(std::string_view text) {
  TLines lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(start, end - start));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  TMessage message;
  size_t blank = 0;
  while (blank < lines.size() && !lines[blank].empty()) ++blank;
  TLines header(lines.begin(), lines.begin() + blank);
  UnfoldLines(header);
  message.headers.AddStrings(header);
  if (blank < lines.size()) message.body.assign(lines.begin() + blank + 1, lines.end());
  return message;
}

std::string FixtureText(const std::string& name) {
  const char* root = std::getenv("TARNWELL_TEST_DATA");
  return test::ReadFileText(std::string(root ? root : "tests/fixtures") + "/message/mime/" + name);
}

TEST(MimeTest, IsMimeNeedsContentTypeOrMimeVersion) {
  struct TCase {
    TLines headers;
    bool mime;
  };
  const TCase cases[] = {
      {{"From: a@example.com", "Subject: plain"}, false},
      {{"content-type: text/plain"}, true},
      {{"MIME-Version: 1.0"}, true},
      {{"Content-Type : text/plain", "X-MIME-Version: 1.0"}, false},
  };
  for (const TCase& c : cases) {
    THeaders headers;
    headers.AddStrings(c.headers);
    EXPECT_EQ(TDeMIME::IsMime(headers), c.mime) << c.headers[0];
  }
}

TEST(MimeTest, DecodeHeadersDecodesEncodedWordsAndRewritesEachLine) {
  struct TCase {
    std::string line;
    std::string decoded;
  };
  const TCase cases[] = {
      {"Subject: =?ISO-8859-1?Q?Caf=E9_cr=E8me?=", "Subject: Caf\xE9 cr\xE8me"},
      {"Subject: =?koi8-r?Q?=E9?= whatever the charset", "Subject: \xE9 whatever the charset"},
      {"Subject: Re: =?utf-8?b?SGVsbG8=?= world", "Subject: Re: Hello world"},
      {"Subject: =?a?B?SGk?=", "Subject: Hi"},
      {"Subject: =?a?q?x?= =?a?Q?y?=", "Subject: x y"},
      {"Subject: =??Q?no_charset?=", "Subject: no charset"},
      {"Subject: =?a?Q?what?_really=3F?=", "Subject: what? really?"},
      // The first word that cannot be decoded ends the decoding.
      {"Subject: =?a?X?abc?= =?a?Q?y?=", "Subject: =?a?X?abc?= =?a?Q?y?="},
      {"Subject: =?a?Q?ok?= =?a?Q?runs off", "Subject: ok =?a?Q?runs off"},
      {"Subject: =?a?B?SGk", "Subject: =?a?B?SGk"},
      // Decoded bytes are read again.
      {"Subject: =?a?Q?=3D?=?a?Q?x?=", "Subject: x"},
      // A decoded line break must not split the header line.
      {"X-Note: =?a?Q?one=0D=0AX-Spam:_no?=", "X-Note: one  X-Spam: no"},
      {"Subject:   plain  ", "Subject: plain"},
      {"From mbox line without a colon", "From mbox line without a colon"},
  };
  for (const TCase& c : cases) {
    THeaders headers;
    headers.Add(c.line);
    TDeMIME decoder;
    EXPECT_TRUE(decoder.DecodeHeaders(headers)) << c.line;
    EXPECT_EQ(headers[0], c.decoded) << c.line;
  }
}

// An encoded word holding the next one, `levels` deep around "x".
std::string NestedWords(int levels) {
  const auto isHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
  std::string word = "x";
  for (int level = 0; level < levels; ++level) {
    std::string escaped;
    for (size_t i = 0; i < word.size(); ++i) {
      if (word[i] == '=' && i + 2 < word.size() && isHex(word[i + 1]) && isHex(word[i + 2])) {
        escaped += "=3D";
      } else if (word[i] == '?' && i + 1 < word.size() && word[i + 1] == '=') {
        escaped += "=3F";
      } else {
        escaped += word[i];
      }
    }
    word = "=?a?Q?" + escaped + "?=";
  }
  return word;
}

TEST(MimeTest, WordsInsideWordsAreDecodedUpToALimit) {
  TDeMIME decoder;
  THeaders shallow;
  shallow.Add("Subject: " + NestedWords(3));
  EXPECT_TRUE(decoder.DecodeHeaders(shallow));
  EXPECT_EQ(shallow[0], "Subject: x");

  // Decoding each level again would cost the square of the length.
  const std::string deep = NestedWords(60);
  THeaders headers;
  headers.Add("Subject: " + deep);
  EXPECT_TRUE(decoder.DecodeHeaders(headers));
  EXPECT_EQ(headers[0].rfind("Subject: =?a?Q?", 0), 0u);
  EXPECT_LT(headers[0].size(), deep.size());
}

TEST(MimeTest, DecodePartByContentType) {
  struct TCase {
    std::string name;
    std::string message;
    TLines body;
    bool ok = true;
  };
  const TCase cases[] = {
      {"no header is plain text",
       "Subject: s\n\nline one  \nline two\t\n",
       {"line one", "line two"}},
      {"a type without a slash is plain text",
       "Content-Type: text\nContent-Transfer-Encoding: quoted-printable\n\na=3Db\n",
       {"a=b"}},
      {"quoted-printable html leaves no fragment of a split tag",
       "Content-Type: text/html\nContent-Transfer-Encoding: quoted-printable\n\n"
       "<p>Cheap <fo=\nnt color=3D\"red\">pills</font> <a href=3D\"http://x.example/\">here</a>"
       "</p>\n",
       {"", "Cheap pills here"}},
      {"alternative keeps only the first part",
       "Content-Type: multipart/alternative; boundary=\"alt\"\n\n--alt\n"
       "Content-Type: text/plain\n\nPlain text\n--alt\nContent-Type: text/html\n\n"
       "<p>HTML text</p>\n--alt--\n",
       {"Plain text"}},
      {"mixed with a pdf gives the text and a placeholder",
       "Content-Type: multipart/mixed; boundary=mix\n\n--mix\nContent-Type: text/plain\n\n"
       "See attached.\n--mix\nContent-Type: application/pdf; name=\"a.pdf\"\n"
       "Content-Transfer-Encoding: base64\n\nJVBERi0xLjQK\n--mix--\n",
       {"See attached.", "(Attachment) "}},
      {"an embedded message keeps its headers",
       "Content-Type: message/rfc822\n\nFrom: Ann <ann@example.com>\nSubject: =?x?Q?Hi_there?=\n"
       " folded\n\nBody =3D raw\n",
       {"From: Ann <ann@example.com>", "Subject: Hi there folded", "", "Body =3D raw"}},
      {"other message subtypes stay as they are",
       "Content-Type: message/delivery-status\n\nReporting-MTA: dns; mx.example.org\n",
       {"Reporting-MTA: dns; mx.example.org"}},
      {"two paragraphs", "Content-Type: text/html\n\na<p>b<p>\n", {"a", "", "b", ""}},
      {"html blocks, head, images and cells",
       "Content-Type: text/html\n\n<html><head><title>T</title></head><body>Hi<br>there"
       "<img src=x>pic<table><tr><td>a</td><td>b</td></tr></table></body></html>\n",
       {"Hi", "there", "(Image) pic", "", "a b", ""}},
      {"self-closing break and blanks",
       "Content-Type: text/html\n\n  one\t two <br/>three\nfour\n",
       {"one two", "three four"}},
      {"base64 html reads its own line breaks as line ends",
       "Content-Type: text/html\nContent-Transfer-Encoding: base64\n\n"
       "SGVsbG8NCldvcmxkPGJyPngNCg==\n",
       {"Hello World", "x"}},
      {"rich text",
       "Content-Type: text/richtext\n\nHello<nl>\nWorld\n<comment>hidden</comment>1 <lt> 2\n",
       {"Hello", "World 1 < 2 "}},
      {"enriched text",
       "Content-Type: text/enriched\n\n<bold>Now</bold> is\nthe time\n\n\n<param>x</param>end "
       "<<tag>\n",
       {"Now is the time ", "", "end <tag> "}},
      {"placeholders",
       "Content-Type: multipart/mixed; boundary=p\n\n--p\nContent-Type: image/gif\n\nR0lG\n"
       "--p\nContent-Type: audio/basic\n\nx\n--p\nContent-Type: video/mpeg\n\nx\n"
       "--p\nContent-Type: x-custom/thing\n\nx\n--p--\n",
       {"(Image) ", "(Audio clip) ", "(Video clip) ", "(Unknown message part) "}},
      {"an unsupported multipart subtype is left undecoded",
       "Content-Type: multipart/signed; boundary=s\n\n--s\nContent-Type: text/plain\n\n"
       "signed =3D\n--s--\n",
       {"--s", "Content-Type: text/plain", "", "signed =3D", "--s--"},
       false},
      {"a part without headers is plain text and a closing delimiter drops the epilogue",
       "Content-Type: multipart/mixed; boundary=e\n\npreamble\n--e\n\nbare part\n--e--\nepilogue\n",
       {"bare part"}},
      {"a delimiter line that only contains the marker keeps the lines before it",
       "Content-Type: multipart/mixed; boundary=q\n\nContent-Type: text/plain\n> --q\n\nquoted\n"
       "--q--\n",
       {"quoted"}},
      {"no delimiter at all makes the body one part",
       "Content-Type: multipart/mixed; boundary=none\n\nfirst paragraph\n\nsecond paragraph\n",
       {"second paragraph"}},
  };
  for (const TCase& c : cases) {
    TMessage message = ParseMessage(c.message);
    TDeMIME decoder;
    decoder.SetConvertHtml(true);
    EXPECT_EQ(decoder.DecodePart(message.headers, message.body), c.ok) << c.name;
    EXPECT_EQ(message.body, c.body) << c.name;
  }
}

TEST(MimeTest, HtmlEntities) {
  struct TCase {
    std::string html;
    std::string text;
  };
  const TCase cases[] = {
      {"a&nbsp;b", "ab"},
      {"a&lt;b", "ab"},
      {"&#233;", "\xE9"},
      {"&Eacute;", "\xC9"},
      {"x&EACUTE;y", "xy"},
      {"&amp;amp;", "&amp;"},
      {"&#0065;&#x41;", "A"},
      {"x&#8217;y", "xy"},
      {"&copy;&yuml;", "\xA9\xFF"},
      // The character after the name is taken as its end, whatever it is.
      {"AT&T rocks", "ATrocks"},
  };
  for (const TCase& c : cases) {
    TMessage message = ParseMessage("Content-Type: text/html\n\n" + c.html + "\n");
    TDeMIME decoder;
    decoder.SetConvertHtml(true);
    ASSERT_TRUE(decoder.DecodeBody(message.headers, message.body)) << c.html;
    EXPECT_EQ(message.body, TLines{c.text}) << c.html;
  }
  TMessage split = ParseMessage("Content-Type: text/html\n\n&Eac\nute;x\n");
  TDeMIME decoder;
  decoder.SetConvertHtml(true);
  decoder.DecodeBody(split.headers, split.body);
  EXPECT_EQ(split.body, TLines{"\xC9x"});
}

TEST(MimeTest, HtmlIsReportedAndKeptWithoutConversion) {
  TMessage message = ParseMessage(
      "Content-Type: multipart/mixed; boundary=h\n\n--h\nContent-Type: text/html\n"
      "Content-Transfer-Encoding: quoted-printable\n\n<p class=3D\"x\">Hi</p>\n--h--\n");
  TDeMIME decoder;
  EXPECT_FALSE(decoder.HtmlSeen());
  EXPECT_TRUE(decoder.DecodeBody(message.headers, message.body));
  EXPECT_TRUE(decoder.HtmlSeen());
  EXPECT_EQ(message.body, TLines{"<p class=\"x\">Hi</p>"});

  TMessage plain = ParseMessage("Content-Type: text/plain\n\nHi\n");
  decoder.SetHtmlSeen(false);
  decoder.DecodeBody(plain.headers, plain.body);
  EXPECT_FALSE(decoder.HtmlSeen());
}

TEST(MimeTest, Fixtures) {
  struct TCase {
    std::string file;
    TLines body;
    bool ok = true;
  };
  TLines hundred;
  for (int i = 1; i <= TMimeLimits::kMaxParts; ++i) hundred.push_back("Part " + std::to_string(i));
  const TCase cases[] = {
      {"nested-parts.eml",
       {"Plain first.", "From: Carl <carl@example.net>", "Subject: Forwarded",
        "Content-Type: multipart/mixed; boundary=\"fwd-3\"", "",
        "Forwarded text with a soft break.", "(Image) ", "(Attachment) "}},
      // Without a boundary the parts cannot be told apart; the text stays readable.
      {"missing-boundary.eml",
       {"------=_NextPart_000_0001", "Content-Type: text/plain", "", "Buy now.",
        "------=_NextPart_000_0001", "Content-Type: text/html", "", "<b>Buy</b> now!",
        "------=_NextPart_000_0001--"},
       false},
      {"quoted-boundary.eml", {"Caf\xE9 au lait costs 3=3 euros"}},
      {"base64-line-breaks.eml", {"Hello, base64 world!\r\nAnother line.\r\n"}},
      {"hundred-five-parts.eml", hundred},
  };
  for (const TCase& c : cases) {
    TMessage message = ParseMessage(FixtureText(c.file));
    TDeMIME decoder;
    decoder.SetConvertHtml(true);
    EXPECT_EQ(decoder.DecodePart(message.headers, message.body), c.ok) << c.file;
    EXPECT_EQ(message.body, c.body) << c.file;
  }
}

TEST(MimeTest, FixtureHeadersAreDecoded) {
  TMessage message = ParseMessage(FixtureText("nested-parts.eml"));
  TDeMIME decoder;
  ASSERT_TRUE(decoder.DecodePart(message.headers, message.body));
  EXPECT_EQ(message.headers.ValueOf("Subject"), "Nested parts");
  EXPECT_EQ(message.headers.ValueOf("Content-Type"), "multipart/mixed; boundary=\"outer-1\"");
  // Of the alternatives only the plain text was decoded.
  EXPECT_FALSE(decoder.HtmlSeen());
}

// Lines before the first delimiter are the first part's when the delimiter does not start its
// line, and are dropped, with whatever they held, when it does.
TEST(MimeTest, LinesBeforeTheFirstDelimiter) {
  struct TCase {
    std::string message;
    TLines body;
    bool htmlSeen;
  };
  const TCase cases[] = {
      {"Content-Type: multipart/mixed; boundary=a\n\nContent-Type: multipart/mixed; boundary=b\n\n"
       "--b\n\nin b\n x--a\nmore\n--b\n\nsecond b\n--a\nContent-Type: text/html\n\n<p>h</p>\n"
       "--a--\nepilogue\n",
       {"in b", "more", "second b", "", "h"},
       true},
      {"Content-Type: multipart/mixed; boundary=p\n\nContent-Type: text/html\n\n<p>pre</p>\n--p\n\n"
       "x\n--p--\n",
       {"x"},
       false},
      {"Content-Type: multipart/mixed; boundary=c\n\nContent-Type: text/html\n\n<p>pre</p>\n> "
       "--c--\n",
       {},
       false},
  };
  for (const TCase& c : cases) {
    TMessage message = ParseMessage(c.message);
    TDeMIME decoder;
    decoder.SetConvertHtml(true);
    EXPECT_TRUE(decoder.DecodeBody(message.headers, message.body)) << c.message;
    EXPECT_EQ(message.body, c.body) << c.message;
    EXPECT_EQ(decoder.HtmlSeen(), c.htmlSeen) << c.message;
  }
}

// A part as text (header lines, an empty line, the body) with the lines it decodes to.
struct TNestedPart {
  TLines headers;
  std::string body;
  TLines decoded;

  [[nodiscard]] std::string Text() const {
    std::string text;
    for (const std::string& header : headers) text += header + "\n";
    return text + "\n" + body;
  }
};

// Spam words a text filter looks for, which only decoding shows.
TNestedPart SpamText() {
  return {{"Content-Type: text/plain", "Content-Transfer-Encoding: base64"},
          "Y2hlYXAgcGlsbHM=\n",
          {"cheap pills"}};
}

// `inner` inside `levels` bodies: multipart/mixed ones, each with a text part of its own after
// it, or with `embedded`, every other one a message/rfc822 part whose headers are kept. Built
// from the outside in, so that each level costs only its own lines.
TNestedPart Nest(const TNestedPart& inner, int levels, bool embedded) {
  const auto isMessage = [embedded](int level) { return embedded && level % 2 == 1; };
  const auto headersOf = [&](int level) -> TLines {
    if (level == levels) return inner.headers;
    if (isMessage(level)) return {"Content-Type: message/rfc822"};
    return {"Content-Type: multipart/mixed; boundary=\"b" + std::to_string(level) + ".\""};
  };
  std::string opening;
  std::vector<std::string> closings;
  TLines before;
  TLines after;
  for (int level = 0; level < levels; ++level) {
    const std::string n = std::to_string(level);
    const TLines headers = headersOf(level + 1);
    if (isMessage(level)) {
      opening += "Subject: level " + n + "\n";
      before.push_back("Subject: level " + n);
      before.insert(before.end(), headers.begin(), headers.end());
      before.emplace_back();
    } else {
      opening += "--b" + n + ".\n";
      closings.push_back("--b" + n + ".\nContent-Type: text/plain\n\nafter " + n + "\n--b" + n +
                         ".--\n");
      after.push_back("after " + n);
    }
    for (const std::string& header : headers) opening += header + "\n";
    opening += "\n";
  }
  TNestedPart nested{headersOf(0), opening + inner.body, before};
  for (auto closing = closings.rbegin(); closing != closings.rend(); ++closing) {
    nested.body += *closing;
  }
  nested.decoded.insert(nested.decoded.end(), inner.decoded.begin(), inner.decoded.end());
  nested.decoded.insert(nested.decoded.end(), after.rbegin(), after.rend());
  return nested;
}

// The filters search the body as the decoder leaves it, so text deep down must be decoded too.
TEST(MimeTest, NestedBodiesAreDecodedAtAnyDepth) {
  for (const int levels : {1, 31, 32, 33, 99, 10000}) {
    for (const bool embedded : {false, true}) {
      const TNestedPart nested = Nest(SpamText(), levels, embedded);
      TMessage message = ParseMessage(nested.Text());
      TDeMIME decoder;
      decoder.SetConvertHtml(true);
      EXPECT_TRUE(decoder.DecodeBody(message.headers, message.body)) << levels;
      EXPECT_EQ(message.body, nested.decoded) << levels << (embedded ? " embedded" : "");
    }
  }
}

TEST(MimeTest, PartLimitsHoldAtAnyDepth) {
  TNestedPart many{{"Content-Type: multipart/mixed; boundary=many"}, "", {}};
  for (int i = 1; i <= TMimeLimits::kMaxParts + 5; ++i) {
    many.body += "--many\n\nPart " + std::to_string(i) + "\n";
    if (i <= TMimeLimits::kMaxParts) many.decoded.push_back("Part " + std::to_string(i));
  }
  many.body += "--many--\n";
  const TNestedPart alternative{{"Content-Type: multipart/alternative; boundary=alt"},
                                "--alt\n\nplain\n--alt\nContent-Type: text/html\n\n<p>html</p>\n"
                                "--alt--\n",
                                {"plain"}};
  for (const int levels : {0, 40}) {
    for (const TNestedPart& inner : {many, alternative}) {
      const TNestedPart nested = Nest(inner, levels, false);
      TMessage message = ParseMessage(nested.Text());
      TDeMIME decoder;
      EXPECT_TRUE(decoder.DecodeBody(message.headers, message.body)) << levels;
      EXPECT_EQ(message.body, nested.decoded) << levels << " " << inner.headers[0];
    }
  }
}

// The HTML of a message shows its pictures by their Content-ID; the text stays as the filters
// read it.
TEST(MimeTest, Base64ImagePartsWithAContentIdAreKeptForTheHtml) {
  const auto image = [](const std::string& id, const std::string& encoding,
                        const std::string& bytes) {
    return "Content-Type: image/png; name=\"p.png\"\n" +
           (id.empty() ? std::string() : "Content-ID: " + id + "\n") +
           "Content-Transfer-Encoding: " + encoding + "\n\n" + TBase64::Encode(bytes) + "\n";
  };
  // More images than the limit, in two bodies of parts.
  std::string many = "Content-Type: multipart/mixed; boundary=m\n\n";
  std::vector<std::string> kept;
  for (size_t i = 0; i < TMimeLimits::kMaxImages + 10; ++i) {
    if (i % 55 == 0) many += "--m\nContent-Type: multipart/related; boundary=r\n\n";
    many += "--r\n" + image("<" + std::to_string(i) + "@x>", "base64", "b");
    if (i < TMimeLimits::kMaxImages) kept.push_back(std::to_string(i) + "@x=b");
    if (i % 55 == 54) many += "--r--\n";
  }
  many += "--m--\n";
  const struct {
    const char* name;
    std::string message;
    std::vector<std::string> images;  // "ID=bytes"
  } cases[] = {
      {"related",
       "Content-Type: multipart/related; boundary=r\n\n--r\nContent-Type: text/html\n\n"
       "<img src=\"cid:logo.1@example.net\">\n--r\n" +
           image(" <logo.1@example.net> ", "BASE64", "\x89PNG\r\n\x1a\nbytes") + "--r\n" +
           image("<second@example.net>", "base64", "two") + "--r--\n",
       {"logo.1@example.net=\x89PNG\r\n\x1a\nbytes", "second@example.net=two"}},
      {"without a Content-ID or not in base64",
       "Content-Type: multipart/mixed; boundary=n\n\n--n\n" + image("", "base64", "a") + "--n\n" +
           image("<q@x>", "quoted-printable", "b") + "--n--\n",
       {}},
      // A part read before the first delimiter and then undone takes its images with it.
      {"undone",
       "Content-Type: multipart/mixed; boundary=p\n\n"
       "Content-Type: multipart/mixed; boundary=b\n\n--b\n" +
           image("<gone@x>", "base64", "gone") + "--b--\n--p\n" +
           image("<kept@x>", "base64", "kept") + "--p--\n",
       {"kept@x=kept"}},
      {"many", many, kept},
  };
  for (const auto& c : cases) {
    TMessage plain = ParseMessage(c.message);
    TDeMIME{}.DecodeBody(plain.headers, plain.body);
    TMessage message = ParseMessage(c.message);
    std::vector<TInlineImage> images;
    TDeMIME decoder;
    decoder.KeepImages(&images);
    EXPECT_TRUE(decoder.DecodeBody(message.headers, message.body)) << c.name;
    EXPECT_EQ(message.body, plain.body) << c.name;
    std::vector<std::string> found;
    for (const TInlineImage& image : images) found.push_back(image.contentId + "=" + image.bytes);
    EXPECT_EQ(found, c.images) << c.name;
  }
}

}  // namespace
}  // namespace tarnwell
