#include "message/MIME.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <string_view>

#include "message/Base64.h"
#include "message/MimeText.h"
#include "message/QStrings.h"

namespace tarnwell {
namespace {

enum class TMediaType { Text, Multipart, Message, Application, Image, Audio, Video, Unknown };

struct TContentType {
  TMediaType type = TMediaType::Text;
  std::string subtype = "PLAIN";
  std::string boundary;
};

TMediaType MediaTypeOf(std::string_view name) {
  if (name == "TEXT") return TMediaType::Text;
  if (name == "MULTIPART") return TMediaType::Multipart;
  if (name == "MESSAGE") return TMediaType::Message;
  if (name == "APPLICATION") return TMediaType::Application;
  if (name == "IMAGE") return TMediaType::Image;
  if (name == "AUDIO") return TMediaType::Audio;
  if (name == "VIDEO") return TMediaType::Video;
  return TMediaType::Unknown;
}

std::string Placeholder(TMediaType type) {
  switch (type) {
    case TMediaType::Application: return "(Attachment) ";
    case TMediaType::Image: return "(Image) ";
    case TMediaType::Audio: return "(Audio clip) ";
    case TMediaType::Video: return "(Video clip) ";
    default: return "(Unknown message part) ";
  }
}

// Ends a boundary that is not quoted: controls, bytes above 126 and the specials that RFC 2046
// leaves out of boundaries.
bool EndsBoundary(unsigned char c) {
  static constexpr TCharSet kStops{"\"!#$%&*;<>@[\\]^`{|}~"};
  return c < 32 || c > 126 || kStops.Contains(c);
}

// The boundary parameter, with the case it is written in.
std::string BoundaryOf(std::string_view value) {
  const std::string lower = LowerCase(value);
  const size_t word = lower.find("boundary");
  if (word == std::string::npos) return {};
  const size_t equals = lower.find('=', word + 8);
  if (equals == std::string::npos) return {};
  size_t start = equals + 1;
  while (start < value.size() && kBlanks.Contains(value[start])) ++start;
  if (start < value.size() && value[start] == '"') ++start;
  size_t end = start;
  while (end < value.size() && !EndsBoundary(static_cast<unsigned char>(value[end]))) ++end;
  return Trim(value.substr(start, end - start));
}

TContentType ContentTypeOf(const THeaders& headers) {
  TContentType result;
  const std::string value = headers.ValueOf("Content-Type");
  const std::string upper = UpperCase(value);
  const size_t slash = upper.find('/');
  if (slash == std::string::npos || slash == 0) return result;
  result.type = MediaTypeOf(std::string_view(upper).substr(0, slash));
  const size_t end = upper.find_first_of("\t (;", slash + 1);
  result.subtype = upper.substr(slash + 1, end == std::string::npos ? end : end - slash - 1);
  if (result.type == TMediaType::Multipart) result.boundary = BoundaryOf(value);
  return result;
}

std::string TransferEncodingOf(const THeaders& headers) {
  return UpperCase(headers.ValueOf("Content-Transfer-Encoding"));
}

void TrimLineEnds(std::vector<std::string>& lines) {
  for (std::string& line : lines) {
    size_t end = line.size();
    while (end > 0 && static_cast<unsigned char>(line[end - 1]) <= ' ') --end;
    line.resize(end);
  }
}

// All lines joined and decoded as one block, into a single item that may hold line breaks.
void DecodeBase64Body(std::vector<std::string>& lines) {
  std::string joined;
  size_t size = 0;
  for (const std::string& line : lines) size += line.size();
  joined.reserve(size);
  for (const std::string& line : lines) joined += line;
  std::string bytes = TBase64::Decode(joined);
  lines.assign(1, std::move(bytes));
}

// Encoded words (RFC 2047). The decoded bytes are read again, so that a word they form, alone
// or with the text before or after, is decoded in turn; the first word that cannot be decoded
// ends the decoding. The text still to read is kept reversed, so that putting decoded bytes
// back in front of it costs only their own length.
class TWordDecoder {
 public:
  explicit TWordDecoder(std::string_view value)
      : rest_(value.rbegin(), value.rend()),
        budget_(value.size() * TMimeLimits::kRereadFactor + TMimeLimits::kRereadExtra) {}

  std::string Run() {
    while (!rest_.empty()) {
      if (At(0) != '=' || At(1) != '?') {
        done_ += rest_.back();
        rest_.pop_back();
        continue;
      }
      std::string decoded;
      size_t length = 0;
      // Words nested in words could otherwise make the work grow faster than the value.
      if (!DecodeWord(decoded, length) || decoded.size() > budget_) break;
      budget_ -= decoded.size();
      rest_.resize(rest_.size() - length);
      rest_.append(decoded.rbegin(), decoded.rend());
      if (!done_.empty() && done_.back() == '=') {
        rest_ += '=';
        done_.pop_back();
      }
    }
    done_.append(rest_.rbegin(), rest_.rend());
    return std::move(done_);
  }

 private:
  // The k-th byte still to read, or -1 past the end.
  [[nodiscard]] int At(size_t k) const {
    return k < rest_.size() ? static_cast<unsigned char>(rest_[rest_.size() - 1 - k]) : -1;
  }

