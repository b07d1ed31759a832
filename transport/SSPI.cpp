#include "transport/SSPI.h"

#include <cstdio>

#include "message/Base64.h"
#include "message/SvcString.h"
#include "platform/EventLoop.h"
#include "platform/LineConnection.h"
#include "shell/LogFile.h"

namespace tarnwell {

TSSPI::TSSPI(std::string packageName) : packageName_(std::move(packageName)) {}

TSSPI::~TSSPI() { Unload(); }

void TSSPI::Unload() {
  context_.reset();
  credentials_.reset();
  packages_.clear();
  library_ = nullptr;
}

bool TSSPI::Initialize() {
  if (!library_) library_ = LoadSecurityLibrary();
  if (!library_) {
    errorText_ = "There is no security library available.";
    Unload();
    return false;
  }
  if (library_->EnumerateSecurityPackages(packages_) == secOk) {
    for (const TSecPkgInfo& package : packages_) {
      if (package.Name == packageName_) {
        maxToken_ = package.MaxToken;
        return true;
      }
    }
  }
  errorText_ = "The requested sequrity package is not installed.";
  Unload();
  return false;
}

bool TSSPI::CheckStatus() {
  if (status_ == secOk) {
    errorText_.clear();
    return true;
  }
  char code[16];
  std::snprintf(code, sizeof code, "%.8X", static_cast<unsigned>(status_));
  errorText_ =
      "An error occurred in the security system, code " + std::string(code) + " (" + step_ + ")";
  return false;
}

void TSSPI::AddLog(std::string_view text) {
  if (Log) Log->Add(text);
}

void TSSPI::SetTimer(bool on) {
  if (Timer) Timer->SetEnabled(on);
}

void TSSPI::InstallHandlers() {
  Connection->OnRead = [this](TLineConnection& connection) {
    step_ = "Socket Read";
    response_ += connection.ReceiveText();
    lineReady_ = response_.find('\n') != std::string::npos;
    if (lineReady_) AddLog(response_);
  };
  Connection->OnError = [this](TLineConnection&, int& code) {
    status_ = static_cast<TSecStatus>(code);
    socketError_ = true;
    // Nothing more will arrive, so the wait in progress ends here.
    cancel_ = true;
    code = 0;
  };
}

bool TSSPI::SendAndWait(std::string_view text) {
  lineReady_ = false;
  response_.clear();
  step_ = "Socket Write";
  AddLog(text);
  SetTimer(false);
  Connection->SendText(text);
  SetTimer(true);
  WaitUntil([this] { return lineReady_ || cancel_; });
  return !cancel_;
}

bool TSSPI::FailCancelled() {
  if (socketError_) CheckStatus();
  return false;
}

// The security call runs with the timer off, so a slow package does not count against the
// network timeout.
void TSSPI::CallInitialize(uint32_t requirements) {
  step_ = "InitializeSecurityContext";
  output_.clear();
  SetTimer(false);
  status_ =
      library_->InitializeSecurityContext(*credentials_, context_, requirements, input_, output_);
  SetTimer(true);
  if ((status_ == secOk || status_ == secContinueNeeded) && output_.size() > maxToken_)
    status_ = secBufferTooSmall;
}

bool TSSPI::SendToken() {
  step_ = "Buffer Send";
  return SendAndWait(TBase64::Encode(output_) + "\r\n");
}

bool TSSPI::Authenticate(std::string_view userAtDomain, std::string_view password, bool smtpMode) {
  bool result = false;
  cancel_ = false;
  socketError_ = false;
  lineReady_ = false;
  response_.clear();
  if (!Connection || !library_) {
    errorText_ = "There is no security library available.";
    return false;
  }
  InstallHandlers();
  if (!Connection->Connected()) {
    Connection->Open();
    WaitUntil([this] { return lineReady_ || cancel_; });
    if (cancel_) {
      if (socketError_) errorText_ = tarnwell::ErrorText(static_cast<int>(status_));
      return false;
    }
  }
  identity_ =
      TSecAuthIdentity{UserPart(userAtDomain), DomainPart(userAtDomain), std::string(password), 0};

  step_ = "AcquireCredentialsHandle";
  status_ =
      library_->AcquireCredentialsHandle(packageName_, secpkgCredOutbound, identity_, credentials_);
  if (!CheckStatus()) return false;
  input_.clear();

  // Whatever happens in the exchange, the context and the credentials end with it.
  struct TRelease {
    TSSPI& sspi;
    ~TRelease() {
      sspi.input_.clear();
      sspi.output_.clear();
      sspi.context_.reset();
      sspi.credentials_.reset();
    }
  } release{*this};

  if (!SendAndWait("AUTH " + packageName_ + "\r\n")) return FailCancelled();
  WaitMs(500);

  CallInitialize(iscReqConnection | iscReqUseSuppliedCreds);
  while (status_ == secContinueNeeded) {
    if (!SendToken()) return FailCancelled();
    input_.clear();
    step_ = "Decode Response";
    const size_t blank = response_.find(' ');
    const size_t start = blank == std::string::npos ? 0 : blank + 1;
    const size_t end = response_.size() >= 2 ? response_.size() - 2 : 0;
    if (end > start)
      input_ = TBase64::Decode(std::string_view(response_).substr(start, end - start));
    CallInitialize(0);
  }
  if (CheckStatus()) {
    if (!SendToken()) return FailCancelled();
    if (smtpMode) {
      result = response_.size() >= 3 && response_[0] == '2';
    } else {
      result = response_.size() >= 3 && response_.compare(0, 3, "+OK") == 0;
    }
    if (!result) {
      const size_t end = response_.find_last_not_of("\r\n");
      errorText_ = end == std::string::npos ? std::string() : response_.substr(0, end + 1);
    }
  }
  return result;
}

}  // namespace tarnwell
