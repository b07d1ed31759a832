#include "shell/ErrorReport.h"

#include <cxxabi.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <system_error>
#include <typeinfo>

#include "platform/Error.h"
#include "platform/Files.h"
#include "shell/LogFile.h"
#include "shell/ProgramFolders.h"

namespace tarnwell {

namespace {

std::string Hex8(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%08llX", static_cast<unsigned long long>(value));
  return text;
}

std::string Demangle(const char* name) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> plain(abi::__cxa_demangle(name, nullptr, nullptr, &status),
                                               std::free);
  std::string result = status == 0 && plain ? plain.get() : name;
  // Our own classes are reported by their plain names.
  if (result.rfind("tarnwell::", 0) == 0) result.erase(0, 10);
  return result;
}

void Describe(std::exception_ptr error, std::vector<TExceptionInfo>& chain) {
  TExceptionInfo info;
  info.code = kCppExceptionCode;
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    info.className = Demangle(typeid(e).name());
    info.message = e.what();
    if (const auto* system = dynamic_cast<const std::system_error*>(&e))
      info.systemText = system->code().message();
    chain.push_back(info);
    try {
      std::rethrow_if_nested(e);
    } catch (...) {
      Describe(std::current_exception(), chain);
    }
  } catch (...) {
    const std::type_info* type = abi::__cxa_current_exception_type();
    info.className = type ? Demangle(type->name()) : "unknown";
    info.message = "Unknown exception.";
    chain.push_back(info);
  }
}

}  // namespace

std::string ExceptionCodeName(uint32_t code) {
  static const std::pair<uint32_t, const char*> kNames[] = {
      {0xC0000005, "EXCEPTION_ACCESS_VIOLATION"},
      {0xC000008C, "EXCEPTION_ARRAY_BOUNDS_EXCEEDED"},
      {0x80000003, "EXCEPTION_BREAKPOINT"},
      {0x80000002, "EXCEPTION_DATATYPE_MISALIGNMENT"},
      {0xC000008D, "EXCEPTION_FLT_DENORMAL_OPERAND"},
      {0xC000008E, "EXCEPTION_FLT_DIVIDE_BY_ZERO"},
      {0xC000008F, "EXCEPTION_FLT_INEXACT_RESULT"},
      {0xC0000090, "EXCEPTION_FLT_INVALID_OPERATION"},
      {0xC0000091, "EXCEPTION_FLT_OVERFLOW"},
      {0xC0000092, "EXCEPTION_FLT_STACK_CHECK"},
      {0xC0000093, "EXCEPTION_FLT_UNDERFLOW"},
      {0x80000001, "EXCEPTION_GUARD_PAGE"},
      {0xC000001D, "EXCEPTION_ILLEGAL_INSTRUCTION"},
      {0xC0000006, "EXCEPTION_IN_PAGE_ERROR"},
      {0xC0000094, "EXCEPTION_INT_DIVIDE_BY_ZERO"},
      {0xC0000095, "EXCEPTION_INT_OVERFLOW"},
      {0xC0000026, "EXCEPTION_INVALID_DISPOSITION"},
      {0xC0000008, "EXCEPTION_INVALID_HANDLE"},
      {0xC0000025, "EXCEPTION_NONCONTINUABLE_EXCEPTION"},
      {0xC0000096, "EXCEPTION_PRIV_INSTRUCTION"},
      {0x80000004, "EXCEPTION_SINGLE_STEP"},
      {0xC00000FD, "EXCEPTION_STACK_OVERFLOW"},
  };
  for (const auto& [value, name] : kNames)
    if (value == code) return name;
  return Hex8(code);
}

uint32_t SignalExceptionCode(int signal, int siCode) {
  switch (signal) {
    case SIGSEGV: return 0xC0000005;
    case SIGBUS: return siCode == BUS_ADRALN ? 0x80000002 : 0xC0000006;
    case SIGILL: return siCode == ILL_PRVOPC ? 0xC0000096 : 0xC000001D;
    case SIGTRAP: return siCode == TRAP_TRACE ? 0x80000004 : 0x80000003;
    case SIGFPE:
      switch (siCode) {
        case FPE_INTDIV: return 0xC0000094;
        case FPE_INTOVF: return 0xC0000095;
        case FPE_FLTDIV: return 0xC000008E;
        case FPE_FLTOVF: return 0xC0000091;
        case FPE_FLTUND: return 0xC0000093;
        case FPE_FLTRES: return 0xC000008F;
        case FPE_FLTSUB: return 0xC000008C;
        default: return 0xC0000090;
      }
    case SIGABRT: return 0xC0000025;
    default: return 0xC0000000u | static_cast<uint32_t>(signal);
  }
}

std::vector<TExceptionInfo> DescribeExceptionChain(std::exception_ptr error) {
  std::vector<TExceptionInfo> chain;
  if (error) Describe(error, chain);
  return chain;
}

std::vector<std::string> FormatErrorReport(const std::vector<TExceptionInfo>& chain) {
  std::vector<std::string> lines;
  for (size_t level = 0; level < chain.size(); ++level) {
    const TExceptionInfo& e = chain[level];
    lines.push_back("Level " + std::to_string(level));
    lines.push_back("Exception " + e.className + " in module tarnwell at " + Hex8(e.address) +
                    ". " + e.message);
    lines.push_back(ExceptionCodeName(e.code) + ", " + Hex8(e.flags));
    if (!e.systemText.empty()) lines.push_back(e.systemText);
  }
  return lines;
}

void WriteErrorReport(const std::string& fileName, const std::vector<TExceptionInfo>& chain) {
  try {
    TLogFile file;
    file.AssignFileName(fileName);
    file.SetEnabled(true);
    if (FileExists(fileName)) {
      file.LoadExisting();
      if (file.Lines().size() > 500) file.DeleteFirstLines(file.Lines().size() - 500);
    }
    file.AddStrings(FormatErrorReport(chain));
  } catch (...) {
  }
}

void RecordWarning(const std::string& text) {
  try {
    ProgramLog().Add(text);
  } catch (...) {
  }
  WriteErrorReport(TProgramFolders::ProgramFolder() + "Tarnwell.err",
                   DescribeExceptionChain(std::make_exception_ptr(TError(text))));
}

}  // namespace tarnwell
