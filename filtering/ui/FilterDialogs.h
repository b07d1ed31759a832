#pragma once

#include <memory>

class QDialog;
class QWidget;

namespace tarnwell {

class TFilter;

// The editing dialog of the filter's kind (sender, subject, message text, header); none for a
// kind without one. `isNew` gives a new sender filter the headers of StdSenderHeaders.dat.
[[nodiscard]] std::unique_ptr<QDialog> FilterDialogFor(TFilter& filter, bool isNew,
                                                       QWidget* parent);

// Runs the filter's dialog: true after OK, with the filter changed; false after Cancel (or for
// a kind without a dialog), the filter as it was.
bool EditFilter(TFilter& filter, bool isNew, QWidget* parent);

// Runs the "Multiple filters" dialog on a scratch filter carrying an action and recipients:
// true after OK, with the chosen ones in it.
bool EditActionOf(TFilter& scratch, QWidget* parent);

}  // namespace tarnwell
