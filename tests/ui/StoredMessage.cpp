#include "tests/ui/StoredMessage.h"

#include <memory>

#include "message/Emails.h"

namespace tarnwell::test {

TEmail& StoreMessage(TEmailList& list, const std::string& headers,
                     const std::vector<std::string>& body) {
  auto email = std::make_unique<TEmail>();
  email->Headers.SetText(headers);
  email->ParseHeaders();
  email->Body = body;
  email->BodyState = TEmail::bsRetrieved;
  email->BodyLoaded = true;
  TEmail* added = list.Add(std::move(email));
  added->Save();
  added->ClearBody();
  return *added;
}

}  // namespace tarnwell::test
