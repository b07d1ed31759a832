#include "tests/support/Dovecot.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace tarnwell::test {

namespace {

std::string UserName(uid_t uid) {
  const passwd* entry = ::getpwuid(uid);
  if (!entry) throw std::runtime_error("the current user has no name");
  return entry->pw_name;
}

std::string GroupName(gid_t gid) {
  const group* entry = ::getgrgid(gid);
  if (!entry) throw std::runtime_error("the current group has no name");
  return entry->gr_name;
}

const passwd& SystemUser(const char* name) {
  const passwd* entry = ::getpwnam(name);
  if (!entry) throw std::runtime_error(std::string("the system user ") + name + " is missing");
  return *entry;
}

}  // namespace

TDovecot::TDovecot(const TTls& tls) {
  const std::string dovecot = FindProgram("dovecot");
  if (!tls.cert.empty()) tlsPort_.emplace();
  // Dovecot will not run its login processes or mail access as root, so a root test hands
  // them to the unprivileged users the package made.
  std::string loginUser, internalUser, internalGroup;
  if (::getuid() == 0) {
    loginUser = "dovenull";
    internalUser = "dovecot";
    internalGroup = GroupName(SystemUser("dovecot").pw_gid);
    const passwd& nobody = SystemUser("nobody");
    mailUid_ = nobody.pw_uid;
    mailGid_ = nobody.pw_gid;
    ::chmod(dir_.Path().c_str(), 0755);
  } else {
    loginUser = internalUser = UserName(::getuid());
    internalGroup = GroupName(::getgid());
    mailUid_ = ::getuid();
    mailGid_ = ::getgid();
  }
  std::filesystem::create_directories(dir_ / "mail");
  if (::chown((dir_ / "mail").c_str(), mailUid_, mailGid_) != 0)
    throw std::runtime_error("cannot hand the mail folder to the mail user");
  std::filesystem::create_directories(dir_ / "users");
  const std::string config =
      "protocols = pop3\n"
      "listen = 127.0.0.1\n"
      "base_dir = " +
      dir_ / "run" +
      "\n"
      "state_dir = " +
      dir_ / "state" +
      "\n"
      "instance_name = tarnwell-test-" +
      std::to_string(Port()) +
      "\n"
      "log_path = " +
      dir_ / "dovecot.log" + "\n" +
      (tls.cert.empty() ? std::string("ssl = no\ndisable_plaintext_auth = no\n")
                        : "ssl = required\nssl_cert = <" + tls.cert + "\nssl_key = <" + tls.key +
                              "\ndisable_plaintext_auth = yes\n") +
      "auth_mechanisms = plain\n"
      "auth_failure_delay = 0\n"
      "default_login_user = " +
      loginUser +
      "\n"
      "default_internal_user = " +
      internalUser +
      "\n"
      "default_internal_group = " +
      internalGroup +
      "\n"
      "first_valid_uid = 1\n"
      "mail_location = maildir:" +
      dir_ / "mail" +
      "/%u\n"
      "mail_fsync = never\n"
      "pop3_no_flag_updates = yes\n"
      // A file per user: Dovecot looks at a password file again at most once a second, so
      // a user added to one shared file right after a login would be unknown for the rest of
      // that second.
      "passdb {\n  driver = passwd-file\n  args = " +
      dir_ / "users/%u" +
      "\n}\n"
      "userdb {\n  driver = passwd-file\n  args = " +
      dir_ / "users/%u" +
      "\n}\n"
      "service pop3-login {\n"
      "  chroot =\n"
      "  inet_listener pop3 {\n    address = 127.0.0.1\n    port = " +
      std::to_string(Port()) + "\n  }\n" +
      (tls.cert.empty() ? std::string()
                        : "  inet_listener pop3s {\n    address = 127.0.0.1\n    port = " +
                              std::to_string(TlsPort()) + "\n    ssl = yes\n  }\n") +
      "}\n"
      "service anvil {\n  chroot =\n}\n"
      "service stats {\n  chroot =\n}\n";
  WriteFileText(dir_ / "dovecot.conf", config);
  process_ = std::make_unique<TChildProcess>(
      std::vector<std::string>{dovecot, "-F", "-c", dir_ / "dovecot.conf"}, dir_ / "master.log");
  process_->WaitForPort(Port());
  if (tlsPort_) process_->WaitForPort(TlsPort());
}

