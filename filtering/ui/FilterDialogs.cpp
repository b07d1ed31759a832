#include "filtering/ui/FilterDialogs.h"

#include <QPointer>

#include "filtering/Filters.h"
#include "filtering/ui/DlgHeaderFlt.h"
#include "filtering/ui/DlgMultipleFlt.h"
#include "filtering/ui/DlgSenderFlt.h"
#include "filtering/ui/DlgSubjectFlt.h"
#include "filtering/ui/DlgTextFlt.h"

namespace tarnwell {

namespace {

// Runs the dialog modally and frees it, unless its owner went away meanwhile and took it along.
bool Run(QDialog* dialog) {
  const QPointer<QDialog> alive(dialog);
  const bool ok = dialog->exec() == QDialog::Accepted;
  delete alive.data();
  return ok;
}

}  // namespace

std::unique_ptr<QDialog> FilterDialogFor(TFilter& filter, bool isNew, QWidget* parent) {
  switch (filter.Kind) {
    case fkSender: return std::make_unique<TSenderFltDlg>(filter, isNew, parent);
    case fkSubject: return std::make_unique<TSubjectFltDlg>(filter, parent);
    case fkText: return std::make_unique<TTextFltDlg>(filter, parent);
    case fkHeader: return std::make_unique<THeaderFltDlg>(filter, parent);
    default: return nullptr;
  }
}

bool EditFilter(TFilter& filter, bool isNew, QWidget* parent) {
  std::unique_ptr<QDialog> dialog = FilterDialogFor(filter, isNew, parent);
  return dialog && Run(dialog.release());
}

bool EditActionOf(TFilter& scratch, QWidget* parent) {
  return Run(new TMultipleFltDlg(scratch, parent));
}

}  // namespace tarnwell
