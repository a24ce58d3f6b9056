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
    "cardflash-pack " CARDFLASH_PACK_VERSION ": makes the SD card's update package for the unit",
    "usage: cardflash-pack --out CARD_DIR --version VERSION [--key SIGNING_KEY.pem] IMAGE_FILE...",
    "       cardflash-pack --out CARD_DIR --version VERSION [--key SIGNING_KEY.pem] [--keep-modes]",
    "                      --tarball ROOT_DIR",
    "       (either form also takes --images: the images go into CARD_DIR/images/, where the",
    "       unit reads them, and --boot-set DIR: DIR's zImage, at91sam9g35ek.dtb and",
    "       recovery.cpio.gz go into CARD_DIR/boot/, what the unit boots when its bootstrap is "
    "gone)",
    "       (either form also takes --compatible TEXT: the kind of unit the package is for, as in",
    "       the unit's /etc/lumo/compatible)",
    "       cardflash-pack -V | --help",
    "Writes CARD_DIR/lumoManifest (Version and Compatible lines, then NAME,LEGACY_TEXT,sha256:HEX",
    "per image),",
    "with --tarball also CARD_DIR/lumoTarBall.tar.gz of ROOT_DIR (paths relative to it; setuid,",
    "setgid and world-write bits cleared unless --keep-modes),",
    "with --key also CARD_DIR/lumoManifest.sig (Ed25519, key from openssl genpkey).",
    "Prints the manifest; refuses (status 1, CARD_DIR unchanged) what the unit would not take.",
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
constexpr const char* kNotEd25519Key = ": missing, unreadable, or not an Ed25519 private key "
                                       "(openssl genpkey -algorithm ed25519 writes one)";
// Signing never asks for a passphrase: it runs in scripts as often as at a desk.
constexpr const char* kEncryptedKey =
    ": the key is encrypted (passphrase-protected), and cardflash-pack asks for no passphrase; "
    "make an unencrypted copy (keep it as safe as the key) with: openssl pkey -in ";
constexpr const char* kEncryptedKeyCopy = " -out signing-unencrypted.pem";
constexpr const char* kSigningFailed = "the manifest could not be signed";
constexpr const char* kWriteFailed = ": cannot be written in CARD_DIR: ";
// After a failed rename, for each earlier file that could not be restored.
constexpr const char* kNotPutBack = "; the earlier ";
constexpr const char* kKeptAs = " could not be put back and is kept as ";
constexpr const char* kNotReplaceable =
    ": is there and is no regular file, so it cannot be replaced";

constexpr const char* kModesCleared =
    "setuid, setgid and world-write bits cleared (tar-ball entries: ";
constexpr const char* kModesClearedHow = "; --keep-modes keeps them)";

constexpr const char* kWeakLegacyText = "warning: ";
constexpr const char* kWeakLegacyCovers = ": its legacy checksum text covers only the first ";
constexpr const char* kWeakLegacyOf = " of its ";
constexpr const char* kWeakLegacyReason =
    " bytes (it stops at the first zero byte); units without the sha256 field check no more";

} // namespace packmessages

#endif
