// A StdSenderHeaders.dat from outside: only the headers a sender filter can look in come out,
// and a line added at the end that unticks a header never changes what the text ticked, since
// the first line naming a header counts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "filtering/SenderHeaders.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const uint32_t ticked = tarnwell::ParseStdSenderHeaders(text);
  uint32_t offered = 0;
  for (const int number : tarnwell::kSenderHeaders) offered |= 1u << number;
  Check((ticked & ~offered) == 0);
  Check(tarnwell::ParseStdSenderHeaders(text + "\nFrom=0\nreceived=0") == ticked);
  return 0;
}
