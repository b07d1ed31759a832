#include "message/MimeText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "message/QStrings.h"

namespace tarnwell {
namespace {

constexpr int kEnd = -1;
constexpr char kLineEnd = '\r';
// No tag or entity name that the reducers know is this long; longer ones are cut, which keeps
// them unknown.
constexpr size_t kMaxName = 64;

// The lines as one stream of characters, with a look ahead. Each line is let go once read, so
// that the text is not held whole along with what is made of it.
class TLineReader {
 public:
  explicit TLineReader(std::vector<std::string>& lines) : lines_(lines) {}

  int Get() {
    prevLine_ = line_;
    prevColumn_ = column_;
    while (line_ < lines_.size()) {
      const std::string& text = lines_[line_];
      const bool runsOn = !text.empty() && text.back() == '=';
      if (column_ < text.size() - (runsOn ? 1 : 0)) {
        const char c = text[column_++];
        if (c != '\n') return static_cast<unsigned char>(c);
        // A decoded base64 body is one item with its own line breaks.
        if (column_ >= 2 && text[column_ - 2] == '\r') continue;
        return kLineEnd;
      }
      ++line_;
      column_ = 0;
      if (released_ < prevLine_) Release();
      if (!runsOn) return kLineEnd;
    }
    return kEnd;
  }
  int Peek() {
    const size_t line = prevLine_;
    const size_t column = prevColumn_;
    const int c = Get();
    Back();
    prevLine_ = line;
    prevColumn_ = column;
    return c;
  }

 private:
  void Back() {
    line_ = prevLine_;
    column_ = prevColumn_;
  }
  // Lets go of the lines before where the current read started, as a look ahead comes back no
  // further; kept out of line, so that Get stays small enough to be inlined in the loops.
  [[gnu::noinline]] void Release() {
    for (; released_ < prevLine_; ++released_) std::string().swap(lines_[released_]);
  }

  std::vector<std::string>& lines_;
  size_t released_ = 0;
  size_t line_ = 0;
  size_t column_ = 0;
  size_t prevLine_ = 0;
  size_t prevColumn_ = 0;
};

int HexValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsBlank(char c) { return kBlanks.Contains(c); }

void TrimInPlace(std::string& text) {
  while (!text.empty() && IsBlank(text.back())) text.pop_back();
  size_t first = 0;
  while (first < text.size() && IsBlank(text[first])) ++first;
  if (first > 0) text.erase(0, first);
}

// Whether "<" followed by `c` opens a tag; a tag name is made of these characters too.
bool IsTagChar(int c) {
  return c == kLineEnd || c == '!' || c == '-' || c == '/' ||
         (c >= 0 && kAlphanumerics.Contains(static_cast<unsigned char>(c)));
}

char UpperAscii(int c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); }

// Reads a tag after its "<" up to and including the next ">"; returns its name, upper-cased.
std::string ReadTag(TLineReader& reader) {
  std::string name;
  bool inName = true;
  for (int c = reader.Get(); c != kEnd && c != '>'; c = reader.Get()) {
    if (inName && IsTagChar(c)) {
      if (name.size() < kMaxName) name += UpperAscii(c);
    } else {
      inName = false;
    }
  }
  // The self-closing form of XHTML ("<br/>") names the same tag.
  if (name.size() > 1 && name.back() == '/') name.pop_back();
  return name;
}

// Reads on to the end of the next tag named `name`. In enriched text "<<" stands for "<".
void SkipToTag(TLineReader& reader, std::string_view name, bool enriched) {
  for (int c = reader.Get(); c != kEnd; c = reader.Get()) {
    if (c != '<') continue;
    if (!IsTagChar(reader.Peek())) {
      if (enriched) reader.Get();
      continue;
    }
    if (ReadTag(reader) == name) return;
  }
}

struct TEntity {
  std::string_view name;
  uint8_t code;
};

constexpr std::array<TEntity, 64> kEntities = {{
    {"amp", 38},     {"copy", 169},   {"Aacute", 193}, {"Agrave", 192}, {"Acirc", 194},
    {"Atilde", 195}, {"Aring", 197},  {"Auml", 196},   {"AElig", 198},  {"Ccedil", 199},
    {"Eacute", 201}, {"Egrave", 200}, {"Ecirc", 202},  {"Euml", 203},   {"Iacute", 205},
    {"Igrave", 204}, {"Icirc", 206},  {"Iuml", 207},   {"ETH", 208},    {"Ntilde", 209},
    {"Oacute", 211}, {"Ograve", 210}, {"Ocirc", 212},  {"Otilde", 213}, {"Ouml", 214},
    {"Oslash", 216}, {"Uacute", 218}, {"Ugrave", 217}, {"Ucirc", 219},  {"Uuml", 220},
    {"Yacute", 221}, {"THORN", 222},  {"szlig", 223},  {"aacute", 225}, {"agrave", 224},
    {"acirc", 226},  {"atilde", 227}, {"aring", 229},  {"auml", 228},   {"aelig", 230},
    {"ccedil", 231}, {"eacute", 233}, {"egrave", 232}, {"ecirc", 234},  {"euml", 235},
    {"iacute", 237}, {"igrave", 236}, {"icirc", 238},  {"iuml", 239},   {"eth", 240},
    {"ntilde", 241}, {"oacute", 243}, {"ograve", 242}, {"ocirc", 244},  {"otilde", 245},
    {"ouml", 246},   {"oslash", 248}, {"uacute", 250}, {"ugrave", 249}, {"ucirc", 251},
    {"uuml", 252},   {"yacute", 253}, {"thorn", 254},  {"yuml", 255},
}};

// Reads an entity after its "&": letters, digits and "#" (line ends skipped), then consumes the
// character after them, normally ";".
std::string ReadEntity(TLineReader& reader) {
  std::string text;
  for (int c = reader.Get(); c != kEnd; c = reader.Get()) {
    if (c == kLineEnd) continue;
    if (c != '#' && !kAlphanumerics.Contains(static_cast<unsigned char>(c))) break;
    if (text.size() < kMaxName) text += static_cast<char>(c);
  }
  return text;
}

// The byte an entity stands for. A decimal entity above 255 has no byte in an 8-bit text.
std::optional<char> EntityByte(std::string_view text) {
  if (!text.empty() && text[0] == '#') {
    const std::string_view digits = text.substr(1);
    if (!NonEmptyAllInSet(digits, kDigits)) return std::nullopt;
    int value = 0;
    for (const char d : digits) value = std::min(value * 10 + (d - '0'), 256);
    if (value > 255) return std::nullopt;
    return static_cast<char>(value);
  }
  for (const TEntity& entity : kEntities) {
    if (entity.name == text) return static_cast<char>(entity.code);
  }
  return std::nullopt;
}

class THtmlText {
 public:
  explicit THtmlText(std::vector<std::string>& lines) : reader_(lines) {}

