#include "filtering/ui/FilterDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/UserInterface.h"
#include "filtering/Filters.h"
#include "filtering/ui/ActionGroup.h"
#include "mainwindow/ui/FmMain.h"
#include "platform/Launcher.h"
#include "shell/ui/DisplayText.h"
#include "shell/ui/DlgMessage.h"

namespace tarnwell {

std::string EditedText(const QString& shown, const std::string& original) {
  if (shown == DisplayString(original)) return original;
  const QByteArray bytes = shown.toUtf8();
  auto length = std::min<qsizetype>(bytes.size(), kShortStringCapacity);
  // A byte 10xxxxxx continues a character.
  if (length < bytes.size())
    while (length > 0 && (static_cast<uint8_t>(bytes[length]) & 0xC0) == 0x80) --length;
  return std::string(bytes.constData(), static_cast<size_t>(length));
}

TFilterDlg::TFilterDlg(TFilter& filter, const QString& caption, QWidget* parent)
    : QDialog(parent),
      filter_(filter),
      groups_(new QVBoxLayout),
      buttons_(new QVBoxLayout),
      side_(new QVBoxLayout),
      action_(new TActionGroup(QStringLiteral("then..."), this)),
      caseMatters_(new QCheckBox(QStringLiteral("&Case matters"), this)) {
  setWindowTitle(caption);
  setModal(true);
  action_->Load(filter.Action, filter.Recipients);
  caseMatters_->setObjectName(QStringLiteral("chkCaseMatters"));
  caseMatters_->setChecked(filter.CaseMatters != 0);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("btnOK"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("btnCancel"));
  auto* help = new QPushButton(QStringLiteral("&Help"), this);
  help->setObjectName(QStringLiteral("btnHelp"));
  const std::string guide = DocumentationFile();
  help->setEnabled(!guide.empty());
  connect(ok, &QPushButton::clicked, this, &TFilterDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &TFilterDlg::reject);
  connect(help, &QPushButton::clicked, this, [guide] { StartProgram("xdg-open", {guide}); });
  buttons_->setSpacing(6);
  buttons_->addWidget(ok);
  buttons_->addWidget(cancel);
  buttons_->addWidget(help);
  buttons_->addStretch();

  auto* form = new QVBoxLayout;
  form->setSpacing(8);
  groups_->setSpacing(8);
  form->addLayout(groups_);
  form->addWidget(action_);
  form->addWidget(caseMatters_);
  form->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(12);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addLayout(form);
  layout->addLayout(buttons_);
  layout->addLayout(side_);
}

TFilterDlg::~TFilterDlg() = default;

void TFilterDlg::accept() {
  if (!WriteBack()) return;
  filter_.Action = action_->Action();
  filter_.Recipients = action_->Recipients();
  QDialog::accept();
}

QComboBox* TFilterDlg::AddConditionList(const std::vector<uint8_t>& offered, uint8_t current,
                                        const char* name) {
  auto* list = new QComboBox(this);
  list->setObjectName(QString::fromLatin1(name));
  for (const uint8_t condition : offered)
    list->addItem(QString::fromStdString(ConditionName(condition)), condition);
  if (list->findData(current) < 0)
    list->addItem(QString::fromStdString(ConditionName(current)), current);
  list->setCurrentIndex(list->findData(current));
  list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  return list;
}

uint8_t TFilterDlg::ConditionOf(const QComboBox* list) {
  return static_cast<uint8_t>(list->currentData().toUInt());
}

QLineEdit* TFilterDlg::AddPatternEdit(const std::string& text, const char* name) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setMaxLength(static_cast<int>(kShortStringCapacity));
  edit->setText(DisplayString(text));
  edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 28);
  return edit;
}

void TFilterDlg::FollowConditions(uint8_t condition1, uint8_t condition2, bool uppercaseChosen) {
  const bool choosable = CaseChoosable(condition1, condition2);
  caseMatters_->setEnabled(choosable);
  if (!choosable)
    caseMatters_->setChecked(CaseMattersFor(false, condition1, condition2));
  else if (uppercaseChosen)
    caseMatters_->setChecked(true);
}

bool TFilterDlg::CaseTicked() const { return caseMatters_->isChecked(); }

void TFilterDlg::SetFocusFor(TFilterField field, QWidget* control) {
  focus_.at(static_cast<size_t>(field)) = control;
}

bool TFilterDlg::Refused(const std::optional<TFilterRefusal>& refusal) {
  if (!refusal) return false;
  Dialogs().ShowInfo(refusal->Text, this);
  if (QWidget* control = focus_.at(static_cast<size_t>(refusal->Field))) control->setFocus();
  return true;
}

TQtMessageDialogs& TFilterDlg::Dialogs() {
  if (auto* installed = dynamic_cast<TQtMessageDialogs*>(&MessageDialogs())) return *installed;
  if (!ownDialogs_) ownDialogs_ = std::make_unique<TQtMessageDialogs>();
  return *ownDialogs_;
}

}  // namespace tarnwell