  // Decodes the word that starts with the "=?" in front; `length` is what it spans.
  bool DecodeWord(std::string& decoded, size_t& length) {
    size_t k = 2;
    while (At(k) != -1 && At(k) != '?') ++k;
    if (At(k) == -1) return false;
    const int letter = At(k + 1);
    const size_t start = k + 3;
    if (letter == 'B' || letter == 'b') {
      size_t end = start;
      while (At(end) != -1 && At(end) != '?') ++end;
      if (At(end) != '?' || At(end + 1) != '=') return false;
      std::string text;
      for (size_t i = start; i < end; ++i) text += static_cast<char>(At(i));
      decoded = TBase64::Decode(text);
      length = end + 2;
      return true;
    }
    if (letter != 'Q' && letter != 'q') return false;
    for (size_t i = start;;) {
      const int c = At(i);
      if (c == -1) return false;
      if (c == '?' && At(i + 1) == '=') {
        length = i + 2;
        return true;
      }
      const int high = c == '=' ? HexDigit(At(i + 1)) : -1;
      const int low = c == '=' ? HexDigit(At(i + 2)) : -1;
      if (high >= 0 && low >= 0) {
        decoded += static_cast<char>(high * 16 + low);
        i += 3;
        continue;
      }
      decoded += c == '_' ? ' ' : static_cast<char>(c);
      ++i;
    }
  }

  static int HexDigit(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  }

