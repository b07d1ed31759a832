// A header block from outside: every look-up must stay in bounds and agree with the others
// (the present set with the look-ups by number, the backward walk with the look-up by name).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "message/DomainLists.h"
#include "message/Headers.h"
#include "message/QStrings.h"

using tarnwell::THeaders;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void WalkName(THeaders& headers, const std::string& name) {
  const std::string key = tarnwell::Trim(name) + ":";
  int previous = headers.Count();
  const int last = headers.IndexOfName(name);
  const int first = headers.FindFirst(name);
  Check(first == last);
  for (int i = first; i >= 0; i = headers.FindNext()) {
    Check(i < previous);
    Check(tarnwell::SameText(std::string_view(headers[i]).substr(0, key.size()), key));
    previous = i;
  }
  Check(headers.FindNext() == -1);
  Check(headers.HasHeader(name) == (last >= 0));
  Check(headers.ValueOf(name) == headers.ValueAt(last));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool loaded = [] {
    tarnwell::LoadDomainLists(TARNWELL_SOURCE_DATA_DIR);
    return true;
  }();
  (void)loaded;
  THeaders headers;
  headers.SetText(std::string_view(reinterpret_cast<const char*>(data), size));

  std::vector<std::string> list;
  for (int i = -1; i <= headers.Count(); ++i) {
    (void)headers.NameAt(i);
    (void)headers.ValueAt(i);
    for (int number = 0; number <= tarnwell::kStdHeaderCount + 1; ++number) {
      (void)headers.StdValueAt(i, number);
    }
    if (i >= 0 && i < headers.Count()) {
      headers.ReceivedHosts(i, list, false);
      headers.ReceivedHosts(i, list, true);
    }
  }

  const tarnwell::TStdSet present = headers.PresentSet();
  for (int number = 0; number <= tarnwell::kStdHeaderCount + 1; ++number) {
    const int index = headers.IndexOfStd(number);
    const bool standard = number >= 1 && number <= tarnwell::kStdHeaderCount;
    Check(standard ? ((present & tarnwell::StdBit(number)) != 0) == (index >= 0) : index == -1);
    Check(headers.LineOfStd(number) == (index >= 0 ? headers[index] : std::string()));
    for (const bool validOnly : {false, true}) {
      const bool found = headers.StdValues(number, list, validOnly);
      Check(found == !list.empty());
    }
  }

  for (int i = 0; i < headers.Count() && i < 8; ++i) WalkName(headers, headers.NameAt(i));
  WalkName(headers, "Received");
  (void)headers.TextWithoutStatus();

  if (headers.Count() > 0) {
    THeaders changed = headers;
    const std::string name = changed.NameAt(changed.Count() - 1);
    const int count = changed.Count();
    const bool had = changed.HasHeader(name);
    (void)changed.Take(name);
    Check(changed.Count() == count - (had ? 1 : 0));
    changed.RemoveAll(name);
    Check(!changed.HasHeader(name));
    changed.SetStd(tarnwell::shSubject, "x");
    // The kept set follows the changes.
    Check(changed.PresentSet() == THeaders(changed.Lines()).PresentSet());
  }
  return 0;
}
