#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "message/Macros.h"

namespace tarnwell {

class TEmail;

inline constexpr int32_t CurrentTemplateVersion = 562;

// One message template: a file "<Name>.txt" in the Complaints folder.
class TTemplate {
 public:
  // Reads "<name>.txt"; an older file is written again at once in the current format. Raises
  // TError when the file cannot be read or is damaged.
  void LoadFromFile(std::string_view name);
  // Writes "<Name>.txt" in the current format, replacing any file of that name. Raises TError.
  void SaveToFile();
  // A new outgoing message made from the template and the reported message, without recipient.
  [[nodiscard]] std::unique_ptr<TEmail> BuildMessage(const TEmail& reported) const;
  // The file's text in the current format.
  [[nodiscard]] std::string FileText() const;
  // Fills the record from a file's text (fields the text lacks get their defaults); false when
  // the text is damaged. `Name` is kept unless the text carries a NAME key.
  bool ParseFileText(std::string_view text);

  int32_t Version = 0;
  bool Response = false;
  std::string Name;
  std::string Sender;
  bool InclSubject = false;
  bool InclHeaders = false;
  bool InclText = true;
  std::string Cc;
  std::string Subject;
  std::vector<std::string> Lines;
};

// The path of a template's file; raises TError for a name that cannot be a file name here.
[[nodiscard]] std::string TemplateFileName(std::string_view name);

// Every template of the Complaints folder, with their names in a parallel list.
class TTemplates {
 public:
  // Discards all templates and reads every template file of the folder. A damaged file is
  // logged and passed over.
  void Reload();
  // Takes the template, appends it and saves its file (errors raised after it was appended).
  TTemplate* Add(std::unique_ptr<TTemplate> item);
  // After `item` was edited in place: saves it under its current name and deletes the file of
  // the name it had, so a changed name renames the file.
  void Update(TTemplate& item);
  // Frees the template of that name (case ignored) and deletes its file; nothing when absent.
  void Remove(std::string_view name);
  // The template of that name, case ignored; nullptr when there is none.
  [[nodiscard]] TTemplate* Find(std::string_view name) const;
  void Clear();

  [[nodiscard]] const std::vector<std::string>& Names() const { return names_; }
  [[nodiscard]] int Count() const { return static_cast<int>(items_.size()); }
  [[nodiscard]] TTemplate* operator[](int index) const {
    return items_.at(static_cast<size_t>(index)).get();
  }

 private:
  [[nodiscard]] int IndexOf(std::string_view name) const;

  std::vector<std::unique_ptr<TTemplate>> items_;
  std::vector<std::string> names_;
};

// The program's template collection: the one installed by the start-up, else an empty one.
TTemplates& Templates();
void InstallTemplates(TTemplates* templates);

// "%DATETIME" (now, as a message date) and "%EMAIL"; account kinds append their own.
[[nodiscard]] std::vector<TMacro> StandardMacros(std::string_view email);

}  // namespace tarnwell
