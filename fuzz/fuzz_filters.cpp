// Loads arbitrary bytes as a filter file, then describes, lists, writes and applies every
// filter that was read.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "filtering/FilterList.h"
#include "message/Emails.h"
#include "message/MessageText.h"
#include "platform/Files.h"

using namespace tarnwell;

namespace {

const std::string& Folder() {
  static const std::string folder = [] {
    char pattern[] = "/tmp/fuzz-filters-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    return std::string(pattern) + "/";
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = Folder() + "Filters.dat";
  WriteFileDirect(file, std::string_view(reinterpret_cast<const char*>(data), size));
  TFilterList list(file);
  list.Load(false);
  // The copy of a damaged input is of no use here, and kept copies would pile up.
  if (!list.DamagedCopy().empty()) DeleteFileAt(list.DamagedCopy());
  static TEmail message = [] {
    TEmail email;
    ParseMessageText(
        "Received: from relay.example.co.uk ([10.0.0.1]) by mx.example.org\r\n"
        "From: A <a@example.com>\r\nTo: b@example.org, c@example.net\r\nReply-To: r@x.com\r\n"
        "Subject: Hello there\r\nX-Mailer: Test\r\n\r\nSome text with words.\r\n",
        email);
    return email;
  }();
  for (int i = 0; i < list.Count(); ++i) {
    TFilter* filter = list.Filter(i);
    (void)filter->Description();
    (void)filter->SearchText();
    (void)filter->SortKey1();
    (void)filter->SortKey2();
    TFilterListItem item;
    filter->FillListItem(item);
    list.Classify(message, filter);
  }
  list.Classify(message);
  list.WriteFile(0xFF, Folder() + "Copy.dat");
  return 0;
}
