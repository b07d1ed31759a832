#pragma once

#include <memory>
#include <string>
#include <vector>

#include "message/Emails.h"

namespace tarnwell {

// What a check left in Live Mail, with what it decided about each message, in one file in the
// account's folder. The Inbox folder cannot tell it: it is emptied when the account is opened
// and when the program ends, and its files hold no status.
inline constexpr const char* kLiveMailListName = "LiveMail.lst";

// Writes the records of `inbox` to the file at `path`, replacing it whole; raises TError.
void WriteLiveMailList(const TEmailList& inbox, const std::string& path);
// The records of the file, with their number, status, size, read flag, last sighting, reason,
// sender, subject and date; none when there is no file.
[[nodiscard]] std::vector<std::unique_ptr<TEmail>> ReadLiveMailList(const std::string& path);

}  // namespace tarnwell
