#include "transport/LineClient.h"

#include <algorithm>
#include <exception>

#include "platform/Error.h"
#include "shell/LogFile.h"
#include "transport/SSPI.h"

namespace tarnwell {

TLineClient::TLineClient(std::string_view protocol) : protocol_(protocol) {
  timer_.SetInterval(static_cast<uint32_t>(timeout_) * 1000);
  timer_.SetOnTimer([this] { HandleTimer(); });
}

TLineClient::~TLineClient() { CloseSilently(); }

void TLineClient::CloseSilently() {
  timer_.SetEnabled(false);
  connection_.OnDisconnect = nullptr;
  connection_.OnError = nullptr;
  connection_.ForceClose();
}

void TLineClient::AddLog(std::string_view text) const {
  if (log_) log_->Add(text);
}

void TLineClient::InstallHandlers() {
  connection_.OnConnect = [](TLineConnection& connection) {
    connection.EnableNotifications(TLineConnection::TNotifications::ReadWriteClose);
  };
  connection_.OnRead = [this](TLineConnection& connection) { HandleRead(connection); };
  connection_.OnDisconnect = [this](TLineConnection&) {
    CancelSecureLogin();
    HandleDisconnect();
  };
  connection_.OnError = [this](TLineConnection&, int& code) {
    errorCode_ = code;
    code = 0;
  };
}

void TLineClient::CancelSecureLogin() {
  if (secureLoginRunning_ && sspi_) sspi_->SetCancel(true);
}

void TLineClient::HandleTimer() {
  timer_.SetEnabled(false);
  errorCode_ = ceTimedOut;
  CancelSecureLogin();
}

void TLineClient::SetTimeout(int32_t seconds) {
  timeout_ = seconds;
  timer_.SetInterval(static_cast<uint32_t>(std::max(seconds, 0)) * 1000);
}

void TLineClient::Abort(bool on) {
  aborted_ = on;
  if (!on) return;
  errorCode_ = ceAborted;
  CancelSecureLogin();
}

bool TLineClient::ResolveHost(std::string_view host) {
  try {
    connection_.ResolveHost(host);
    return true;
  } catch (const ESocketError& error) {
    errorCode_ = error.Code();
    return false;
  }
}

void TLineClient::PrepareConnection(int port, bool tls, std::string_view pin) {
  implicitTls_ = tls;
  connection_.SetPort(port);
  connection_.EnableNotifications(TLineConnection::TNotifications::ConnectOnly);
  connection_.SetTls(tls, pin);
}

void TLineClient::OpenConnection() {
  try {
    connection_.Open();
  } catch (const ESocketError& error) {
    errorCode_ = error.Code();
  }
}

bool TLineClient::StartSecureLogin() {
  if (!sspi_) sspi_ = std::make_unique<TSSPI>("MSN");
  if (!sspi_->Initialize()) return false;
  sspi_->Connection = &connection_;
  sspi_->Timer = &timer_;
  sspi_->Log = log_;
  return true;
}

bool TLineClient::RunSecureLogin(const std::string& userAtDomain, std::string_view password,
                                 bool smtpMode) {
  secureLoginRunning_ = true;
  timer_.SetEnabled(true);
  bool accepted = false;
  try {
    accepted = sspi_->Authenticate(userAtDomain, password, smtpMode);
  } catch (const std::exception&) {
  }
  secureLoginRunning_ = false;
  return accepted;
}

void TLineClient::EndSecureLogin() {
  timer_.SetEnabled(false);
  InstallHandlers();
}

std::string TLineClient::CommonErrorText(int32_t code) const {
  if (code == ceSecureLoginFailed) {
    if (sspi_ && !sspi_->ErrorText().empty()) return sspi_->ErrorText();
    return "Secure login failed.";
  }
  if (code == kTlsFailed) return connection_.TlsError();
  return tarnwell::ErrorText(code);
}

TServerPlace TLineClient::Place() const {
  TServerPlace place;
  place.Role = protocol_;
  place.Host = connection_.Host();
  place.Port = connection_.Port();
  if (errorCode_ == kTlsFailed) {
    place.Tls = connection_.TlsFault();
    place.Fingerprint = connection_.TlsFingerprint();
    // After STLS or STARTTLS the server has shown that it speaks TLS on this port.
    if (place.Tls == TTlsFault::NotTls && !implicitTls_) place.Tls = TTlsFault::None;
  } else if (errorCode_ == ceTimedOut && implicitTls_ && connection_.Handshaking()) {
    // A plain server that waits for the client to speak first never answers the handshake.
    place.Tls = TTlsFault::NotTls;
  }
  return place;
}

void TLineClient::Raise(const std::string& text) const {
  AddLog(protocol_ + ": Raising exception: " + text);
  throw EServerError(text, Place());
}

void TLineClient::RaisePendingError() {
  if (errorCode_ == 0 || HoldsErrors()) return;
  // Taken first: the connection forgets its handshake when it closes, and ErrorText may clear
  // the code.
  TServerPlace place = Place();
  const std::string text = ErrorText();
  try {
    connection_.Close();
  } catch (const std::exception&) {
  }
  AddLog(protocol_ + ": Raising exception: " + text);
  errorCode_ = 0;
  throw EServerError(text, std::move(place));
}

}  // namespace tarnwell
