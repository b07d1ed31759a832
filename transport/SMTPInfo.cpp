#include "transport/SMTPInfo.h"

#include "message/SvcString.h"
#include "platform/Registry.h"

namespace tarnwell {

void TSMTPInfo::Load(const TRegistry& registry) {
  *this = TSMTPInfo{};
  try {
    SMTPServer = registry.ReadString("SMTPServer");
    SMTPPort = registry.ReadInteger("SMTPPort");
    SMTPAuth = registry.ReadBool("SMTPAuth");
    SMTPAuthUser = registry.ReadString("SMTPAuthUser");
    SMTPAuthPass = UnscramblePassword(registry.ReadString("SMTPAuthPass"));
    SMTPSPA = registry.ReadBool("SMTPSPA");
    SMTPSecurity = registry.ReadInteger("SMTPSecurity");
    SMTPCertPin = registry.ReadString("SMTPCertPin");
  } catch (const ERegistryError&) {
  }
}

void TSMTPInfo::Save(TRegistry& registry) const {
  registry.WriteString("SMTPServer", SMTPServer);
  registry.WriteInteger("SMTPPort", SMTPPort);
  registry.WriteBool("SMTPAuth", SMTPAuth);
  registry.WriteString("SMTPAuthUser", SMTPAuthUser);
  registry.WriteString("SMTPAuthPass", ScramblePassword(SMTPAuthPass));
  registry.WriteBool("SMTPSPA", SMTPSPA);
  registry.WriteInteger("SMTPSecurity", SMTPSecurity);
  registry.WriteString("SMTPCertPin", SMTPCertPin);
}

}  // namespace tarnwell
