#include "gcryptlibrary.h"

#include <gcrypt.h>

// The secure memory pool is off: libgcrypt only digests here, and digests
// hold no secret.
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
