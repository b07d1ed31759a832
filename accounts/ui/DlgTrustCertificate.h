#pragma once

#include <QDialog>
#include <string>

#include "platform/ServerError.h"

namespace tarnwell {

class TAccount;
struct TBatchError;

// Asks whether to trust the certificate a mail server was refused for: the server, the reason
// and the certificate's SHA-256 fingerprint, with "&Yes" and "&No" (the default).
class TTrustCertificateDlg : public QDialog {
  Q_OBJECT

 public:
  TTrustCertificateDlg(const TServerPlace& place, const std::string& errorText,
                       QWidget* parent = nullptr);
};

// The reason in the text of a certificate's refusal, without the sentence that gives the
// fingerprint, which the dialog shows on its own.
[[nodiscard]] std::string RefusalReason(const std::string& errorText,
                                        const std::string& fingerprint);
// "AB:CD:...", 32 pairs, as two lines of 16 pairs.
[[nodiscard]] QString FingerprintLines(const std::string& fingerprint);

// Offers to trust the certificate that a server of `account` was refused for at `place`
// (`errorText` being the error's text) and, on "&Yes", pins it in the account as
// `accounts set --pin-pop3` or `--pin-smtp` does; the caller saves the account. False, asking
// nothing, when the failure was not a refused certificate of a POP3 account's server; false on
// "&No".
bool OfferToTrust(TAccount& account, const TServerPlace& place, const std::string& errorText,
                  QWidget* parent);
// The same for an error of a check batch; false, asking nothing, for one without a server.
bool OfferToTrust(TAccount& account, const TBatchError& error, QWidget* parent);

}  // namespace tarnwell
