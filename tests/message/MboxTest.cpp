#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "message/Mbox.h"

namespace tarnwell {
namespace {

using TMessages = std::vector<std::string>;

// The messages of `text` given in pieces of `step` bytes (all at once for 0).
TMessages Split(std::string_view text, size_t step, bool& isMbox) {
  TMessages messages;
  TMboxSplitter splitter;
  const auto take = [&](std::string_view message) { messages.emplace_back(message); };
  if (step == 0) step = text.size() + 1;
  for (size_t at = 0; at < text.size(); at += step) splitter.Add(text.substr(at, step), take);
  splitter.Finish(take);
  splitter.Finish(take);
  isMbox = splitter.IsMbox();
  return messages;
}

TEST(MboxTest, SplitsAtFromLinesAfterAnEmptyLineAndUnquotes) {
  struct TCase {
    const char* name;
    std::string_view text;
    TMessages messages;
    bool isMbox = true;
  };
  const TCase cases[] = {
      {"two messages, the empty lines before a separator and at the end dropped",
       "From a@x Mon Jan  1 00:00:00 2024\nSubject: 1\n\nOne\n\n"
       "From b@x Mon Jan  1 00:00:01 2024\nSubject: 2\n\nTwo\n\n",
       {"Subject: 1\n\nOne\n", "Subject: 2\n\nTwo\n"}},
      {"CR LF kept, also in the separator and the empty line",
       "From a@x\r\nSubject: 1\r\n\r\nOne\r\n\r\nFrom b@x\r\nSubject: 2\r\n\r\nTwo",
       {"Subject: 1\r\n\r\nOne\r\n", "Subject: 2\r\n\r\nTwo"}},
      {"a From line right after a text line is text",
       "From a@x\nSubject: 1\n\nsaid:\nFrom the start\n",
       {"Subject: 1\n\nsaid:\nFrom the start\n"}},
      {"quoted From lines lose one >, other > lines stay",
       "From a@x\nSubject: 1\n\n>From here\n>>From there\n> From not\n>Fromage\n>\n",
       {"Subject: 1\n\nFrom here\n>From there\n> From not\n>Fromage\n>\n"}},
      {"empty lines inside and several before a separator",
       "From a@x\nSubject: 1\n\nA\n\n\nB\n\n\n\nFrom b@x\n\nC\n",
       {"Subject: 1\n\nA\n\n\nB\n\n\n", "\nC\n"}},
      {"an empty message between two separators",
       "From a@x\n\nFrom b@x\nSubject: 2\n",
       {"", "Subject: 2\n"}},
      {"a separator alone", "From a@x", {""}},
      {"an empty file holds no message", "", {}},
      {"text before the first From line is no mbox", "Subject: 1\n\nFrom a@x\nX\n", {}, false},
      {"nor is an empty first line", "\nFrom a@x\nSubject: 1\n", {}, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (const size_t step : {0, 1, 2, 7}) {
      SCOPED_TRACE(step);
      bool isMbox = false;
      EXPECT_EQ(Split(c.text, step, isMbox), c.messages);
      EXPECT_EQ(isMbox, c.isMbox);
    }
  }
}

}  // namespace
}  // namespace tarnwell
