#include "filtering/ui/DlgFriends.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <tuple>

#include "filtering/Filters.h"
#include "message/Emails.h"
#include "message/SvcString.h"
#include "shell/ui/DisplayText.h"
#include "shell/ui/DlgMessage.h"

namespace tarnwell {

namespace {

constexpr int kAddressLength = 50;
constexpr int kEditMargins = 16;

size_t Slot(TFriendType type) { return static_cast<size_t>(type); }

}  // namespace

TFriendsDlg::TFriendsDlg(TFilter& filter, bool adding, const TFilterList& list,
                         std::vector<std::string> ownAddresses, TQtMessageDialogs& dialogs,
                         QWidget* parent, const TFriendSource& source)
    : QDialog(parent),
      filter_(filter),
      adding_(adding),
      list_(list),
      ownAddresses_(std::move(ownAddresses)),
      dialogs_(dialogs),
      offersRescue_(source.Message && source.Killed),
      rbUser_(new QRadioButton(QStringLiteral("&Single e-mail address"))),
      rbDomain_(new QRadioButton(QStringLiteral("&All users at a domain"))),
      rbMailingList_(new QRadioButton(QStringLiteral("&Mailing list"))),
      edAddress_(new QLineEdit),
      message_(new QGroupBox(QStringLiteral("Message"))),
      chkRescue_(new QCheckBox(source.RestoresInPlace
                                   ? QStringLiteral("&Restore message automatically")
                                   : QStringLiteral("&Rescue message automatically"))),
      helpButton_(new QPushButton(QStringLiteral("&Help"))) {
  setWindowTitle(QStringLiteral("Friend Properties"));
  setModal(true);

  QString shown;
  if (source.Message) {
    const std::string from = AddressOf(source.Message->From);
    texts_[Slot(TFriendType::User)] = DisplayString(from);
    texts_[Slot(TFriendType::Domain)] = DisplayString(from.empty() ? from : DomainPart(from));
    texts_[Slot(TFriendType::MailingList)] = DisplayString(AddressOf(source.Message->FirstTo()));
    type_ = TFriendType::User;
    shown = texts_[Slot(type_)];
  } else {
    const std::string joined =
        filter.Text1().empty() ? filter.Text2() : filter.Text1() + "@" + filter.Text2();
    texts_[Slot(TFriendType::User)] = texts_[Slot(TFriendType::MailingList)] =
        DisplayString(joined);
    texts_[Slot(TFriendType::Domain)] = DisplayString(filter.Text2());
    type_ = FriendTypeOf(filter);
    shown = DisplayString(filter.Condition1 != cnNone && !filter.Text1().empty() ? joined
                                                                                 : filter.Text2());
    texts_[Slot(type_)] = shown;
  }

  auto* typeGroup = new QGroupBox(QStringLiteral("Address type"));
  typeGroup->setObjectName(QStringLiteral("gbAddressType"));
  auto* typeLayout = new QVBoxLayout(typeGroup);
  for (const auto& [button, name, type] :
       {std::tuple{rbUser_, "rbUser", TFriendType::User},
        std::tuple{rbDomain_, "rbDomain", TFriendType::Domain},
        std::tuple{rbMailingList_, "rbMailingList", TFriendType::MailingList}}) {
    button->setObjectName(QString::fromLatin1(name));
    typeLayout->addWidget(button);
  }
  TypeButton(type_)->setChecked(true);
  for (const TFriendType type : {TFriendType::User, TFriendType::Domain, TFriendType::MailingList})
    connect(TypeButton(type), &QRadioButton::toggled, this, [this, type](bool checked) {
      if (checked) TypeChosen(type);
    });

  auto* addressGroup = new QGroupBox(QStringLiteral("Address"));
  addressGroup->setObjectName(QStringLiteral("gbAddress"));
  auto* addressLayout = new QVBoxLayout(addressGroup);
  edAddress_->setObjectName(QStringLiteral("edAddress"));
  edAddress_->setMaxLength(kAddressLength);
  // Wide enough for a whole address of the length the field takes.
  edAddress_->setMinimumWidth(
      edAddress_->fontMetrics().horizontalAdvance(QString(kAddressLength, QLatin1Char('x'))) +
      kEditMargins);
  edAddress_->setText(shown);
  addressLayout->addWidget(edAddress_);

  message_->setObjectName(QStringLiteral("gbMessage"));
  auto* messageLayout = new QVBoxLayout(message_);
  chkRescue_->setObjectName(QStringLiteral("chkRescue"));
  chkRescue_->setChecked(true);
  messageLayout->addWidget(chkRescue_);

  auto* ok = new QPushButton(QStringLiteral("OK"));
  ok->setObjectName(QStringLiteral("btnOK"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"));
  cancel->setObjectName(QStringLiteral("btnCancel"));
  helpButton_->setObjectName(QStringLiteral("btnHelp"));
  helpButton_->setAutoDefault(false);
  helpButton_->setEnabled(false);
  connect(ok, &QPushButton::clicked, this, &TFriendsDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &TFriendsDlg::reject);
  connect(helpButton_, &QPushButton::clicked, this, [this] {
    if (help_) help_();
  });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  buttons->addWidget(helpButton_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setSpacing(8);
  layout->addWidget(typeGroup);
  layout->addWidget(addressGroup);
  layout->addWidget(message_);
  layout->addSpacing(4);
  layout->addLayout(buttons);
  message_->setVisible(offersRescue_);
  // Without the Message group the dialog is that much shorter.
  layout->setSizeConstraint(QLayout::SetFixedSize);
  edAddress_->setFocus();
  edAddress_->selectAll();
}

QRadioButton* TFriendsDlg::TypeButton(TFriendType type) const {
  switch (type) {
    case TFriendType::Domain: return rbDomain_;
    case TFriendType::MailingList: return rbMailingList_;
    case TFriendType::User: break;
  }
  return rbUser_;
}

void TFriendsDlg::TypeChosen(TFriendType type) {
  if (type == type_) return;
  texts_[Slot(type_)] = edAddress_->text().trimmed();
  type_ = type;
  edAddress_->setText(texts_[Slot(type)]);
}

TFriendType TFriendsDlg::Type() const { return type_; }

QString TFriendsDlg::Address() const { return edAddress_->text(); }

bool TFriendsDlg::Rescue() const { return offersRescue_ && chkRescue_->isChecked(); }

void TFriendsDlg::SetHelp(std::function<void()> help) {
  help_ = std::move(help);
  helpButton_->setEnabled(static_cast<bool>(help_));
}

void TFriendsDlg::accept() {
  if (const std::optional<TFriendRefusal> refusal = EnterFriend(
          filter_, edAddress_->text().toStdString(), type_, list_, adding_, ownAddresses_)) {
    dialogs_.ShowInfo(refusal->Text, this);
    edAddress_->setFocus();
    edAddress_->selectAll();
    return;
  }
  QDialog::accept();
}

}  // namespace tarnwell
