#include "accounts/ui/DialogButtons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

namespace tarnwell {

QHBoxLayout* DialogButtons(QDialog& dialog, QPushButton* help) {
  auto* ok = new QPushButton(QStringLiteral("OK"));
  ok->setObjectName(QStringLiteral("btnOK"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"));
  cancel->setObjectName(QStringLiteral("btnCancel"));
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  if (help) {
    help->setObjectName(QStringLiteral("btnHelp"));
    help->setAutoDefault(false);
    help->setEnabled(false);
    buttons->addWidget(help);
  }
  return buttons;
}

}  // namespace tarnwell