TDovecot::~TDovecot() { process_.reset(); }

std::string TDovecot::MailDir(const std::string& user) const { return dir_ / "mail/" + user; }

void TDovecot::AddUser(const std::string& name, const std::string& password) {
  const std::string home = MailDir(name);
  for (const char* sub : {"", "/new", "/cur", "/tmp"}) {
    std::filesystem::create_directories(home + sub);
    if (::chown((home + sub).c_str(), mailUid_, mailGid_) != 0)
      throw std::runtime_error("cannot hand the mailbox to the mail user");
  }
  WriteFileText(dir_ / "users/" + name, name + ":{PLAIN}" + password + ":" +
                                            std::to_string(mailUid_) + ":" +
                                            std::to_string(mailGid_) + "::" + home + "::\n");
}

void TDovecot::Deliver(const std::string& user, const std::string& text) {
  // Maildir names sort by delivery time first, and so by delivery order here.
  char name[64];
  std::snprintf(name, sizeof name, "%010d.M%06dP%d.tarnwell", 1700000000 + delivered_, delivered_,
                static_cast<int>(::getpid()));
  ++delivered_;
  std::string lines;
  lines.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    lines += text[i];
  }
  const std::string temporary = MailDir(user) + "/tmp/" + name;
  WriteFileText(temporary, lines);
  if (::chown(temporary.c_str(), mailUid_, mailGid_) != 0)
    throw std::runtime_error("cannot hand the message to the mail user");
  std::filesystem::rename(temporary, MailDir(user) + "/new/" + name);
}

std::vector<std::string> TDovecot::Messages(const std::string& user) const {
  std::vector<std::string> names;
  for (const char* sub : {"/new", "/cur"}) {
    for (const auto& entry : std::filesystem::directory_iterator(MailDir(user) + sub))
      names.push_back(entry.path().filename().string() + "\t" + entry.path().string());
  }
  std::sort(names.begin(), names.end());
  std::vector<std::string> texts;
  for (const std::string& name : names)
    texts.push_back(ReadFileText(name.substr(name.find('\t') + 1)));
  return texts;
}

void TDovecot::WaitForLogouts(const std::string& user, int sessions) const {
  // A session's last log line comes after it has carried out its QUIT.
  const std::string session = "pop3(" + user + ")<";
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    std::istringstream log(FileExists(dir_ / "dovecot.log") ? ReadFileText(dir_ / "dovecot.log")
                                                            : std::string());
    int ended = 0;
    for (std::string line; std::getline(log, line);)
      ended += line.find(session) != std::string::npos &&
               line.find(": Disconnected") != std::string::npos;
    if (ended >= sessions) return;
    if (std::chrono::steady_clock::now() > end)
      throw std::runtime_error("Dovecot logged the end of " + std::to_string(ended) + " of " +
                               std::to_string(sessions) + " sessions of " + user + ":\n" +
                               log.str());
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

int TDovecot::AddProgramAccount(const std::string& tarnwell, const std::string& home,
                                const std::string& user, const std::string& password) const {
  return RunProgram({tarnwell,
                     "--home",
                     home,
                     "accounts",
                     "add",
                     "pop3",
                     "--description",
                     "Bench",
                     "--name",
                     "Me",
                     "--email",
                     "me@example.com",
                     "--pop3",
                     "127.0.0.1:" + std::to_string(Port()),
                     "--pop3-security",
                     "none",
                     "--user",
                     user,
                     "--smtp",
                     "127.0.0.1",
                     "--smtp-security",
                     "none",
                     "--password-stdin"},
                    password + "\n");
}

}  // namespace tarnwell::test
