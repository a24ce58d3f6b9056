#include "packer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <vector>

#include "atomicfile.h"
#include "cardcopies.h"
#include "cardleftovers.h"
#include "manifestwriter.h"
#include "packedfile.h"
#include "packinputs.h"
#include "packmessages.h"
#include "partitionlayout.h"
#include "partitionmap.h"
#include "recoveryroot.h"
#include "signingkey.h"
#include "stopsignals.h"
#include "tarballwriter.h"

namespace
{

const int kPacked = 0;
const int kRefused = 1;

int refuse(const std::string& error)
{
    std::cerr << packmessages::kProgramPrefix << error << std::endl;
    return kRefused;
}

// The reason is the system's, or the one a writer gave.
std::string writeFailure(const AtomicFile& file, const std::string& reason = std::string())
{
    return file.finalPath() + packmessages::kWriteFailed +
           (reason.empty() ? std::strerror(errno) : reason);
}

bool writeWhole(AtomicFile& file, const std::string& bytes, std::string& error)
{
    if (!file.open() || !file.write(bytes) || !file.finish()) {
        error = writeFailure(file);
        return false;
    }
    return true;
}

// The tar ball, written to its temporary file and described from there.
bool writeTarBall(const TarBallWriter& tree, AtomicFile& file, PackedFile& described,
                  std::string& error)
{
    if (!file.open()) {
        error = writeFailure(file);
        return false;
    }
    std::string reason;
    if (!tree.write(file.descriptor(), reason) || !file.finish() ||
        !describeFile(PartitionMap::TarBallFileName(), file.temporaryPath(), described)) {
        error = writeFailure(file, reason);
        return false;
    }
    return true;
}

// Every file is put in place, the manifest last, or none: what the files
// replaced is kept aside until all are in place, and put back when one
// fails. Stop signals wait meanwhile. The files of another package that
// this one does not have (`withdrawn`) are taken away the same way.
bool putInPlace(const std::vector<AtomicFile*>& files, const std::vector<AtomicFile*>& withdrawn,
                std::string& error)
{
    const SignalsWait wait;
    std::vector<AtomicFile*> placed;
    placed.reserve(files.size());
    for (AtomicFile* file : files) {
        const bool withdrawing =
            std::find(withdrawn.begin(), withdrawn.end(), file) != withdrawn.end();
        if (!(withdrawing ? file->withdraw() : file->commit())) {
            const int reason = errno;
            std::string notPutBack;
            placed.push_back(file);
            for (auto done = placed.rbegin(); done != placed.rend(); ++done) {
                if (!(*done)->putBack()) {
                    notPutBack += packmessages::kNotPutBack + (*done)->finalPath() +
                                  packmessages::kKeptAs + (*done)->asidePath();
                }
            }
            errno = reason;
            error = writeFailure(*file) + notPutBack;
            return false;
        }
        placed.push_back(file);
    }
    for (AtomicFile* file : placed) {
        file->drop();
    }
    return true;
}

void reportWarnings(const PackRequest& request, const std::vector<PackedFile>& files,
                    const TarBallWriter& tree)
{
    for (const PackedFile& file : files) {
        if (hasWeakLegacyText(file)) {
            std::cerr << weakLegacyTextWarning(file) << std::endl;
        }
    }
    if (tree.modesCleared() > 0) {
        std::cerr << packmessages::kProgramPrefix << packmessages::kModesCleared
                  << tree.modesCleared() << packmessages::kModesClearedHow << std::endl;
    }
    if (!request.tarBallRoot.empty() && !tree.looksLikeRoot()) {
        std::cerr << packmessages::kWarning << request.tarBallRoot << packmessages::kTreeWithoutRoot
                  << std::endl;
    }
    if (!unitsCanCompare(request.version)) {
        std::cerr << packmessages::kVersionNotComparable << std::endl;
    }
    if (request.keyFile.empty()) {
        std::cerr << packmessages::kUnsigned << std::endl;
    }
}

// The recovery root judges a package by its first lines and its signature,
// as the unit does: they are made here as they will be on the card.
bool checkRecoveryRoot(const PackRequest& request, const std::string& seed,
                       const std::vector<PackedFile>& bootSetLines, std::string& error)
{
    const std::string lineName =
        PartitionMap::BootSetLineName(PartitionMap::CardRecoveryRoot()).c_str();
    const auto recovery =
        std::find_if(bootSetLines.begin(), bootSetLines.end(),
                     [&lineName](const PackedFile& line) { return line.name == lineName; });
    RecoveryRoot root;
    if (recovery == bootSetLines.end() || !readRecoveryRoot(recovery->path, root, error)) {
        return false;
    }
    const std::string firstLines = manifestText(request.version, request.compatible, {});
    std::optional<std::string> signature;
    if (!seed.empty() && !signManifest(seed, firstLines, signature.emplace(), error)) {
        return false;
    }
    error = recoveryRefusal(recovery->path, root, firstLines, signature);
    return error.empty();
}

// Every input is checked before anything is written.
bool checkInputs(const PackRequest& request, std::string& seed, PartitionLayout& layout,
                 TarBallWriter& tree, std::vector<PackedFile>& images,
                 std::vector<PackedFile>& bootSetLines, std::string& error)
{
    const bool isTarBall = !request.tarBallRoot.empty();
    const bool hasBootSet = !request.bootSetDir.empty();
    return checkCardDir(request.cardDir, error) && checkVersion(request.version, error) &&
           checkCompatible(request.compatible, error) &&
           (request.keyFile.empty() || readSigningKey(request.keyFile, seed, error)) &&
           (request.layoutFile.empty() || layout.read(request.layoutFile, error)) &&
           (isTarBall ? tree.collect(error)
                      : describeImages(request.imageFiles, layout, images, error)) &&
           (!hasBootSet || (CardCopies::describeBootSet(request.bootSetDir, bootSetLines, error) &&
                            checkRecoveryRoot(request, seed, bootSetLines, error)));
}

// An image that is not copied stays on the card when it is this one.
bool alreadyOnCard(const std::string& cardDir, const PackedFile& image)
{
    PackedFile onCard;
    return describeFile(image.name, cardDir + "/" + kCardImageFolder + "/" + image.name, onCard) &&
           onCard.sha256 == image.sha256;
}

// The card paths of what this package writes, or finds there as it is.
std::vector<std::string> packageCardPaths(const PackRequest& request,
                                          const std::vector<PackedFile>& images)
{
    std::vector<std::string> paths;
    if (!request.keyFile.empty()) {
        paths.emplace_back(PartitionMap::SignatureFileName().c_str());
    }
    if (!request.tarBallRoot.empty()) {
        paths.emplace_back(PartitionMap::TarBallFileName().c_str());
    }
    for (const PackedFile& image : images) {
        if (request.copyImages || alreadyOnCard(request.cardDir, image)) {
            paths.push_back(kCardImageFolder + ("/" + image.name));
        }
    }
    if (!request.bootSetDir.empty()) {
        for (const StdString& cardPath : PartitionMap::CardBootSet()) {
            paths.emplace_back(cardPath.c_str());
        }
    }
    return paths;
}

} // namespace

