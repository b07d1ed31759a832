// Address lists, dates and message text from outside: none of them may crash, hang or read out
// of bounds, and a walk over an address list must always move forward.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "message/DomainLists.h"
#include "message/SvcString.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool loaded = [] {
    tarnwell::LoadDomainLists(TARNWELL_SOURCE_DATA_DIR);
    return true;
  }();
  (void)loaded;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const tarnwell::TAddressParts parts = tarnwell::ParseAddress(text);
  if (parts.address.size() > size || parts.name.size() > size) std::abort();

  size_t pos = 1;
  for (;;) {
    const size_t before = pos;
    const std::string element = tarnwell::NextAddress(text, pos);
    if (element.empty()) {
      if (pos != before) std::abort();
      break;
    }
    if (pos <= before || pos > size + 1) std::abort();
    (void)tarnwell::AddressOf(element);
  }

  (void)tarnwell::ParseMessageDate(text);

  std::vector<std::string> addresses;
  std::vector<std::string> domains;
  tarnwell::ExtractAddressesAndDomains(text, addresses, domains);
  for (const std::string& domain : domains) (void)tarnwell::RegisteredDomain(domain);

  (void)tarnwell::RegisteredDomain(text);
  return 0;
}
