#include "shell/ui/DisplayText.h"

#include <QStringDecoder>
#include <string>

#include "message/DisplayText.h"
#include "message/QStrings.h"

namespace tarnwell {

namespace {

// Qt knows Windows-1252 only when it is built with ICU.
bool IsWindows1252(std::string_view name) {
  return SameText(name, "windows-1252") || SameText(name, "cp1252") || SameText(name, "x-cp1252");
}

QString Windows1252String(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (const char byte : bytes) text += QChar(Windows1252Char(static_cast<unsigned char>(byte)));
  return text;
}

}  // namespace

QString DisplayString(std::string_view bytes) {
  const std::string text = DisplayText(bytes);
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString DisplayString(std::string_view bytes, std::string_view charset) {
  const std::string name = Trim(charset);
  // Invalid UTF-8 reads better as Windows-1252 than as replacement characters.
  if (name.empty() || SameText(name, "UTF-8") || SameText(name, "UTF8"))
    return DisplayString(bytes);
  if (IsWindows1252(name)) return Windows1252String(bytes);
  QStringDecoder decoder(name.c_str());
  if (!decoder.isValid()) return DisplayString(bytes);
  QString text = decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  if (decoder.hasError()) return DisplayString(bytes);
  return text;
}

QString DecodedDisplayString(std::string_view value) {
  QString text;
  for (const TTextPiece& piece : SplitEncodedWords(value))
    text += piece.Encoded ? DisplayString(piece.Bytes, piece.Charset) : DisplayString(piece.Bytes);
  return text;
}

QString OneLine(QString text) {
  for (QChar& c : text)
    if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
        c == QChar::ParagraphSeparator)
      c = QLatin1Char(' ');
  return text;
}

}  // namespace tarnwell
