#include "packer.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <memory>
#include <vector>

#include "atomicfile.h"
#include "cardcopies.h"
#include "manifestwriter.h"
#include "packedfile.h"
#include "packinputs.h"
#include "packmessages.h"
#include "partitionmap.h"
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
// fails. Stop signals wait meanwhile. A signature file that the package
// does not have (`withdrawn`) is taken away the same way.
bool putInPlace(const std::vector<AtomicFile*>& files, AtomicFile* withdrawn, std::string& error)
{
    const SignalsWait wait;
    std::vector<AtomicFile*> placed;
    placed.reserve(files.size());
    for (AtomicFile* file : files) {
        if (!(file == withdrawn ? file->withdraw() : file->commit())) {
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

void reportWarnings(const std::vector<PackedFile>& files, const TarBallWriter& tree)
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
}

} // namespace

int runPack(const PackRequest& request)
{
    std::string error;
    std::string seed;
    std::vector<PackedFile> files;
    std::vector<PackedFile> bootSetLines;
    TarBallWriter tree(request.tarBallRoot, request.keepModes);
    const bool isTarBall = !request.tarBallRoot.empty();
    if (!checkCardDir(request.cardDir, error) || !checkVersion(request.version, error) ||
        !checkCompatible(request.compatible, error) ||
        (!request.keyFile.empty() && !readSigningKey(request.keyFile, seed, error)) ||
        (isTarBall ? !tree.collect(error) : !describeImages(request.imageFiles, files, error)) ||
        (!request.bootSetDir.empty() &&
         !CardCopies::describeBootSet(request.bootSetDir, bootSetLines, error))) {
        return refuse(error);
    }

    const std::string& card = request.cardDir;
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
        (seed.empty() && !writeWhole(signatureFile, std::string(), error)) ||
        !writeWhole(manifestFile, manifest, error)) {
        return refuse(error);
    }

    // The manifest goes last; a signature left from an earlier package would
    // sign another manifest.
    std::vector<AtomicFile*> inPlace = copies.files();
    if (isTarBall) {
        inPlace.push_back(&tarBallFile);
    }
    inPlace.insert(inPlace.end(), {&signatureFile, &manifestFile});
    // Nothing is renamed unless every rename can be done.
    for (const AtomicFile* file : inPlace) {
        if (!file->canReplace()) {
            return refuse(file->finalPath() + packmessages::kNotReplaceable);
        }
    }
    if (!putInPlace(inPlace, seed.empty() ? &signatureFile : nullptr, error)) {
        return refuse(error);
    }
    copies.keep();
    reportWarnings(files, tree);
    if (!unitsCanCompare(request.version)) {
        std::cerr << packmessages::kVersionNotComparable << std::endl;
    }
    std::cout << manifest << std::flush;
    return kPacked;
}
