#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace tarnwell {

// One level of a chain of exceptions, as the error file reports it.
struct TExceptionInfo {
  std::string className;
  std::string message;
  // The system exception code: a C++ exception, or the code a fatal signal maps to.
  uint32_t code = 0;
  uint32_t flags = 0;
  uintptr_t address = 0;
  // The system's text for an operating-system error, empty otherwise.
  std::string systemText;
};

inline constexpr uint32_t kCppExceptionCode = 0xE0000001;

// The name of a system exception code ("EXCEPTION_ACCESS_VIOLATION", …), or the code as eight
// hexadecimal digits.
[[nodiscard]] std::string ExceptionCodeName(uint32_t code);
// The system exception code nearest to a fatal signal.
[[nodiscard]] uint32_t SignalExceptionCode(int signal, int siCode);

// Describes `error` and the exceptions nested in it, outermost first.
[[nodiscard]] std::vector<TExceptionInfo> DescribeExceptionChain(std::exception_ptr error);

// The report's lines: per level "Level n", the standard message, the code name with the flags,
// and the system text when there is one.
[[nodiscard]] std::vector<std::string> FormatErrorReport(const std::vector<TExceptionInfo>& chain);

// Appends a report to the error file, keeping at most 500 older lines before it. Never raises.
void WriteErrorReport(const std::string& fileName, const std::vector<TExceptionInfo>& chain);

// Puts a warning the user is shown on record, in the program log and the program folder's error
// file, for damage the program got over (a damaged file it repaired). Never raises.
void RecordWarning(const std::string& text);

}  // namespace tarnwell
