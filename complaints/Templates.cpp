#include "complaints/Templates.h"

#include <cstdio>

#include "message/Emails.h"
#include "message/QStrings.h"
#include "message/SvcString.h"
#include "platform/Error.h"
#include "platform/Files.h"
#include "shell/LogFile.h"
#include "shell/ProgramFolders.h"

namespace tarnwell {

namespace {

// Decimal, or hexadecimal after "$" (up to eight digits, read as a 32-bit pattern).
bool ParseVersion(std::string_view text, int32_t& value) {
  if (!text.empty() && text.front() == '$') {
    const std::string_view digits = text.substr(1);
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t number = 0;
    for (const char c : digits) {
      int digit;
      if (c >= '0' && c <= '9')
        digit = c - '0';
      else if (c >= 'A' && c <= 'F')
        digit = c - 'A' + 10;
      else if (c >= 'a' && c <= 'f')
        digit = c - 'a' + 10;
      else
        return false;
      number = number * 16 + static_cast<uint32_t>(digit);
    }
    value = static_cast<int32_t>(number);
    return true;
  }
  int64_t number = 0;
  if (!ToInteger(text, number) || number < INT32_MIN || number > INT32_MAX) return false;
  value = static_cast<int32_t>(number);
  return true;
}

const char* YesNo(bool flag) { return flag ? "=Y" : "=N"; }

TTemplates*& InstalledTemplates() {
  static TTemplates* installed = nullptr;
  return installed;
}

}  // namespace

std::string TemplateFileName(std::string_view name) {
  if (name.empty() || name.find('/') != std::string_view::npos ||
      name.find('\0') != std::string_view::npos)
    throw TError("\"" + std::string(name) + "\" cannot be used as the name of a message template.");
  return TProgramFolders::ComplaintsFolder() + std::string(name) + ".txt";
}

bool TTemplate::ParseFileText(std::string_view text) {
  std::vector<std::string> lines = SplitTextLines(text);
  std::string name = std::move(Name);
  *this = TTemplate();
  Name = std::move(name);
  size_t next = 0;
  if (!lines.empty()) {
    const std::string& first = lines.front();
    const size_t equals = first.find('=');
    if (equals != std::string::npos && first.compare(0, equals, "VERSION") == 0) {
      int32_t version = 0;
      if (ParseVersion(std::string_view(first).substr(equals + 1), version)) Version = version;
      next = 1;
    }
  }
  if (Version > 0) {
    for (; next < lines.size() && !lines[next].empty(); ++next) {
      const std::string& line = lines[next];
      const size_t equals = line.find('=');
      if (equals == std::string::npos) continue;
      const std::string_view key = std::string_view(line).substr(0, equals);
      std::string value = line.substr(equals + 1);
      if (key == "NAME")
        Name = std::move(value);
      else if (key == "INCLSUBJECT")
        InclSubject = value == "Y";
      else if (key == "INCLHEADERS")
        InclHeaders = value == "Y";
      else if (key == "INCLTEXT")
        InclText = value == "Y";
      else if (key == "CC")
        Cc = std::move(value);
      else if (key == "SUBJECT")
        Subject = std::move(value);
      else if (key == "RESPONSE")
        Response = value == "Y";
      else if (key == "SENDER")
        Sender = std::move(value);
    }
    if (next == lines.size()) return false;
    ++next;
  } else {
    if (lines.size() - next < 2) return false;
    Subject = lines[next];
    Cc = lines[next + 1];
    InclHeaders = true;
    next += 2;
  }
  Lines.assign(std::make_move_iterator(lines.begin() + static_cast<std::ptrdiff_t>(next)),
               std::make_move_iterator(lines.end()));
  return true;
}

std::string TTemplate::FileText() const {
  char version[16];
  std::snprintf(version, sizeof version, "%04X", static_cast<unsigned>(Version));
  std::string text = std::string("VERSION=$") + version + "\r\n";
  text += std::string("RESPONSE") + YesNo(Response) + "\r\n";
  text += "NAME=" + Name + "\r\n";
  text += "SENDER=" + Sender + "\r\n";
  text += std::string("INCLSUBJECT") + YesNo(InclSubject) + "\r\n";
  text += std::string("INCLHEADERS") + YesNo(InclHeaders) + "\r\n";
  text += std::string("INCLTEXT") + YesNo(InclText) + "\r\n";
  if (!Cc.empty()) text += "CC=" + Cc + "\r\n";
  text += "SUBJECT=" + Subject + "\r\n";
  text += "\r\n";
  for (const std::string& line : Lines) text += line + "\r\n";
  return text;
}

void TTemplate::LoadFromFile(std::string_view name) {
  Name = std::string(name);
  const std::string path = TemplateFileName(name);
  std::string text;
  if (!ReadWholeFile(path, text))
    throw TError("The message template \"" + path + "\" cannot be read.");
  if (!ParseFileText(text)) throw TError("The message template \"" + path + "\" is damaged.");
  if (Version >= CurrentTemplateVersion) return;
  // The template was read; failing to rewrite it in the current format must not lose it.
  try {
    SaveToFile();
  } catch (const TError& e) {
    ProgramLog().Add(e.what());
  }
}

void TTemplate::SaveToFile() {
  const std::string path = TemplateFileName(Name);
  if (Version < CurrentTemplateVersion) Version = CurrentTemplateVersion;
  ForceDirectories(TProgramFolders::ComplaintsFolder());
  WriteFileAtomic(path, FileText());
}

std::unique_ptr<TEmail> TTemplate::BuildMessage(const TEmail& reported) const {
  auto message = std::make_unique<TEmail>();
  message->Subject = Subject;
  if (InclSubject) message->Subject += " (" + reported.Subject.substr(0, 100) + ")";
  message->Headers.Add("Subject: " + message->Subject);
  if (!Sender.empty()) message->From = Sender;
  if (!Cc.empty()) message->Cc.push_back(Cc);
  std::vector<std::string>& body = message->Body;
  body = Lines;
  body.emplace_back();
  if (InclHeaders) {
    const std::vector<std::string>& headers = reported.Headers.Lines();
    body.insert(body.end(), headers.begin(), headers.end());
    body.emplace_back();
  }
  if (InclText) body.insert(body.end(), reported.Body.begin(), reported.Body.end());
  message->BodyState = TEmail::bsRetrieved;
  message->BodyLoaded = true;
  return message;
}

void TTemplates::Reload() {
  ProgramLog().Add("Loading complaint templates");
  Clear();
  for (const std::string& file : ListFiles(TProgramFolders::ComplaintsFolder(), ".txt")) {
    if (file.size() <= 4 || file.front() == '.') continue;
    const std::string candidate = file.substr(0, file.size() - 4);
    auto item = std::make_unique<TTemplate>();
    try {
      item->LoadFromFile(candidate);
    } catch (const TError& e) {
      // One damaged file must not hide the templates after it.
      ProgramLog().Add(e.what());
      continue;
    }
    names_.push_back(item->Name);
    ProgramLog().Add("  " + item->Name);
    items_.push_back(std::move(item));
  }
  ProgramLog().Add("Done loading complaint templates");
}

TTemplate* TTemplates::Add(std::unique_ptr<TTemplate> item) {
  TTemplate* added = item.get();
  names_.push_back(item->Name);
  items_.push_back(std::move(item));
  added->SaveToFile();
  return added;
}

void TTemplates::Update(TTemplate& item) {
  size_t index = 0;
  while (index < items_.size() && items_[index].get() != &item) ++index;
  // The new file is written before the old one goes, so a failed save keeps the template.
  item.SaveToFile();
  if (index == items_.size()) return;
  const std::string oldName = names_[index];
  names_[index] = item.Name;
  if (oldName != item.Name) {
    try {
      DeleteFileAt(TemplateFileName(oldName));
    } catch (const TError&) {
    }
  }
}

void TTemplates::Remove(std::string_view name) {
  const int index = IndexOf(name);
  if (index < 0) return;
  const auto i = static_cast<size_t>(index);
  // The stored spelling names the file: file names keep their case here.
  const std::string stored = names_[i];
  items_.erase(items_.begin() + index);
  names_.erase(names_.begin() + index);
  try {
    DeleteFileAt(TemplateFileName(stored));
  } catch (const TError&) {
  }
}

TTemplate* TTemplates::Find(std::string_view name) const {
  const int index = IndexOf(name);
  return index < 0 ? nullptr : items_[static_cast<size_t>(index)].get();
}

void TTemplates::Clear() {
  items_.clear();
  names_.clear();
}

int TTemplates::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < names_.size(); ++i)
    if (SameText(names_[i], name)) return static_cast<int>(i);
  return -1;
}

TTemplates& Templates() {
  static TTemplates defaults;
  TTemplates* installed = InstalledTemplates();
  return installed ? *installed : defaults;
}

void InstallTemplates(TTemplates* templates) { InstalledTemplates() = templates; }

std::vector<TMacro> StandardMacros(std::string_view email) {
  return {{"%DATETIME", FormatMessageDate(TClock::Current().Now())},
          {"%EMAIL", std::string(email)}};
}

}  // namespace tarnwell
