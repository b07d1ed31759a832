#include <gtest/gtest.h>

#include "message/SvcString.h"
#include "platform/Registry.h"
#include "tests/support/TestSupport.h"
#include "transport/SMTPInfo.h"
#include "transport/Security.h"

namespace tarnwell {
namespace {

TEST(SmtpInfoTest, SavesScrambledAndLoadsUpToTheFirstMissingValue) {
  test::TTempDir dir;
  TRegistryStore store(dir / "Registry.db");
  TRegistry registry(store);
  ASSERT_TRUE(registry.OpenKey("\\Software\\Halvora\\Tarnwell\\Accounts\\7", true));
  TSMTPInfo info;
  info.SMTPServer = "smtp.example.org";
  info.SMTPPort = 587;
  info.SMTPSPA = true;
  info.SMTPAuth = true;
  info.SMTPAuthUser = "mailer";
  info.SMTPAuthPass = "pa55";
  info.SMTPSecurity = scStartTls;
  info.SMTPCertPin = "AB:CD";
  info.Save(registry);
  EXPECT_EQ(registry.ReadString("SMTPAuthPass"), ScramblePassword("pa55"));

  TSMTPInfo loaded;
  loaded.Load(registry);
  EXPECT_EQ(loaded.SMTPServer, "smtp.example.org");
  EXPECT_EQ(loaded.SMTPPort, 587);
  EXPECT_TRUE(loaded.SMTPSPA);
  EXPECT_TRUE(loaded.SMTPAuth);
  EXPECT_EQ(loaded.SMTPAuthUser, "mailer");
  EXPECT_EQ(loaded.SMTPAuthPass, "pa55");
  EXPECT_EQ(loaded.SMTPSecurity, scStartTls);
  EXPECT_EQ(loaded.SMTPCertPin, "AB:CD");

  // A store from before secure connections loads as a plain connection.
  registry.DeleteValue("SMTPSecurity");
  loaded.Load(registry);
  EXPECT_TRUE(loaded.SMTPSPA);
  EXPECT_EQ(loaded.SMTPSecurity, scNone);
  EXPECT_TRUE(loaded.SMTPCertPin.empty());

  registry.DeleteValue("SMTPAuth");
  loaded.Load(registry);
  EXPECT_EQ(loaded.SMTPServer, "smtp.example.org");
  EXPECT_EQ(loaded.SMTPPort, 587);
  EXPECT_FALSE(loaded.SMTPAuth);
  EXPECT_TRUE(loaded.SMTPAuthUser.empty());
  EXPECT_TRUE(loaded.SMTPAuthPass.empty());
  EXPECT_FALSE(loaded.SMTPSPA);
  EXPECT_EQ(loaded.SMTPSecurity, scNone);
}

}  // namespace
}  // namespace tarnwell