  std::vector<std::string> Run() {
    for (int c = reader_.Get(); c != kEnd; c = reader_.Get()) {
      switch (c) {
        case '\t': break;
        case kLineEnd:
          if (!line_.empty() && line_.back() != ' ') line_ += ' ';
          break;
        case ' ':
          TrimInPlace(line_);
          line_ += ' ';
          break;
        case '<':
          if (IsTagChar(reader_.Peek())) Tag(ReadTag(reader_));
          break;
        case '&':
          if (const std::optional<char> byte = EntityByte(ReadEntity(reader_))) line_ += *byte;
          break;
        default: line_ += static_cast<char>(c);
      }
    }
    EndLine();
    return std::move(out_);
  }

 private:
  void Tag(std::string_view name) {
    if (name == "BR" || name == "CENTER" || name == "DIV" || name == "/DIV" || name == "/LI" ||
        name == "TR" || name == "/TR") {
      EndLine();
    } else if (name == "P" || name == "OL" || name == "UL" || name == "/OL" || name == "/UL" ||
               name == "TABLE" || name == "/TABLE") {
      EndLine();
      out_.emplace_back();
    } else if (name == "/TD") {
      line_ += ' ';
    } else if (name == "HEAD") {
      SkipToTag(reader_, "/HEAD", false);
    } else if (name == "IMG") {
      EndLine();
      line_ = "(Image) ";
    }
  }
  // The current line, trimmed, is kept unless it is empty.
  void EndLine() {
    TrimInPlace(line_);
    if (!line_.empty()) out_.push_back(std::move(line_));
    line_.clear();
  }

  TLineReader reader_;
  std::vector<std::string> out_;
  std::string line_;
};

}  // namespace

std::vector<std::string> DecodeQuotedPrintable(std::vector<std::string> lines) {
  TLineReader reader(lines);
  std::vector<std::string> out;
  std::string line;
  for (int c = reader.Get(); c != kEnd; c = reader.Get()) {
    if (c == kLineEnd) {
      out.push_back(std::move(line));
      line.clear();
    } else if (c == '=') {
      const int high = HexValue(reader.Get());
      const int low = HexValue(reader.Get());
      if (high >= 0 && low >= 0) line += static_cast<char>(high * 16 + low);
    } else {
      line += static_cast<char>(c);
    }
  }
  // Text after a soft line break on the last line.
  if (!line.empty()) out.push_back(std::move(line));
  return out;
}

std::vector<std::string> HtmlToText(std::vector<std::string> lines) {
  return THtmlText(lines).Run();
}

std::vector<std::string> RichTextToText(std::vector<std::string> lines) {
  TLineReader reader(lines);
  std::vector<std::string> out;
  std::string line;
  auto endLine = [&] {
    out.push_back(std::move(line));
    line.clear();
    if (reader.Peek() == kLineEnd) reader.Get();
  };
  for (int c = reader.Get(); c != kEnd; c = reader.Get()) {
    if (c == '\t') {
      line += "    ";
    } else if (c == kLineEnd) {
      line += ' ';
    } else if (c != '<') {
      line += static_cast<char>(c);
    } else if (IsTagChar(reader.Peek())) {
      const std::string name = ReadTag(reader);
      if (name == "NL" || name == "NP") {
        endLine();
      } else if (name == "/PARAGRAPH") {
        out.push_back(std::move(line));
        line.clear();
        endLine();
      } else if (name == "LT") {
        line += '<';
      } else if (name == "COMMENT") {
        SkipToTag(reader, "/COMMENT", false);
      }
    }
  }
  if (!line.empty()) out.push_back(std::move(line));
  return out;
}

std::vector<std::string> EnrichedToText(std::vector<std::string> lines) {
  TLineReader reader(lines);
  std::vector<std::string> out;
  std::string line;
  bool afterLineEnd = false;
  for (int c = reader.Get(); c != kEnd; c = reader.Get()) {
    if (c == kLineEnd) {
      if (afterLineEnd) {
        out.push_back(std::move(line));
        line.clear();
      } else {
        line += ' ';
      }
      afterLineEnd = true;
      continue;
    }
    afterLineEnd = false;
    if (c == '\t') {
      line += "    ";
    } else if (c != '<') {
      line += static_cast<char>(c);
    } else if (!IsTagChar(reader.Peek())) {
      const int next = reader.Get();
      if (next != kEnd) line += static_cast<char>(next);
    } else if (ReadTag(reader) == "PARAM") {
      SkipToTag(reader, "/PARAM", true);
    }
  }
  if (!line.empty()) out.push_back(std::move(line));
  return out;
}

}  // namespace tarnwell
