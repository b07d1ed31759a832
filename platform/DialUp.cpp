#include "platform/DialUp.h"

namespace tarnwell {

namespace {
TNoDialUp noDialUp;
TDialUp* currentDialUp = &noDialUp;
}  // namespace

TDialUp& TDialUp::Current() { return *currentDialUp; }

bool TDialUp::EntryCredentials(int, std::string&, std::string&) { return false; }

void TDialUp::Install(TDialUp* dialUp) { currentDialUp = dialUp ? dialUp : &noDialUp; }

}  // namespace tarnwell
