#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "message/Headers.h"

namespace tarnwell {

// The bounds that keep a malformed message from making the decoder run long. Multipart and
// message/rfc822 bodies nest to any depth: the decoder keeps one small record per level on a stack
// of its own, which the message's lines bound.
struct TMimeLimits {
  // Parts decoded of one multipart body; the lines after the last of them are dropped.
  static constexpr int kMaxParts = 100;
  // Decoded bytes of encoded words read again for further words, as a multiple of the header
  // value's length (plus a little); words nested past it are left encoded.
  static constexpr size_t kRereadFactor = 4;
  static constexpr size_t kRereadExtra = 1024;
  // Images kept of one message for its HTML (TDeMIME::KeepImages).
  static constexpr size_t kMaxImages = 100;
};

// An image part of a message, decoded, that the message's HTML can show by its Content-ID (a
// cid: address, RFC 2392).
struct TInlineImage {
  // The Content-ID without its angle brackets.
  std::string contentId;
  std::string bytes;
};

// Turns MIME structure into plain text lines in place: encoded words in headers, base64 and
// quoted-printable bodies, multipart bodies, embedded messages, HTML, rich and enriched text.
// Non-text parts become one placeholder line. Charsets are not converted.
class TDeMIME {
 public:
  // The headers have a "Content-Type" or a "MIME-Version" line.
  [[nodiscard]] static bool IsMime(const THeaders& headers);
  // Decodes the encoded words of every line and writes each line as name, ": " and value.
  bool DecodeHeaders(THeaders& headers);
  // Decodes the body lines as the headers describe them. False when something failed or the
  // multipart subtype is not supported; the lines are then left as far as decoding got.
  bool DecodeBody(const THeaders& headers, std::vector<std::string>& lines);
  // DecodeHeaders, then DecodeBody.
  bool DecodePart(THeaders& headers, std::vector<std::string>& lines);

  // Set when a text/html part was met; the owner clears it.
  [[nodiscard]] bool HtmlSeen() const { return htmlSeen_; }
  void SetHtmlSeen(bool seen) { htmlSeen_ = seen; }
  // Reduce HTML parts to text (off by default).
  [[nodiscard]] bool ConvertHtml() const { return convertHtml_; }
  void SetConvertHtml(bool convert) { convertHtml_ = convert; }
  // While set, DecodeBody adds to `images` the base64 image parts inside multipart or embedded
  // bodies that have a Content-ID, up to kMaxImages; the decoded lines stay the same.
  void KeepImages(std::vector<TInlineImage>* images) { images_ = images; }

 private:
  bool htmlSeen_ = false;
  bool convertHtml_ = false;
  std::vector<TInlineImage>* images_ = nullptr;
};

}  // namespace tarnwell
