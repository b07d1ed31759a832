#pragma once

#include <string>
#include <vector>

namespace tarnwell {

// Puts a message (its header lines, an empty line and its text lines) into the Maildir `folder`
// as new mail: written in "tmp", then moved into "new"; the three sub-folders are made when
// missing. Returns the path of the message file; raises TError.
std::string DeliverToMaildir(const std::string& folder, const std::vector<std::string>& lines);

// Appends a message to the mbox file `path` (made when missing), under a "From " line with the
// envelope sender `sender` and the present time; text lines that start with "From " after any
// number of ">" get one more ">" in front (mboxrd). Raises TError.
void AppendToMbox(const std::string& path, const std::string& sender,
                  const std::vector<std::string>& lines);

}  // namespace tarnwell
