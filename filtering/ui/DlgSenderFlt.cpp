#include "filtering/ui/DlgSenderFlt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "filtering/Filters.h"
#include "filtering/SenderHeaders.h"
#include "message/Headers.h"

namespace tarnwell {

namespace {

QGroupBox* ConditionGroup(const QString& title, const char* name, QComboBox* condition,
                          QLineEdit* pattern, QWidget* parent) {
  auto* group = new QGroupBox(title, parent);
  group->setObjectName(QString::fromLatin1(name));
  auto* layout = new QHBoxLayout(group);
  layout->addWidget(condition);
  layout->addWidget(pattern, 1);
  return group;
}

}  // namespace

TSenderFltDlg::TSenderFltDlg(TFilter& filter, bool isNew, QWidget* parent)
    : TFilterDlg(filter, QStringLiteral("Sender filter"), parent),
      user_(AddConditionList(kSenderConditions, filter.Condition1, "cbUser")),
      userText_(AddPatternEdit(filter.Text1(), "edUser")),
      domain_(AddConditionList(kSenderConditions, filter.Condition2, "cbDomain")),
      domainText_(AddPatternEdit(filter.Text2(), "edDomain")),
      lookIn_(new QGroupBox(QStringLiteral("Look in..."), this)),
      headers_(new QListWidget(lookIn_)),
      more_(new QPushButton(QStringLiteral("&More >>"), this)),
      ticks_(isNew ? StandardSenderHeaders() : filter.Headers) {
  groups_->addWidget(
      ConditionGroup(QStringLiteral("If user name..."), "gbUser", user_, userText_, this));
  groups_->addWidget(
      ConditionGroup(QStringLiteral("If domain name..."), "gbDomain", domain_, domainText_, this));

  lookIn_->setObjectName(QStringLiteral("gbLookIn"));
  headers_->setObjectName(QStringLiteral("clbHeaders"));
  for (const int number : kSenderHeaders) {
    auto* item = new QListWidgetItem(QString::fromStdString(THeaders::StdName(number)), headers_);
    item->setData(Qt::UserRole, number);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  headers_->setFixedWidth(headers_->sizeHintForColumn(0) + 2 * headers_->frameWidth() + 24);
  auto* lookInLayout = new QVBoxLayout(lookIn_);
  lookInLayout->addWidget(headers_);
  lookIn_->hide();
  side_->addWidget(lookIn_);
  more_->setObjectName(QStringLiteral("btnMore"));
  buttons_->addWidget(more_);

  SetFocusFor(TFilterField::UserPattern, userText_);
  SetFocusFor(TFilterField::DomainPattern, domainText_);
  SetFocusFor(TFilterField::Headers, headers_);
  connect(user_, &QComboBox::currentIndexChanged, this,
          [this] { ConditionChosen(ConditionOf(user_) == cnUppercase); });
  connect(domain_, &QComboBox::currentIndexChanged, this,
          [this] { ConditionChosen(ConditionOf(domain_) == cnUppercase); });
  connect(headers_, &QListWidget::itemChanged, this, &TSenderFltDlg::HeaderTicked);
  connect(more_, &QPushButton::clicked, this, &TSenderFltDlg::ToggleLookIn);
  ConditionChosen(false);
}

void TSenderFltDlg::ConditionChosen(bool uppercaseChosen) {
  const uint8_t user = ConditionOf(user_);
  const uint8_t domain = ConditionOf(domain_);
  userText_->setEnabled(IsTextCondition(user));
  domainText_->setEnabled(IsTextCondition(domain));
  FollowConditions(user, domain, uppercaseChosen);
  ShowTicks();
}

void TSenderFltDlg::ShowTicks() {
  const QSignalBlocker quiet(headers_);
  const uint8_t user = ConditionOf(user_);
  for (int row = 0; row < headers_->count(); ++row) {
    QListWidgetItem* item = headers_->item(row);
    const int number = item->data(Qt::UserRole).toInt();
    const bool ticked = ((ticks_ >> number) & 1u) && CanLookIn(number, user);
    item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
  }
}

void TSenderFltDlg::HeaderTicked(QListWidgetItem* item) {
  const int number = item->data(Qt::UserRole).toInt();
  const bool ticked = item->checkState() == Qt::Checked;
  if (ticked && !CanLookIn(number, ConditionOf(user_))) {
    {
      const QSignalBlocker quiet(headers_);
      item->setCheckState(Qt::Unchecked);
    }
    Refused(TFilterRefusal{TFilterField::Headers, kUserNameHeaderText});
    return;
  }
  if (ticked)
    ticks_ |= 1u << number;
  else
    ticks_ &= ~(1u << number);
}

void TSenderFltDlg::ToggleLookIn() {
  const bool show = lookIn_->isHidden();
  lookIn_->setVisible(show);
  more_->setText(show ? QStringLiteral("<< &Less") : QStringLiteral("&More >>"));
}

uint32_t TSenderFltDlg::Ticked() const {
  uint32_t set = 0;
  for (int row = 0; row < headers_->count(); ++row) {
    const QListWidgetItem* item = headers_->item(row);
    if (item->checkState() == Qt::Checked) set |= 1u << item->data(Qt::UserRole).toInt();
  }
  return set;
}

bool TSenderFltDlg::WriteBack() {
  TSenderEntry entry;
  entry.UserCondition = ConditionOf(user_);
  entry.User = EditedText(userText_->text(), filter_.Text1());
  entry.DomainCondition = ConditionOf(domain_);
  entry.Domain = EditedText(domainText_->text(), filter_.Text2());
  entry.Headers = Ticked();
  entry.CaseTicked = CaseTicked();
  if (Refused(CheckSender(entry))) return false;
  WriteSender(entry, filter_);
  return true;
}

}  // namespace tarnwell
