#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "message/MessageText.h"
#include "platform/Error.h"
#include "platform/LineConnection.h"
#include "transport/LineClient.h"
#include "transport/Security.h"

namespace tarnwell {

// Raised by `TPOP3::Quit` when messages were deleted in the session and the server did not
// confirm its end: the deletions may not have taken effect.
class EPop3Unconfirmed : public EServerError {
 public:
  using EServerError::EServerError;
};

// Reply tests of RFC 1939. A one-line reply is complete at its first LF; a multi-line reply at
// CR LF "." CR LF, or at the end of its first line when it is negative.
[[nodiscard]] bool IsPositiveReply(std::string_view reply);
[[nodiscard]] bool IsCompleteReply(std::string_view reply, bool multiLine);
// Splits the lines of a multi-line reply after its status line: the header lines up to the
// first empty line go to `headers` unfolded (or are dropped when it is null), the empty line and
// the closing "." are removed, and a leading dot doubled by the server is taken off.
void SplitReply(std::string_view reply, std::vector<std::string>* headers,
                std::vector<std::string>& body);

// Splits a multi-line reply after its status line as it arrives, as SplitReply splits the whole,
// so that a long reply is never held whole next to its lines.
class TReplyLines {
 public:
  TReplyLines(std::vector<std::string>* headers, std::vector<std::string>& body)
      : headers_(headers), body_(body) {}
  void Add(std::string_view data);
  // What arrived so far ends with the closing "." line (CR LF "." CR LF, or "." CR LF alone).
  [[nodiscard]] bool Ended() const { return ended_; }
  // Takes what is left as the last line, drops a closing "." and unfolds the headers.
  void Finish();

 private:
  void Take(std::string_view line);

  std::vector<std::string>* headers_;
  std::vector<std::string>& body_;
  TLineSplitter splitter_;
  bool inHeaders_ = true;
  bool ended_ = false;
  // The last line ended with CR LF (or there was none yet).
  bool crLfBefore_ = true;
  // Where the last line went, for a closing "." to be taken out.
  std::vector<std::string>* last_ = nullptr;
};

// The POP3 client: one session at a time, each command sent as a line and its reply awaited
// while the event loop runs. Every failure becomes one TError with a text for the user.
class TPOP3 : public TLineClient {
 public:
  // Its own error codes, beside those of TLineClient.
  enum TPop3Error : int32_t {
    peGreetingRefused = 1,
    peUserRefused = 2,
    pePassRefused = 3,
  };
  enum TState : uint8_t {
    psClosed = 0,
    psGreeting = 1,
    psUserSent = 2,
    psPassSent = 3,
    psLoggedIn = 4,
    psQuitting = 5,
    psSecureLogin = 6,
    // STLS sent, and then the TLS handshake under way.
    psStartTls = 7,
    psTlsHandshake = 8,
    // Upgraded, for a secure-password login to go on from.
    psSecured = 9,
  };

  TPOP3();

  // Connects and logs in, then counts the messages; raises on failure.
  void Login();
  // Sends QUIT and waits up to 10 seconds for the server to close. Raises EPop3Unconfirmed when
  // messages were deleted and the server did not answer QUIT positively.
  void Quit();
  bool Stat();
  // The unique identifiers, position p for message p + 1; false (and empty) on failure.
  bool UidlAll(std::vector<std::string>& list);
  [[nodiscard]] std::string UidlOne(int32_t n);
  // The sizes in bytes as text, in server order.
  bool ListAll(std::vector<std::string>& list);
  [[nodiscard]] int32_t ListOne(int32_t n);
  // The headers of message n and its first body line; a server without TOP gives the headers
  // of the whole message and no body.
  void Top(int32_t n, std::vector<std::string>& headers, std::vector<std::string>& body);
  void RetrieveHeaders(int32_t n, std::vector<std::string>& headers);
  // The whole message n; the header lines are dropped when `headers` is null. A reply that is
  // not positive raises without ending the session.
  void Retr(int32_t n, std::vector<std::string>* headers, std::vector<std::string>& body);
  // Marks message n deleted; a refusal raises without ending the session.
  void Dele(int32_t n);
  [[nodiscard]] std::string ErrorText() override;

  [[nodiscard]] TState State() const { return state_; }
  [[nodiscard]] int32_t MessageCount() const { return messageCount_; }
  [[nodiscard]] int32_t HighestNumber() const { return highestNumber_; }
  [[nodiscard]] const std::string& Reply() const { return reply_; }
  [[nodiscard]] const std::string& StatusLine() const { return statusLine_; }

  std::string Host;
  int32_t Port = 110;
  std::string UserName;
  std::string Domain;
  std::string Password;
  bool UseSPA = false;
  // A TSecurity value, and the fingerprint of a certificate to accept whatever its chain.
  int32_t Security = scNone;
  std::string CertPin;

 private:
  void HandleRead(TLineConnection& connection) override;
  void HandleDisconnect() override;
  void SecureLogin();
  // Connects and waits for the login to reach `goal`.
  void OpenAndWait(TState goal);
  void SendCommand(std::string_view line);
  bool Command(std::string_view line, bool multiLine);
  bool ReplyComplete(bool multiLine);
  bool IsOK();
  [[nodiscard]] bool IsMultiOK() const;
  // The end of a multi-line reply whose status line has been taken off.
  [[nodiscard]] bool HasReplyEnd();
  // A connection that closed before the reply was complete counts as reset by the server.
  void NoteLostConnection();
  // Raises the server's refusal of `command`, whose complete reply is in `reply_`.
  [[noreturn]] void RaiseRefusal(std::string_view command);
  void Drain();
  void AddLogLines(const std::vector<std::string>& lines) const;

  TState state_ = psClosed;
  std::string reply_;
  std::string statusLine_;
  // Where the search for the end of `reply_` continues.
  size_t scanned_ = 0;
  int32_t messageCount_ = 0;
  int32_t highestNumber_ = 0;
  // Messages marked deleted in this session; the server removes them when it accepts QUIT.
  int32_t deleted_ = 0;
};

}  // namespace tarnwell
