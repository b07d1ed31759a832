#include "filtering/ui/DlgMultipleFlt.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "filtering/Filters.h"
#include "filtering/ui/ActionGroup.h"

namespace tarnwell {

TMultipleFltDlg::TMultipleFltDlg(TFilter& scratch, QWidget* parent)
    : QDialog(parent),
      scratch_(scratch),
      action_(new TActionGroup(QStringLiteral("Action"), this)) {
  setWindowTitle(QStringLiteral("Multiple filters"));
  setModal(true);
  action_->Load(scratch.Action, scratch.Recipients);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("btnOK"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("btnCancel"));
  connect(ok, &QPushButton::clicked, this, &TMultipleFltDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &TMultipleFltDlg::reject);

  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(6);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  buttons->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(12);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addWidget(action_, 0, Qt::AlignTop);
  layout->addLayout(buttons);
}

void TMultipleFltDlg::accept() {
  scratch_.Action = action_->Action();
  scratch_.Recipients = action_->Recipients();
  QDialog::accept();
}

}  // namespace tarnwell
