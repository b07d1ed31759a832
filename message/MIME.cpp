#include "message/MIME.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <iterator>
#include <string_view>

#include "message/Base64.h"
#include "message/MimeMarkers.h"
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

// The Content-ID without blanks and angle brackets.
std::string ContentIdOf(const THeaders& headers) {
  std::string id = Trim(headers.ValueOf("Content-ID"));
  if (id.size() >= 2 && id.front() == '<' && id.back() == '>') id = id.substr(1, id.size() - 2);
  return id;
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
  std::vector<std::string>().swap(lines);
  lines.push_back(TBase64::Decode(joined));
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

bool DecodeHeaderLines(THeaders& headers) {
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

bool IsSupportedMultipart(const TContentType& content) {
  static constexpr std::string_view kSubtypes[] = {"ALTERNATIVE", "MIXED", "PARALLEL", "RELATED",
                                                   "REPORT"};
  // Without a boundary the parts cannot be told apart; the lines stay readable as they are.
  return !content.boundary.empty() && std::find(std::begin(kSubtypes), std::end(kSubtypes),
                                                content.subtype) != std::end(kSubtypes);
}

// Multipart and message/rfc822 bodies hold parts of their own; every other body is decoded alone.
bool HoldsParts(const TContentType& content) {
  return (content.type == TMediaType::Multipart && IsSupportedMultipart(content)) ||
         (content.type == TMediaType::Message && content.subtype == "RFC822");
}

// A body without parts of its own. A multipart or message body that is not taken apart stays as
// it is. False when a step failed; the lines are then left as far as it got.
bool DecodeSingleBody(const TContentType& content, const std::string& encoding, bool convertHtml,
                      bool& htmlSeen, std::vector<std::string>& lines) {
  try {
    switch (content.type) {
      case TMediaType::Text:
        if (encoding == "BASE64") {
          DecodeBase64Body(lines);
        } else if (encoding == "QUOTED-PRINTABLE") {
          lines = DecodeQuotedPrintable(std::move(lines));
        }
        if (content.subtype == "HTML") {
          htmlSeen = true;
          if (convertHtml) lines = HtmlToText(std::move(lines));
        } else if (content.subtype == "RICHTEXT") {
          lines = RichTextToText(std::move(lines));
        } else if (content.subtype == "ENRICHED") {
          lines = EnrichedToText(std::move(lines));
        }
        return true;
      case TMediaType::Multipart:
      case TMediaType::Message: return true;
      default: lines.assign(1, Placeholder(content.type)); return true;
    }
  } catch (const std::exception&) {
    return false;
  }
}

// Decodes a multipart or message/rfc822 body in one pass over its lines. The bodies the current
// line lies in are kept on a stack of frames, one small record per level, so nesting has no limit
// but the message's own lines. A line holding the delimiter marker of one of the multipart
// bodies ends the parts nested inside it; when several hold theirs, the outermost one takes it,
// since its part ends there whatever lies inside. Decoded lines go straight to one output list.
class TBodyWalk {
 public:
  TBodyWalk(bool convertHtml, bool& htmlSeen, std::vector<TInlineImage>* images)
      : convertHtml_(convertHtml), htmlSeen_(htmlSeen), images_(images) {}

  // Replaces `lines` by their decoding as a body of `content`, which HoldsParts. False when a
  // step failed; the lines are then what was decoded followed by what was not.
  bool Run(const TContentType& content, std::vector<std::string>& lines) {
    size_t next = 0;
    try {
      Open(content, {});
      for (; next < lines.size(); ++next) Take(lines[next]);
      while (!frames_.empty()) CloseTop();
    } catch (const std::exception&) {
      Append(pending_);
      out_.insert(out_.end(), std::make_move_iterator(lines.begin() + next),
                  std::make_move_iterator(lines.end()));
      lines = std::move(out_);
      return false;
    }
    lines = std::move(out_);
    return true;
  }

 private:
  enum class TKind : uint8_t { Multipart, Message, Single };
  // Where a multipart body is: before a part, in a part's header lines, in a part's body, or
  // past its closing delimiter or its last allowed part.
  enum class TState : uint8_t { BeforePart, Header, Body, Done };

  struct TFrame {
    TKind kind;
    TState state = TState::BeforePart;
    // The first delimiter has not been met yet. What was read is decoded as the first part, and
    // undone if that delimiter starts its line (the lines before it are then a preamble) or
    // closes the body.
    bool tentative = false;
    bool htmlSeenBefore = false;
    size_t imagesBefore = 0;
    int maxParts = 0;
    int parts = 0;
    size_t outputBefore = 0;
  };

  // A multipart body looks for its marker before its first delimiter and in a part's body; in a
  // part's header lines the marker is a header line like any other.
  static bool SeesMarker(const TFrame& frame) {
    return frame.tentative || frame.state == TState::Body;
  }

  void Take(std::string& line) {
    // Only the innermost multipart body can be where its marker is a header line.
    const uint32_t innermost = markers_.LastId();
    const TMimeMarkers::TMatch match = markers_.Outermost(
        line, innermost != TMimeMarkers::kNone && SeesMarker(frames_[innermost]));
    if (match.id == TMimeMarkers::kNone) {
      Feed(line);
      return;
    }
    const bool closing = line.compare(match.offset + match.size, 2, "--") == 0;
    Delimiter(match.id, match.offset == 0, closing);
  }

  // A line that ends no body, for the innermost one.
  void Feed(std::string& line) {
    TFrame& top = frames_.back();
    switch (top.kind) {
      case TKind::Single:
        if (SingleKeepsLines()) pending_.push_back(std::move(line));
        return;
      case TKind::Message:
        if (!line.empty()) {
          pending_.push_back(std::move(line));
          return;
        }
        frames_.pop_back();
        OpenMessageBody();
        return;
      case TKind::Multipart:
        if (top.state == TState::Done) return;
        if (top.state == TState::BeforePart) {
          ++top.parts;
          top.state = TState::Header;
        }
        if (!line.empty()) {
          pending_.push_back(std::move(line));
          return;
        }
        top.state = TState::Body;
        OpenPart();
        return;
    }
  }

  void Delimiter(uint32_t id, bool atLineStart, bool closing) {
    if (frames_[id].tentative) {
      frames_[id].tentative = false;
      // The delimiter line goes; the lines before it stay the start of the first part.
      if (!atLineStart && !closing) return;
      Undo(id);
    } else {
      while (frames_.size() > id + 1) CloseTop();
    }
    TFrame& frame = frames_[id];
    frame.state = closing || frame.parts >= frame.maxParts ? TState::Done : TState::BeforePart;
  }

  // Drops what was decoded inside a multipart body before its first delimiter.
  void Undo(uint32_t id) {
    while (frames_.size() > id + 1) Pop();
    TFrame& frame = frames_[id];
    out_.erase(out_.begin() + static_cast<std::ptrdiff_t>(frame.outputBefore), out_.end());
    htmlSeen_ = frame.htmlSeenBefore;
    if (images_) images_->resize(std::min(images_->size(), frame.imagesBefore));
    pending_.clear();
    frame.parts = 0;
  }

  // Ends the innermost body: the input holds no more of it.
  void CloseTop() {
    TFrame& top = frames_.back();
    switch (top.kind) {
      case TKind::Single: {
        std::vector<std::string> body = std::move(pending_);
        pending_.clear();
        if (KeepsImage()) images_->push_back({singleContentId_, DecodedBase64(body)});
        DecodeSingleBody(single_, singleEncoding_, convertHtml_, htmlSeen_, body);
        Append(body);
        frames_.pop_back();
        return;
      }
      case TKind::Message:
        // All its lines were header lines; its body is empty.
        frames_.pop_back();
        OpenMessageBody();
        return;
      case TKind::Multipart:
        if (top.state == TState::Header) {
          // The last part has header lines only.
          top.state = TState::Body;
          OpenPart();
          return;
        }
        Pop();
        return;
    }
  }

  void Pop() {
    if (frames_.back().kind == TKind::Multipart) markers_.RemoveLast();
    frames_.pop_back();
  }

  // The body of a part starts: its header lines are complete.
  void OpenPart() {
    THeaders headers = TakeHeaders();
    Open(ContentTypeOf(headers), TransferEncodingOf(headers), ContentIdOf(headers));
  }

  // The body of an embedded message starts; its header lines, decoded, and an empty line come
  // first in the output.
  void OpenMessageBody() {
    THeaders headers = TakeHeaders();
    out_.insert(out_.end(), headers.Lines().begin(), headers.Lines().end());
    out_.emplace_back();
    Open(ContentTypeOf(headers), TransferEncodingOf(headers));
  }

  THeaders TakeHeaders() {
    std::vector<std::string> lines = std::move(pending_);
    pending_.clear();
    UnfoldLines(lines);
    THeaders headers(std::move(lines));
    DecodeHeaderLines(headers);
    return headers;
  }

  void Open(const TContentType& content, std::string encoding, std::string contentId = {}) {
    if (!HoldsParts(content)) {
      single_ = content;
      singleEncoding_ = std::move(encoding);
      singleContentId_ = std::move(contentId);
      frames_.push_back({TKind::Single});
      return;
    }
    if (content.type == TMediaType::Message) {
      frames_.push_back({TKind::Message});
      return;
    }
    TFrame frame{TKind::Multipart};
    frame.tentative = true;
    frame.htmlSeenBefore = htmlSeen_;
    frame.imagesBefore = images_ ? images_->size() : 0;
    // Of alternatives, the first is the plainest.
    frame.maxParts = content.subtype == "ALTERNATIVE" ? 1 : TMimeLimits::kMaxParts;
    frame.outputBefore = out_.size();
    markers_.Add("--" + content.boundary, static_cast<uint32_t>(frames_.size()));
    frames_.push_back(frame);
  }

  // A placeholder needs none of its part's lines, unless its image is kept.
  [[nodiscard]] bool SingleKeepsLines() const {
    return single_.type == TMediaType::Text || single_.type == TMediaType::Multipart ||
           single_.type == TMediaType::Message || KeepsImage();
  }

  [[nodiscard]] bool KeepsImage() const {
    return images_ && single_.type == TMediaType::Image && singleEncoding_ == "BASE64" &&
           !singleContentId_.empty() && images_->size() < TMimeLimits::kMaxImages;
  }

  static std::string DecodedBase64(const std::vector<std::string>& lines) {
    std::string joined;
    for (const std::string& line : lines) joined += line;
    return TBase64::Decode(joined);
  }

  void Append(std::vector<std::string>& lines) {
    if (out_.empty()) {
      out_ = std::move(lines);
    } else {
      out_.insert(out_.end(), std::make_move_iterator(lines.begin()),
                  std::make_move_iterator(lines.end()));
    }
    lines.clear();
  }

  const bool convertHtml_;
  bool& htmlSeen_;
  // Where kept images go; none when they are not kept.
  std::vector<TInlineImage>* const images_;
  std::vector<TFrame> frames_;
  TMimeMarkers markers_;
  // The lines the innermost frame holds: header lines, or the body of a single part.
  std::vector<std::string> pending_;
  // The content of the single part on top of the stack.
  TContentType single_;
  std::string singleEncoding_;
  std::string singleContentId_;
  std::vector<std::string> out_;
};

}  // namespace

bool TDeMIME::IsMime(const THeaders& headers) {
  return headers.HasHeader("Content-Type") || headers.HasHeader("MIME-Version");
}

bool TDeMIME::DecodeHeaders(THeaders& headers) { return DecodeHeaderLines(headers); }

bool TDeMIME::DecodeBody(const THeaders& headers, std::vector<std::string>& lines) {
  try {
    TrimLineEnds(lines);
    const TContentType content = ContentTypeOf(headers);
    if (content.type == TMediaType::Multipart && !IsSupportedMultipart(content)) return false;
    if (HoldsParts(content)) return TBodyWalk(convertHtml_, htmlSeen_, images_).Run(content, lines);
    return DecodeSingleBody(content, TransferEncodingOf(headers), convertHtml_, htmlSeen_, lines);
  } catch (const std::exception&) {
    return false;
  }
}

bool TDeMIME::DecodePart(THeaders& headers, std::vector<std::string>& lines) {
  const bool headersDecoded = DecodeHeaders(headers);
  const bool bodyDecoded = DecodeBody(headers, lines);
  return headersDecoded && bodyDecoded;
}

}  // namespace tarnwell
