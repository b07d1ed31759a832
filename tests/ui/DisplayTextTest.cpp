#include <gtest/gtest.h>

#include <QString>
#include <string>

#include "shell/ui/DisplayText.h"

namespace tarnwell {
namespace {

struct TCase {
  const char* what;
  std::string bytes;
  std::string charset;
  QString expected;
};

TEST(DisplayTextTest, BytesByTheirDeclaredCharsetElseUtf8ElseWindows1252) {
  const TCase cases[] = {
      {"UTF-8",
       "Gr\xC3\xBC\xC3\x9F"
       "e",
       "", QStringLiteral(u"Grüße")},
      {"Windows-1252",
       "\x93"
       "caf\xE9\x94 \x80",
       "", QStringLiteral(u"“café” €")},
      {"UTF-8 beside Windows-1252", "caf\xC3\xA9 caf\xE9", "", QStringLiteral(u"café café")},
      {"an overlong form is no UTF-8", "\xC0\xAF", "", QStringLiteral(u"À¯")},
      {"declared Latin-2", "\xB1", "ISO-8859-2", QStringLiteral(u"ą")},
      {"declared KOI8-R", "\xF0\xD2\xC9\xD7\xC5\xD4", " koi8-r ", QStringLiteral(u"Привет")},
      {"declared Shift_JIS", "\x93\xFA\x96\x7B", "Shift_JIS", QStringLiteral(u"日本")},
      {"declared Windows-1252",
       "\x93"
       "a\x94",
       "windows-1252", QStringLiteral(u"“a”")},
      {"declared Windows-1252, UTF-8 look-alike", "\xC3\xA9", "cp1252", QStringLiteral(u"Ã©")},
      {"declared UTF-8 with a Windows-1252 byte", "\xE9t\xE9", "utf-8", QStringLiteral(u"été")},
      {"an unknown charset", "caf\xE9", "x-no-such-charset", QStringLiteral(u"café")},
      {"bytes the charset does not take", "caf\xE9", "us-ascii", QStringLiteral(u"café")},
      {"empty", "", "ISO-8859-1", QString()},
  };
  for (const TCase& c : cases) EXPECT_EQ(DisplayString(c.bytes, c.charset), c.expected) << c.what;
  EXPECT_EQ(DisplayString("caf\xE9"), QStringLiteral(u"café"));
}

TEST(DisplayTextTest, EncodedWordsAreDecodedInTheirCharsets) {
  const TCase cases[] = {
      {"Latin-1 word", "=?ISO-8859-1?Q?Caf=E9?= au lait", "", QStringLiteral(u"Café au lait")},
      {"blanks between words go", "=?utf-8?B?w6k=?=  =?utf-8?q?=C3=A8?= x", "",
       QStringLiteral(u"éè x")},
      {"KOI8-R word", "Re: =?koi8-r?B?8NLJ18XU?=", "", QStringLiteral(u"Re: Привет")},
      {"language after the charset", "=?iso-8859-1*fr?Q?=E9t=E9?=", "", QStringLiteral(u"été")},
      {"unknown charset", "=?x-none?Q?=E9?=", "", QStringLiteral(u"é")},
      {"malformed word", "=?utf-8?Q?open", "", QStringLiteral(u"=?utf-8?Q?open")},
      {"raw bytes around a word", "\xE9 =?utf-8?Q?=C3=A9?=", "", QStringLiteral(u"é é")},
  };
  for (const TCase& c : cases) EXPECT_EQ(DecodedDisplayString(c.bytes), c.expected) << c.what;
}

TEST(DisplayTextTest, OneLineBlanksControlsAndBreaks) {
  EXPECT_EQ(OneLine(QStringLiteral(u"a\tb\r\nc\u2028d\u0085e")), QStringLiteral(u"a b  c d e"));
}

}  // namespace
}  // namespace tarnwell
