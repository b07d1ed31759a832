#pragma once

#include <string>
#include <vector>

namespace tarnwell {

// The body decoders that read their lines as one stream of characters: each line followed by
// a carriage return, except that a line ending in "=" runs on into the next one without the "="
// (a soft line break). A line break inside an item (CR LF, CR or LF) is a line end too. They
// take the lines over and let each go once read, so that a long text is not held twice.

// Quoted-printable: "=" and two hexadecimal digits give that byte; "=" with two other
// characters gives nothing.
[[nodiscard]] std::vector<std::string> DecodeQuotedPrintable(std::vector<std::string> lines);
// Tags dropped, block tags turned into line breaks, the head left out, images marked
// "(Image) ", entities of the Latin-1 table and decimal entities up to 255 replaced by their byte.
[[nodiscard]] std::vector<std::string> HtmlToText(std::vector<std::string> lines);
// text/richtext (RFC 1341): <nl>, <np> and </paragraph> break lines, <lt> gives "<".
[[nodiscard]] std::vector<std::string> RichTextToText(std::vector<std::string> lines);
// text/enriched (RFC 1896): n line ends in a row give n - 1 line breaks; <param> is left out.
[[nodiscard]] std::vector<std::string> EnrichedToText(std::vector<std::string> lines);

}  // namespace tarnwell