  std::string rest_;
  std::string done_;
  size_t budget_;
};

std::string DecodeValue(std::string_view value) {
  if (value.find("=?") == std::string_view::npos) return std::string(value);
  std::string decoded = TWordDecoder(value).Run();
  // A decoded line break would split the header line once the block is written out.
  std::replace_if(
      decoded.begin(), decoded.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return Trim(decoded);
}

// Finds the delimiter marker in a line in time linear in the line, whatever the marker (glibc's
// memmem falls back to the two-way algorithm where its quick search would not be linear).
class TMarkerSearch {
 public:
  explicit TMarkerSearch(std::string marker) : marker_(std::move(marker)) {}

  [[nodiscard]] const std::string& Marker() const { return marker_; }
  [[nodiscard]] size_t In(const std::string& line) const {
    // Most lines (base64 ones among them) lack the marker's first byte, which memchr rules out
    // faster than memmem can.
    const auto* first = static_cast<const char*>(std::memchr(line.data(), marker_[0], line.size()));
    if (!first) return std::string::npos;
    const size_t from = static_cast<size_t>(first - line.data());
    const void* found = ::memmem(first, line.size() - from, marker_.data(), marker_.size());
    return found ? static_cast<size_t>(static_cast<const char*>(found) - line.data())
                 : std::string::npos;
  }

 private:
  std::string marker_;
};

// Walks the parts of a multipart body. Lines are moved out of the body as parts are taken;
// `pos_` is the first line not yet taken.
class TPartWalk {
 public:
  TPartWalk(std::vector<std::string>& lines, const std::string& boundary)
      : lines_(lines), search_("--" + boundary) {}

  [[nodiscard]] bool AtEnd() const { return pos_ >= lines_.size(); }

  // Moves past the next delimiter line: a preamble before a line that starts with the marker is
  // dropped, and a closing delimiter ends the body.
  void SkipDelimiter() {
    size_t found = pos_;
    size_t offset = std::string::npos;
    for (; found < lines_.size(); ++found) {
      offset = search_.In(lines_[found]);
      if (offset != std::string::npos) break;
    }
    if (found == lines_.size()) return;
    if (offset == 0) pos_ = found;
    const std::string& line = lines_[found];
    if (line.compare(offset + search_.Marker().size(), 2, "--") == 0) {
      pos_ = lines_.size();
      return;
    }
    // Deletes the delimiter line; only the first delimiter can have lines before it.
    for (size_t i = found; i > pos_; --i) lines_[i] = std::move(lines_[i - 1]);
    ++pos_;
  }

  // The next part: its header lines up to the first empty line (unfolded) and its body up to
  // the next line that holds the marker.
  void TakePart(std::vector<std::string>& header, std::vector<std::string>& body) {
    size_t end = pos_;
    while (end < lines_.size() && !lines_[end].empty()) ++end;
    Move(end, header);
    if (pos_ < lines_.size()) ++pos_;
    UnfoldLines(header);
    end = pos_;
    while (end < lines_.size() && search_.In(lines_[end]) == std::string::npos) ++end;
    if (end - pos_ <= lines_.size() - end) {
      Move(end, body);
      return;
    }
    // A body that is most of what is left takes over the list, so that nested parts do not
    // keep a list each of the lines their parts were moved out of.
    std::vector<std::string> rest(std::make_move_iterator(lines_.begin() + end),
                                  std::make_move_iterator(lines_.end()));
    body = std::move(lines_);
    body.resize(end);
    body.erase(body.begin(), body.begin() + pos_);
    lines_ = std::move(rest);
    pos_ = 0;
  }

 private:
  void Move(size_t end, std::vector<std::string>& to) {
    to.reserve(end - pos_);
    for (; pos_ < end; ++pos_) to.push_back(std::move(lines_[pos_]));
  }

  std::vector<std::string>& lines_;
  TMarkerSearch search_;
  size_t pos_ = 0;
};

}  // namespace

bool TDeMIME::IsMime(const THeaders& headers) {
  return headers.HasHeader("Content-Type") || headers.HasHeader("MIME-Version");
}

bool TDeMIME::DecodeHeaders(THeaders& headers) {
  try {
    for (int i = 0; i < headers.Count(); ++i) {
      const std::string& line = headers[i];
      const size_t colon = line.find(':');
      // A line without a name is kept as it came.
      if (colon == std::string::npos) continue;
      std::string rewritten = line.substr(0, colon) + ": " + DecodeValue(headers.ValueAt(i));
      headers.SetLine(i, std::move(rewritten));
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

bool TDeMIME::DecodeBody(const THeaders& headers, std::vector<std::string>& lines) {
  return DecodeBodyAt(headers, lines, 0);
}

bool TDeMIME::DecodePart(THeaders& headers, std::vector<std::string>& lines) {
  return DecodePartAt(headers, lines, 0);
}

bool TDeMIME::DecodePartAt(THeaders& headers, std::vector<std::string>& lines, int depth) {
  const bool headersDecoded = DecodeHeaders(headers);
  const bool bodyDecoded = DecodeBodyAt(headers, lines, depth);
  return headersDecoded && bodyDecoded;
}

bool TDeMIME::DecodeBodyAt(const THeaders& headers, std::vector<std::string>& lines, int depth) {
  if (depth >= TMimeLimits::kMaxNesting) return false;
  try {
    TrimLineEnds(lines);
    const TContentType content = ContentTypeOf(headers);
    switch (content.type) {
      case TMediaType::Text: {
        const std::string encoding = TransferEncodingOf(headers);
        if (encoding == "BASE64") {
          DecodeBase64Body(lines);
        } else if (encoding == "QUOTED-PRINTABLE") {
          lines = DecodeQuotedPrintable(lines);
        }
        if (content.subtype == "HTML") {
          htmlSeen_ = true;
          if (convertHtml_) lines = HtmlToText(lines);
        } else if (content.subtype == "RICHTEXT") {
          lines = RichTextToText(lines);
        } else if (content.subtype == "ENRICHED") {
          lines = EnrichedToText(lines);
        }
        return true;
      }
      case TMediaType::Multipart:
        return DecodeMultipart(content.subtype, content.boundary, lines, depth);
      case TMediaType::Message:
        if (content.subtype == "RFC822") DecodeMessage(lines, depth);
        return true;
      default: lines.assign(1, Placeholder(content.type)); return true;
    }
  } catch (const std::exception&) {
    return false;
  }
}

bool TDeMIME::DecodeMultipart(const std::string& subtype, const std::string& boundary,
                              std::vector<std::string>& lines, int depth) {
  const bool alternative = subtype == "ALTERNATIVE";
  if (!alternative && subtype != "MIXED" && subtype != "PARALLEL" && subtype != "RELATED" &&
      subtype != "REPORT") {
    return false;
  }
  // Without a boundary the parts cannot be told apart; the lines stay readable as they are.
  if (boundary.empty()) return false;
  TPartWalk walk(lines, boundary);
  std::vector<std::string> out;
  walk.SkipDelimiter();
  // Of alternatives, the first is the plainest.
  const int maxParts = alternative ? 1 : TMimeLimits::kMaxParts;
  for (int part = 0; part < maxParts && !walk.AtEnd(); ++part) {
    std::vector<std::string> headerLines;
    std::vector<std::string> body;
    walk.TakePart(headerLines, body);
    THeaders partHeaders(std::move(headerLines));
    DecodePartAt(partHeaders, body, depth + 1);
    if (out.empty()) {
      out = std::move(body);
    } else {
      out.insert(out.end(), std::make_move_iterator(body.begin()),
                 std::make_move_iterator(body.end()));
    }
    walk.SkipDelimiter();
  }
  lines = std::move(out);
  return true;
}

void TDeMIME::DecodeMessage(std::vector<std::string>& lines, int depth) {
  const auto blank = std::find_if(lines.begin(), lines.end(),
                                  [](const std::string& line) { return line.empty(); });
  const size_t headerCount = blank - lines.begin();
  std::vector<std::string> headerLines(std::make_move_iterator(lines.begin()),
                                       std::make_move_iterator(blank));
  std::vector<std::string> body = std::move(lines);
  body.erase(body.begin(), body.begin() + std::min(headerCount + 1, body.size()));
  lines.clear();
  UnfoldLines(headerLines);
  THeaders headers(std::move(headerLines));
  DecodePartAt(headers, body, depth + 1);
  std::vector<std::string> out;
  out.reserve(headers.Count() + 1 + body.size());
  out.insert(out.end(), headers.Lines().begin(), headers.Lines().end());
  out.emplace_back();
  out.insert(out.end(), std::make_move_iterator(body.begin()), std::make_move_iterator(body.end()));
  lines = std::move(out);
}

}  // namespace tarnwell