int runPack(const PackRequest& request)
{
    std::string error;
    std::string seed;
    PartitionLayout layout;
    std::vector<PackedFile> files;
    std::vector<PackedFile> bootSetLines;
    TarBallWriter tree(request.tarBallRoot, request.keepModes);
    if (!checkInputs(request, seed, layout, tree, files, bootSetLines, error)) {
        return refuse(error);
    }

    const std::string& card = request.cardDir;
    const bool isTarBall = !request.tarBallRoot.empty();
    CardLeftovers leftovers(card);
    if (!leftovers.collect(packageCardPaths(request, files), error)) {
        return refuse(error);
    }
    CardCopies copies(card);
    if ((request.copyImages && !copies.copyImages(files, error)) ||
        (!request.bootSetDir.empty() &&
         !copies.copyBootSet(request.bootSetDir, bootSetLines, error))) {
        return refuse(error);
    }
    AtomicFile tarBallFile(card, PartitionMap::TarBallFileName());
    if (isTarBall) {
        files.emplace_back();
        if (!writeTarBall(tree, tarBallFile, files.back(), error)) {
            return refuse(error);
        }
    }
    std::vector<PackedFile> lines = files;
    lines.insert(lines.end(), bootSetLines.begin(), bootSetLines.end());
    const std::string manifest = manifestText(request.version, request.compatible, lines);
    AtomicFile manifestFile(card, PartitionMap::ManifestFileName());
    AtomicFile signatureFile(card, PartitionMap::SignatureFileName());
    std::string signature;
    if ((!seed.empty() && (!signManifest(seed, manifest, signature, error) ||
                           !writeWhole(signatureFile, signature, error))) ||
        !writeWhole(manifestFile, manifest, error)) {
        return refuse(error);
    }

    // The manifest goes last, after the signature that signs it.
    std::vector<AtomicFile*> inPlace = copies.files();
    if (isTarBall) {
        inPlace.push_back(&tarBallFile);
    }
    const std::vector<AtomicFile*> withdrawn = leftovers.files();
    inPlace.insert(inPlace.end(), withdrawn.begin(), withdrawn.end());
    if (!seed.empty()) {
        inPlace.push_back(&signatureFile);
    }
    inPlace.push_back(&manifestFile);
    // Nothing is renamed unless every rename can be done.
    for (const AtomicFile* file : inPlace) {
        if (!file->canReplace()) {
            return refuse(file->finalPath() + packmessages::kNotReplaceable);
        }
    }
    if (!putInPlace(inPlace, withdrawn, error)) {
        return refuse(error);
    }
    copies.keep();
    leftovers.finish();
    reportWarnings(request, files, tree);
    std::cout << manifest << std::flush;
    return kPacked;
}
