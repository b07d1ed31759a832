#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwell {

// A text file kept whole in memory as lines "yy-mm-dd hh:nn:ss [text]", written out after each
// addition and capped at 10000 lines. Serves the program log and the error file.
class TLogFile {
 public:
  static constexpr size_t kMaxLines = 10000;

  // Appends one line and saves; −1 while disabled. While loading, the text is taken as it is.
  int Add(std::string_view text);
  // Appends each line with the same formatting and saves once.
  void AddStrings(const std::vector<std::string>& lines);
  void SetEnabled(bool enabled);
  [[nodiscard]] bool Enabled() const { return enabled_; }
  // Takes a new file name and deletes the file at that path, so each run starts a new log.
  void SetFileName(const std::string& path);
  // Takes a file name without deleting the file.
  void AssignFileName(const std::string& path) { fileName_ = path; }
  [[nodiscard]] const std::string& FileName() const { return fileName_; }
  // Writes the lines out (when enabled), dropping the oldest beyond the cap. When the folder
  // cannot be written, moves the file to the user's documents folder; a second failure raises.
  void Save();
  // Reads the file's lines into memory as they are.
  void LoadExisting();

  [[nodiscard]] const std::vector<std::string>& Lines() const { return lines_; }
  void DeleteFirstLines(size_t count);

  // "yy-mm-dd hh:nn:ss [text]" for now, with control characters written as "<code>".
  static std::string FormatLine(std::string_view text);

 private:
  void Trim();
  void Write();

  std::vector<std::string> lines_;
  bool enabled_ = false;
  bool loading_ = false;
  std::string fileName_;
  // Lines of `lines_` known to be in the file already, so a save below the cap appends.
  size_t written_ = 0;
  // The file no longer matches the head of `lines_` and must be written whole.
  bool rewrite_ = true;
};

// The program log, alive for the whole run.
TLogFile& ProgramLog();

}  // namespace tarnwell
