#pragma once

#include <map>
#include <string>

#include "accounts/ui/DlgNewAccount.h"

namespace tarnwell::test {

// What the wizard's fields get, by the fields' names ("edDescription", "edPassword", ...); the
// security choices ("cbPop3Security", "cbSmtpSecurity") take "TLS", "STARTTLS" or "None", and
// "chkSmtpAuth" "yes" or "no".
using TWizardEntry = std::map<std::string, std::string>;

// A POP3 account on example.com servers with every field filled.
[[nodiscard]] TWizardEntry CompleteEntry();
void Enter(TNewAccountDlg& wizard, const TWizardEntry& entry);

// Presses "&Next >" (or "&Finish").
void PressNext(TNewAccountDlg& wizard);
// Presses "&Next >" on a page that refuses it: the information the wizard shows, answered.
[[nodiscard]] std::string NextRefused(TNewAccountDlg& wizard);
// Presses "&Next >" until `page` shows; fails the test when the wizard stops before it.
void GoTo(TNewAccountDlg& wizard, TNewAccountDlg::TPage page);

// The text a label shows, with its line breaks as "\r" and without the marks that let it wrap.
[[nodiscard]] std::string LabelText(const QWidget& window, const char* name);

}  // namespace tarnwell::test
