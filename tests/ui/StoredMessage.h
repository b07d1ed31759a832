#pragma once

#include <string>
#include <vector>

namespace tarnwell {
class TEmail;
class TEmailList;
}  // namespace tarnwell

namespace tarnwell::test {

// A message of `headers` ("\n" between lines) and `body` added to `list` and written to its
// folder, its text released as a page leaves it.
TEmail& StoreMessage(TEmailList& list, const std::string& headers,
                     const std::vector<std::string>& body);

}  // namespace tarnwell::test
