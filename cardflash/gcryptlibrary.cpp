#include "gcryptlibrary.h"

#include <gcrypt.h>

// The secure memory pool is off. The unit only digests images and checks
// signatures with public keys, so it holds no secret. The package builder
// also signs with a private key through this library; its seed then lies in
// ordinary memory, which may be swapped out. That is accepted for a signer
// that runs on the firmware team's own machines, not on the unit.
void initialiseGcrypt()
{
    static const bool initialised = [] {
        gcry_check_version(nullptr);
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    (void)initialised;
}
