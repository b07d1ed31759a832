#include "accounts/ui/DlgTrustCertificate.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "accounts/AccountList.h"
#include "shell/ui/DisplayText.h"
#include "shell/ui/WindowPlacement.h"
#include "transport/AccountSettings.h"
#include "transport/POP3Account.h"

namespace tarnwell {

namespace {

constexpr int kTextWidth = 380;

// "host:port", an IPv6 address in brackets.
QString ServerText(const TServerPlace& place) {
  std::string host =
      place.Host.find(':') != std::string::npos ? "[" + place.Host + "]" : place.Host;
  if (place.Port > 0) host += ":" + std::to_string(place.Port);
  return DisplayString(host);
}

QLabel* NewLabel(const QString& text, const char* name, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  return label;
}

}  // namespace

std::string RefusalReason(const std::string& errorText, const std::string& fingerprint) {
  const std::string sentence = " Its SHA-256 fingerprint is " + fingerprint + ".";
  if (!fingerprint.empty() && errorText.ends_with(sentence))
    return errorText.substr(0, errorText.size() - sentence.size());
  return errorText;
}

QString FingerprintLines(const std::string& fingerprint) {
  // Pair 16 ends at character 16 * 3 - 1; the colon after it becomes the line break.
  constexpr size_t kBreak = 47;
  QString text = QString::fromStdString(fingerprint);
  if (fingerprint.size() > kBreak && fingerprint[kBreak] == ':')
    text[static_cast<qsizetype>(kBreak)] = QLatin1Char('\n');
  return text;
}

TTrustCertificateDlg::TTrustCertificateDlg(const TServerPlace& place, const std::string& errorText,
                                           QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QStringLiteral("Certificate not trusted"));
  setObjectName(QStringLiteral("TrustCertificateDlg"));
  setModal(true);

  auto* image = new QLabel(this);
  image->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
  image->setAlignment(Qt::AlignTop);

  QLabel* intro =
      NewLabel(QStringLiteral("The %1 server of this account sent a certificate that Tarnwell "
                              "does not trust, so no secure connection was made.")
                   .arg(DisplayString(place.Role)),
               "lblIntro", this);
  QLabel* server = NewLabel(ServerText(place), "lblServer", this);
  QLabel* reason =
      NewLabel(DisplayString(RefusalReason(errorText, place.Fingerprint)), "lblReason", this);
  QLabel* fingerprint = NewLabel(FingerprintLines(place.Fingerprint), "lblFingerprint", this);
  fingerprint->setWordWrap(false);
  fingerprint->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  fingerprint->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QLabel* advice = NewLabel(
      QStringLiteral("Trust the certificate only if you know that it is your server's own, for "
                     "example because your provider or administrator gave you this fingerprint. "
                     "Tarnwell then accepts exactly this certificate from this server."),
      "lblAdvice", this);
  QLabel* question =
      NewLabel(QStringLiteral("Do you want to trust this certificate?"), "lblQuestion", this);

  auto* details = new QGridLayout;
  details->setHorizontalSpacing(10);
  details->setVerticalSpacing(6);
  const QString captions[] = {QStringLiteral("Server:"), QStringLiteral("Reason:"),
                              QStringLiteral("SHA-256 fingerprint:")};
  QLabel* values[] = {server, reason, fingerprint};
  for (int row = 0; row < 3; ++row) {
    auto* caption = new QLabel(captions[row], this);
    caption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    details->addWidget(caption, row, 0);
    details->addWidget(values[row], row, 1);
  }
  details->setColumnStretch(1, 1);

  auto* text = new QVBoxLayout;
  text->setSpacing(10);
  text->addWidget(intro);
  text->addLayout(details);
  text->addWidget(advice);
  text->addWidget(question);
  for (QLabel* label : {intro, advice, question, reason}) label->setMinimumWidth(kTextWidth / 2);

  auto* yes = new QPushButton(QStringLiteral("&Yes"), this);
  yes->setObjectName(QStringLiteral("btnYes"));
  yes->setAutoDefault(false);
  auto* no = new QPushButton(QStringLiteral("&No"), this);
  no->setObjectName(QStringLiteral("btnNo"));
  no->setDefault(true);
  connect(yes, &QPushButton::clicked, this, &QDialog::accept);
  connect(no, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(yes);
  buttons->addWidget(no);

  auto* body = new QHBoxLayout;
  body->setSpacing(12);
  body->addWidget(image, 0, Qt::AlignTop);
  body->addLayout(text, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setSpacing(12);
  layout->addLayout(body);
  layout->addLayout(buttons);
  no->setFocus();
  // The fingerprint's lines do not wrap: the dialog is as wide as they need.
  layout->setSizeConstraint(QLayout::SetMinimumSize);
  setMinimumWidth(kTextWidth + 80);
  adjustSize();
}

bool OfferToTrust(TAccount& account, const TServerPlace& place, const std::string& errorText,
                  QWidget* parent) {
  auto* pop3 = dynamic_cast<TPOP3Account*>(&account);
  if (!pop3 || !RefusedCertificatePin(place)) return false;
  TTrustCertificateDlg dialog(place, errorText, parent);
  CentreOn(dialog, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  return PinRefusedCertificate(*pop3, place);
}

bool OfferToTrust(TAccount& account, const TBatchError& error, QWidget* parent) {
  return error.Server && OfferToTrust(account, *error.Server, error.Text, parent);
}

}  // namespace tarnwell
