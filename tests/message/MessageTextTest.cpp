#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "message/Emails.h"
#include "message/MessageText.h"

namespace tarnwell {
namespace {

using TLines = std::vector<std::string>;

TEST(MessageTextTest, HeadersEndAtTheFirstEmptyLine) {
  struct TCase {
    const char* text;
    TLines headers, body;
  };
  const TCase cases[] = {
      {"Subject: a\r\nTo: b\r\n\r\nline 1\r\n\r\nline 3\r\n",
       {"Subject: a", "To: b"},
       {"line 1", "", "line 3"}},
      {"Subject: a\n\nlast line without an end", {"Subject: a"}, {"last line without an end"}},
      {"Subject: a\r\n\tfolded\r\n\r\n", {"Subject: a folded"}, {}},
      {"Subject: only headers\r\n", {"Subject: only headers"}, {}},
      {"\r\nbody only\r\n", {}, {"body only"}},
      {"", {}, {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.text);
    TEmail email;
    ParseMessageText(c.text, email);
    EXPECT_EQ(email.Headers.Lines(), c.headers);
    EXPECT_EQ(email.Body, c.body);
    EXPECT_EQ(email.Length, static_cast<int32_t>(std::string(c.text).size()));
  }
}

// Lines reused from one message to the next must hold the new message's text only.
TEST(MessageTextTest, ReusedLinesHoldOnlyTheNewMessage) {
  const std::string texts[] = {
      "Subject: 1\r\n\r\n" + std::string(100, 'a') + "\r\nsecond\r\nthird\r\nfourth\r\n",
      "Subject: 2\r\n\r\nshort\r\n",
      "Subject: 3\r\n\r\n\r\n" + std::string(50, 'b') + "\r\nx\r\ny\r\nz\r\nlast\r\n",
      "Subject: 4\r\n\r\n",
  };
  TLines lines, spare;
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    TEmail reused;
    reused.Body = std::move(lines);
    ParseMessageText(text, reused, &spare);
    TEmail fresh;
    ParseMessageText(text, fresh);
    EXPECT_EQ(reused.Body, fresh.Body);
    EXPECT_EQ(reused.Headers.Lines(), fresh.Headers.Lines());
    lines = std::move(reused.Body);
  }
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(spare.size(), 6u);  // the most lines any message had
}

// Text split as it arrives gives the lines of the whole text, wherever it is cut, and loses
// nothing of it.
TEST(MessageTextTest, LinesSplitAsTheyArriveWhereverTheTextIsCut) {
  const std::string texts[] = {
      "one\r\ntwo\r\n\r\nfour",
      "lf only\nnext\n",
      "cr\r\r\nlone cr\rin a line\r\n",
      "\r\n\r\n",
      "last line ends with cr\r",
      "no line end at all",
      "",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const TLines whole = SplitMessageLines(text);
    const auto split = [](const std::vector<std::string_view>& pieces, std::string& joined) {
      TLines lines;
      TLineSplitter splitter;
      const auto take = [&](std::string_view line) {
        joined += line;
        lines.emplace_back(WithoutLineEnd(line));
      };
      for (const std::string_view piece : pieces) splitter.Add(piece, take);
      splitter.Finish(take);
      return lines;
    };
    const std::string_view view = text;
    for (size_t cut = 0; cut <= text.size(); ++cut) {
      std::string joined;
      EXPECT_EQ(split({view.substr(0, cut), view.substr(cut)}, joined), whole) << "cut at " << cut;
      EXPECT_EQ(joined, text) << "cut at " << cut;
    }
    std::vector<std::string_view> bytes;
    for (size_t i = 0; i < text.size(); ++i) bytes.push_back(view.substr(i, 1));
    std::string joined;
    EXPECT_EQ(split(bytes, joined), whole);
  }
}

}  // namespace
}  // namespace tarnwell
