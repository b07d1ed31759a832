#pragma once

class QWidget;

namespace tarnwell {

class TAccount;

// Shows the account properties dialog on `account` modally; true when it ended with OK and
// the account's fields were written (saving them is the caller's).
bool EditAccount(TAccount& account, QWidget* parent);

}  // namespace tarnwell
