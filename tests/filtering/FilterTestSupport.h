#pragma once

#include <memory>
#include <string>

#include "message/Emails.h"
#include "message/MessageText.h"
#include "shell/Settings.h"

namespace tarnwell::test {

// A message record made from its text; "\n" line ends are fine.
inline std::unique_ptr<TEmail> Message(const std::string& text) {
  auto email = std::make_unique<TEmail>();
  ParseMessageText(text, *email);
  return email;
}

// Settings of the test's own, installed while the object lives.
class TTestSettings {
 public:
  TTestSettings() { InstallSettings(&settings); }
  ~TTestSettings() { InstallSettings(nullptr); }
  TSettings settings;
};

}  // namespace tarnwell::test
