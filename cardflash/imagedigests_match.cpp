#include "imagedigests.h"

#include "packagemanifest.h"

// Kept apart from the reading of the card: the packer's desk check links the
// unit's own comparison without the unit's card and RAM copies.

// A third field that is not exactly "sha256:" and 64 lowercase hex digits can
// never equal what is computed, so a check this version cannot make fails.
bool ImageDigestCache::Matches(const ImageDigests& digests, const StdString& checkSum,
                               const StdString& digestField)
{
    StdString expectedDigest(digestField.c_str());
    StdString expected(checkSum.c_str());
    StdString calculated(digests.checkSums.c_str());
    if (!digests.readable || expected.Trim() != calculated.Trim()) {
        return false;
    }
    return expectedDigest.Trim().IsEmpty() ||
           (digests.sha256Known &&
            expectedDigest == ManifestReader::Sha256FieldPrefix() + digests.sha256.c_str());
}
