#pragma once

class QDialog;
class QHBoxLayout;
class QPushButton;

namespace tarnwell {

// The row of "OK" (the default button, accepting `dialog`), "Cancel" (rejecting it) and, when
// given, the "&Help" button, which stays disabled until the dialog has something to open.
[[nodiscard]] QHBoxLayout* DialogButtons(QDialog& dialog, QPushButton* help = nullptr);

}  // namespace tarnwell
