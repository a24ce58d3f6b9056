#ifndef PACKMESSAGES_H
#define PACKMESSAGES_H

// Every text that cardflash-pack shows, in one place. A refusal is
// kProgramPrefix, the subject when there is one, and its reason.
namespace packmessages
{

constexpr const char* kProgramPrefix = "cardflash-pack: ";

// The version is the build's own, from its project version.
constexpr const char* kOwnVersion = "cardflash-pack " CARDFLASH_PACK_VERSION;

constexpr const char* kUsage[] = {
    "cardflash-pack " CARDFLASH_PACK_VERSION
    ": makes the SD card's update package for the unit, and checks a card",
    "usage: cardflash-pack --out CARD_DIR --version VERSION [--compatible TEXT] [--key KEY.pem]",
    "                      [--layout PROC_MTD] [--images] [--boot-set DIR] IMAGE_FILE...",
    "       cardflash-pack --out CARD_DIR --version VERSION [--compatible TEXT] [--key KEY.pem]",
    "                      [--boot-set DIR] [--keep-modes] --tarball ROOT_DIR",
    "       cardflash-pack --check CARD_DIR [--pubkey MANIFEST.pub] [--layout PROC_MTD]",
    "       cardflash-pack -V | --help",
    "Writes into CARD_DIR: lumoManifest (Version, Compatible with --compatible, then",
    "NAME,LEGACY_TEXT,sha256:HEX for each file); with --key lumoManifest.sig (Ed25519); with",
    "--images each IMAGE_FILE in images/; with --boot-set DIR's zImage, at91sam9g35ek.dtb and",
    "recovery.cpio.gz in boot/; with --tarball lumoTarBall.tar.gz of ROOT_DIR, which stands for",
    "the unit's / (root's, sorted, times 0; setuid, setgid and world-write bits cleared unless",
    "--keep-modes). Removes what it does not write of another package there (images/, boot/,",
    "the signature, the tar ball); leaves anything else. Prints the manifest.",
    "Refuses, with status 1 and CARD_DIR as it was: an IMAGE_FILE with a name the unit has no",
    "partition for, given twice, unreadable, empty, or larger than its partition in PROC_MTD",
    "(the unit's /proc/mtd); images with --tarball; a KEY that is no Ed25519 private key; a boot",
    "set with a file missing or empty, or whose recovery root (recovery.cpio.gz, a gzip'd cpio)",
    "would refuse the package: no key in its etc/lumo/keys/manifest.pub verifies KEY's",
    "signature, or its etc/lumo/compatible or etc/lumo/firmware-version refuses TEXT or",
    "VERSION; a VERSION or TEXT with a comma or a line break; an empty ROOT_DIR or one with",
    "special files.",
    "Warns: without --key (a signed unit refuses the package); a VERSION that is not dotted",
    "decimal numbers; a legacy text that covers only the first bytes; a ROOT_DIR with neither",
    "usr/ nor etc/ at its top.",
    "--check reads CARD_DIR as the unit does, with the keys of MANIFEST.pub (without --pubkey, as",
    "an unsigned unit): the signature, each file against its line, the boot set and its recovery",
    "root, the tar ball; prints one line per file and a verdict; status 0 only when the unit",
    "takes the card and its boot set.",
    "-V prints the version of cardflash-pack; VERSION is the package's.",
};
constexpr const char* kSeeHelp = " (cardflash-pack --help shows the usage)";
constexpr const char* kStoppedBy = "stopped, the card folder left as it was: ";

constexpr const char* kUnknownOption = "unknown option: ";
constexpr const char* kOptionWithoutValue = "option needs a value: ";
constexpr const char* kPackageVersionHint =
    " (the package's VERSION; cardflash-pack -V prints the version of cardflash-pack)";
constexpr const char* kOptionTwice = "option given twice: ";
constexpr const char* kNoCardDir = "no --out CARD_DIR given";
constexpr const char* kNoVersion = "no --version VERSION given";
constexpr const char* kNothingToPack = "no IMAGE_FILE and no --tarball ROOT_DIR given";
constexpr const char* kImagesAndTarBall =
    "images and --tarball together: the unit would install only the tar ball";
constexpr const char* kCheckAlone = "--check takes only --pubkey and --layout";
constexpr const char* kPubKeyWithoutCheck =
    "--pubkey goes with --check (a package is signed with --key)";

constexpr const char* kCardDirNotFolder = ": CARD_DIR is not an existing folder";
constexpr const char* kBadVersion = "VERSION must not hold a comma or a line break";
constexpr const char* kBadCompatible = "--compatible TEXT must not hold a comma or a line break";
constexpr const char* kVersionNotComparable =
    "warning: VERSION is not dotted decimal numbers (such as 2.10.0): a unit that knows its own "
    "firmware version refuses the package";
constexpr const char* kBadName = ": the name holds a comma, a line break or a path separator";
constexpr const char* kUnknownName = ": the unit knows no image of that name and would skip it; "
                                     "known names:";
constexpr const char* kNameTwice = ": the same image is given twice";
constexpr const char* kNotReadable = ": missing, not a regular file, or unreadable";
constexpr const char* kBootSetHolds =
    " (a boot set holds zImage, at91sam9g35ek.dtb and recovery.cpio.gz)";
constexpr const char* kImagesWithTarBall =
    "--images with --tarball: a tar-ball package has no images";
constexpr const char* kRootNotFolder = ": ROOT_DIR is not a readable folder";
constexpr const char* kEmptyTree =
    ": ROOT_DIR holds nothing to pack; the unit would install nothing";
constexpr const char* kTreeEntryRefused =
    ": cannot be packed (only folders, regular files and symbolic links, all readable)";
constexpr const char* kEmptyImage = ": is empty; the unit would leave its partition erased";
constexpr const char* kEmptyBootSetFile = ": is empty; the processor cannot boot an empty boot set";

constexpr const char* kFileUnreadable = ": missing or unreadable";
constexpr const char* kKeyNotPem = ": is not a PEM file (openssl genpkey -algorithm ed25519 "
                                   "writes the private key, openssl pkey -pubout its public half)";
constexpr const char* kKeyIsRsa =
    ": is an RSA key; the unit checks Ed25519 signatures only (openssl genpkey -algorithm "
    "ed25519 writes a key)";
constexpr const char* kKeyIsPublic =
    ": is a public key; --key takes the private key it was made from (the public half goes "
    "into the unit)";
constexpr const char* kKeyIsPrivate =
    ": is a private key; --pubkey takes its public half (openssl pkey -in KEY -pubout)";
constexpr const char* kNotEd25519Key =
    ": is no Ed25519 private key (openssl genpkey -algorithm ed25519 writes one)";
constexpr const char* kNotEd25519PublicKeys =
    ": holds something else than Ed25519 public keys in PEM (openssl pkey -pubout writes one)";
// Signing never asks for a passphrase: it runs in scripts as often as at a desk.
constexpr const char* kEncryptedKey =
    ": the key is encrypted (passphrase-protected), and cardflash-pack asks for no passphrase; "
    "make an unencrypted copy (keep it as safe as the key) with: openssl pkey -in ";
constexpr const char* kEncryptedKeyCopy = " -out signing-unencrypted.pem";
constexpr const char* kSigningFailed = "the manifest could not be signed";

constexpr const char* kLayoutLine = ": line ";
constexpr const char* kLayoutLineForm =
    " is not a line of /proc/mtd (mtdN: SIZE ERASESIZE \"name\", sizes in hex)";
constexpr const char* kNoPartition = ": the layout lists no ";
constexpr const char* kNoPartitionWhy =
    ", and the unit writes no image to a partition whose size it cannot tell";
constexpr const char* kTooLarge = ": larger than its partition (";
constexpr const char* kTooLargeBytes = " bytes; ";
constexpr const char* kTooLargeHolds = " holds ";
constexpr const char* kTooLargeEnd = ")";

constexpr const char* kRecoveryUnreadable =
    ": is not a gzip-compressed cpio archive (the kernel's initramfs) that can be read to its end";
constexpr const char* kRecoveryNeedsSignature =
    ": its recovery root holds keys (etc/lumo/keys/manifest.pub) and refuses a package without "
    "--key";
constexpr const char* kRecoveryDistrusts =
    ": its recovery root does not trust the key: no key in its etc/lumo/keys/manifest.pub "
    "verifies the package (build the recovery root with the team's manifest.pub)";
constexpr const char* kRecoveryRefuses = ": its recovery root refuses the package: ";
constexpr const char* kWriteFailed = ": cannot be written in CARD_DIR: ";
// After a failed rename, for each earlier file that could not be restored.
constexpr const char* kNotPutBack = "; the earlier ";
constexpr const char* kKeptAs = " could not be put back and is kept as ";
constexpr const char* kNotReplaceable =
    ": is there and is no regular file, so it cannot be replaced";

constexpr const char* kModesCleared =
    "setuid, setgid and world-write bits cleared (tar-ball entries: ";
constexpr const char* kModesClearedHow = "; --keep-modes keeps them)";

constexpr const char* kUnsigned =
    "warning: no --key: the package is unsigned, and a signed unit (one that holds a "
    "manifest.pub) refuses it";
constexpr const char* kTreeWithoutRoot =
    ": neither usr/ nor etc/ at its top; the unit unpacks ROOT_DIR into its /, so "
    "ROOT_DIR must stand for the unit's /";

constexpr const char* kWarning = "warning: ";
constexpr const char* kWeakLegacyCovers = ": its legacy checksum text covers only the first ";
constexpr const char* kWeakLegacyOf = " of its ";
constexpr const char* kWeakLegacyReason =
    " bytes (it stops at the first zero byte); units without the sha256 field check no more";

// cardflash-pack --check: one line per file, "PATH: ok" or what is wrong.
constexpr const char* kCheckOk = ": ok";
constexpr const char* kCheckNoManifest =
    ": MISSING, not a regular file, or unreadable: the card holds no package";
constexpr const char* kCheckManifestTooLong = ": over 16 MiB, which the unit takes as unreadable";
constexpr const char* kCheckVersion = ": ok, Version ";
constexpr const char* kCheckCompatible = ", Compatible ";
constexpr const char* kCheckNone = "(none)";
constexpr const char* kCheckUnsignedUnit = ": not checked (no --pubkey: as an unsigned unit)";
constexpr const char* kCheckSignatureGood = ": ok, made with a key of ";
constexpr const char* kCheckSignatureMissing = ": MISSING; a signed unit reads nothing more";
constexpr const char* kCheckSignatureInvalid = ": INVALID: no key of ";
constexpr const char* kCheckSignatureInvalidEnd = " verifies the manifest's bytes";
constexpr const char* kCheckMissing = ": MISSING, not a regular file, or unreadable";
constexpr const char* kCheckChanged = ": CHANGED: not the bytes that its manifest line names";
constexpr const char* kCheckNoSha256 =
    ": its manifest line has no sha256: field, which a signed unit requires";
constexpr const char* kCheckNoLine =
    ": the manifest has no line for it, so a signed unit ignores the boot set";
constexpr const char* kCheckLeaves =
    ": REFUSED: the name leads out of images/ (lines of such names: ";
constexpr const char* kCheckLeavesEnd = ")";
constexpr const char* kCheckDamaged = ": DAMAGED: ";
constexpr const char* kCheckNoEntry = ": holds no entry; the unit installs nothing";
constexpr const char* kCheckEntryOutside = ": its entry leads out of /, which the unit refuses: ";
constexpr const char* kCheckEntries = ": ok, entries: ";
constexpr const char* kCheckNothing =
    "lumoManifest names no image the unit knows and no tar ball: nothing to write";
constexpr const char* kCheckTaken = "verdict: GOOD: the unit takes this card";
constexpr const char* kCheckNotTaken =
    "verdict: BAD: the unit refuses this card, or ignores its boot set";

} // namespace packmessages

#endif
