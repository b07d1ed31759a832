#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/LineConnection.h"
#include "transport/LineClient.h"
#include "transport/Security.h"

namespace tarnwell {

class THeaders;

// One message on its way to the socket; its destruction tells the client it has gone out.
class TMessageStream : public TMemoryStream {
 public:
  ~TMessageStream() override {
    if (OnDestroy) OnDestroy();
  }
  std::function<void()> OnDestroy;
};

// Keeps only the last line of a multi-line SMTP reply (and what has come of the next one).
void KeepLastReplyLine(std::string& reply);
// The reply's last line is whole and is not a continuation ("250-").
[[nodiscard]] bool IsCompleteSMTPReply(std::string_view reply);
// The message as sent after DATA: the header lines, an empty line, the text lines with a dot put
// before a leading dot, and the closing ".".
[[nodiscard]] std::string MessageData(const std::vector<std::string>& headerLines,
                                      const std::vector<std::string>& textLines);

// The SMTP client (RFC 821 with EHLO and AUTH LOGIN): a session is Login, SendMail and Reset
// for each message, then Quit. Every failure becomes one TError with a text for the user.
class TSMTP : public TLineClient {
 public:
  TSMTP();
  ~TSMTP() override;

  // Connects, greets with EHLO (HELO when that is refused) and authenticates when asked to.
  void Login();
  // `sender` may carry a display name; recipients with an IPv4 domain are bracketed in place.
  // Without a "MIME-Version" header the MIME headers are added and the text lines encoded in
  // place.
  void SendMail(std::string_view sender, std::vector<std::string>& recipients,
                std::vector<std::string>& textLines, THeaders& headers);
  // RSET, ignoring every error.
  void Reset();
  void Quit();
  // The text for the pending error code, which is cleared.
  [[nodiscard]] std::string ErrorText() override;

  [[nodiscard]] const std::string& Reply() const { return reply_; }

  std::string Host;
  int32_t Port = 25;
  // The name sent with EHLO and HELO; the local host name when empty.
  std::string ClientName;
  bool UseSPA = false;
  std::string Domain;
  bool UseAuth = false;
  std::string AuthUser;
  std::string AuthPassword;
  // A TSecurity value, and the fingerprint of a certificate to accept whatever its chain.
  int32_t Security = scNone;
  std::string CertPin;

 private:
  void HandleRead(TLineConnection& connection) override;
  // Errors of the QUIT exchange are not raised.
  [[nodiscard]] bool HoldsErrors() const override { return quitting_; }
  void Greet();
  // STARTTLS and the handshake; the greeting is sent again after it.
  void StartTls();
  void AuthLogin();
  void SecureLogin();
  void SendLine(std::string_view line, std::string_view logged);
  bool WaitReply();
  bool Command(std::string_view line) { return Command(line, line); }
  // `logged` stands for the line in the log.
  bool Command(std::string_view line, std::string_view logged);
  bool CheckReply();

  std::string reply_;
  bool sent_ = false;
  bool quitting_ = false;
};

}  // namespace tarnwell
