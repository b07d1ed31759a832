#pragma once

#include "tests/support/Certificates.h"
#include "tests/support/Dovecot.h"

namespace tarnwell::test {

// The test certificate authority and its certificates, made once per test program.
TTestCertificates& Certificates();

// One Dovecot with the good certificate for the whole test program. Dovecot rereads its user
// file at most once a second, so the users are there from the start, all with the password
// "pop-s3cret": "implicit" and "upgraded" for the client's tests, "account-implicit" and
// "account-upgraded" for the account's.
TDovecot& TlsDovecot();

}  // namespace tarnwell::test
