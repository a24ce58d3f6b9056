// Arbitrary bytes as the archive that FileSystem::uncompressTarGz unpacks
// into a scratch directory. Passing means: no sanitizer report, no crash, no
// leak, and nothing written outside the scratch directory.
//
// A damaged archive ends the whole program with exit status 1 by design, so
// every input is unpacked in a child process; its exit status 1 is an
// expected outcome, anything else but 0 fails the run. The child's coverage
// counters travel back to this process through shared memory, so libFuzzer
// is guided by what the child reached.
//
// The child unpacks inside a jail: a fresh tmpfs per input, mounted in a
// mount namespace of this process only and entered with chroot, holding the
// archive and the scratch directory. An absolute path, a symbolic link or a
// hard link that leads out of the scratch directory therefore lands
// somewhere in the jail, never on the machine, and the walk over the jail
// afterwards finds it. Needs root (mount, chroot), as the sandboxed system
// tests do.
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <sanitizer/common_interface_defs.h>
#include <sanitizer/lsan_interface.h>
#include <sched.h>
#include <string>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "coverage_bounds.h"
#include "filesystem.h"

namespace
{

const int kSanitizerReport = 86;
const int kUnexpectedExit = 87;
const int kLeakReport = 88;
const int kFatalArchiveStatus = 1;
const char* const kJailArchive = "/archive";
const char* const kJailScratch = "/scratch";

std::string g_jail;
std::string g_childLog;
int g_realRoot = -1;
uint8_t* g_childCounters = nullptr;

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "archive_fuzzer: %s\n", what);
    std::abort();
}

[[noreturn]] void failWithErrno(const char* what)
{
    std::fprintf(stderr, "archive_fuzzer: %s: %s\n", what, std::strerror(errno));
    std::abort();
}

std::size_t counterBytes()
{
    return coverageCountersBegin() == nullptr
               ? 0
               : static_cast<std::size_t>(coverageCountersEnd() - coverageCountersBegin());
}

// --- in the child --------------------------------------------------------------

void handCountersToParent()
{
    if (g_childCounters != nullptr) {
        std::memcpy(g_childCounters, coverageCountersBegin(), counterBytes());
    }
}

void leaveJail()
{
    if (fchdir(g_realRoot) != 0 || chroot(".") != 0) {
        _exit(kUnexpectedExit);
    }
}

void childSanitizerDeath()
{
    _exit(kSanitizerReport);
}

// exit() from inside the tool: status 1 is its answer to a damaged archive.
void childExited(int status, void*)
{
    handCountersToParent();
    _exit(status == kFatalArchiveStatus ? kFatalArchiveStatus : kUnexpectedExit);
}

[[noreturn]] void unpackInChild()
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    __sanitizer_set_death_callback(childSanitizerDeath);
    on_exit(childExited, nullptr);
    const int log = open(g_childLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (log < 0 || dup2(log, STDOUT_FILENO) < 0 || dup2(log, STDERR_FILENO) < 0) {
        _exit(kUnexpectedExit);
    }
    close(log);
    if (chroot(g_jail.c_str()) != 0 || chdir("/") != 0) {
        _exit(kUnexpectedExit);
    }
    FileSystem fileSystem;
    fileSystem.uncompressTarGz(kJailArchive, kJailScratch);
    handCountersToParent();
    // The leak check needs /proc, which the jail does not have.
    leaveJail();
    _exit(__lsan_do_recoverable_leak_check() != 0 ? kLeakReport : 0);
}

// --- in this process -------------------------------------------------------

void writeWhole(const std::string& path, const uint8_t* data, std::size_t size)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        failWithErrno("cannot create the archive in the jail");
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t written = write(fd, data + done, size - done);
        if (written <= 0) {
            failWithErrno("cannot write the archive into the jail");
        }
        done += static_cast<std::size_t>(written);
    }
    close(fd);
}

std::string readWhole(const std::string& path)
{
    std::string content;
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW);
    if (fd < 0) {
        return "<unreadable>";
    }
    char block[4096];
    ssize_t got = 0;
    while ((got = read(fd, block, sizeof block)) > 0) {
        content.append(block, static_cast<std::size_t>(got));
    }
    close(fd);
    return content;
}

void printChildLog()
{
    const std::string log = readWhole(g_childLog);
    std::fprintf(stderr, "---- output of the unpacking child ----\n%s---- end ----\n", log.c_str());
}

void takeChildCounters()
{
    const std::size_t bytes = counterBytes();
    uint8_t* const counters = coverageCountersBegin();
    for (std::size_t i = 0; i < bytes; ++i) {
        const unsigned sum = counters[i] + g_childCounters[i];
        counters[i] = static_cast<uint8_t>(sum > 255 ? 255 : sum);
    }
    std::memset(g_childCounters, 0, bytes);
}

void judgeChild(int status)
{
    if (WIFEXITED(status) &&
        (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == kFatalArchiveStatus)) {
        return;
    }
    printChildLog();
    if (WIFSIGNALED(status)) {
        std::fprintf(stderr, "archive_fuzzer: the unpacking child was killed by signal %d\n",
                     WTERMSIG(status));
    } else if (WEXITSTATUS(status) == kSanitizerReport) {
        std::fprintf(stderr, "archive_fuzzer: sanitizer report in the unpacking child (above)\n");
    } else if (WEXITSTATUS(status) == kLeakReport) {
        std::fprintf(stderr,
                     "archive_fuzzer: memory leaked by an extraction that returned (above)\n");
    } else {
        std::fprintf(stderr, "archive_fuzzer: the unpacking child ended with status %d\n",
                     WEXITSTATUS(status));
    }
    std::abort();
}

struct stat g_jailBefore;
std::string g_firstEscape;

int noteEscape(const char* path, const struct stat*, int, struct FTW*)
{
    const std::string relative = std::string(path).substr(g_jail.size());
    const std::string scratch = kJailScratch;
    const bool allowed = relative.empty() || relative == kJailArchive || relative == scratch ||
                         relative.compare(0, scratch.size() + 1, scratch + "/") == 0;
    if (!allowed) {
        g_firstEscape = relative;
        return 1;
    }
    return 0;
}

// Everything the child did must have stayed inside the scratch directory.
void checkNothingOutsideScratch(const uint8_t* data, std::size_t size)
{
    g_firstEscape.clear();
    if (nftw(g_jail.c_str(), noteEscape, 16, FTW_PHYS) != 0 && g_firstEscape.empty()) {
        failWithErrno("cannot walk the jail");
    }
    if (!g_firstEscape.empty()) {
        printChildLog();
        std::fprintf(stderr, "archive_fuzzer: written outside the scratch directory: %s\n",
                     g_firstEscape.c_str());
        std::abort();
    }
    struct stat jail;
    struct stat scratch;
    if (lstat(g_jail.c_str(), &jail) != 0 ||
        lstat((g_jail + kJailScratch).c_str(), &scratch) != 0) {
        failWithErrno("jail disappeared");
    }
    if (jail.st_mode != g_jailBefore.st_mode || jail.st_uid != g_jailBefore.st_uid ||
        jail.st_gid != g_jailBefore.st_gid || jail.st_ctim.tv_sec != g_jailBefore.st_ctim.tv_sec ||
        jail.st_ctim.tv_nsec != g_jailBefore.st_ctim.tv_nsec) {
        printChildLog();
        fail("the directory holding the scratch directory was changed");
    }
    if (!S_ISDIR(scratch.st_mode)) {
        printChildLog();
        fail("the scratch directory was replaced");
    }
    if (readWhole(g_jail + kJailArchive) !=
        std::string(reinterpret_cast<const char*>(data), size)) {
        printChildLog();
        fail("the archive itself (outside the scratch directory) was written to");
    }
}

void mountFreshJail()
{
    if (mount("tmpfs", g_jail.c_str(), "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC,
              "size=64m,mode=0755") != 0) {
        failWithErrno("cannot mount the jail's tmpfs");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (geteuid() != 0) {
        fail("needs root (mount namespace, tmpfs, chroot); run it through scripts/test-fuzz");
    }
    if (unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        failWithErrno("cannot get a private mount namespace");
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/archive_fuzzer.XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) {
        failWithErrno("mkdtemp");
    }
    g_jail = pattern + "/jail";
    g_childLog = pattern + "/child.log";
    if (mkdir(g_jail.c_str(), 0755) != 0) {
        failWithErrno("mkdir jail");
    }
    g_realRoot = open("/", O_RDONLY | O_DIRECTORY);
    if (g_realRoot < 0) {
        failWithErrno("open /");
    }
    if (counterBytes() > 0) {
        void* shared = mmap(nullptr, counterBytes(), PROT_READ | PROT_WRITE,
                            MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        if (shared == MAP_FAILED) {
            failWithErrno("mmap");
        }
        g_childCounters = static_cast<uint8_t*>(shared);
    }
    // Start the symbolizer now: a child's report is made inside the jail,
    // where it could not be started.
    char frame[256];
    __sanitizer_symbolize_pc(reinterpret_cast<void*>(&fail), "%p %F %L", frame, sizeof frame);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    mountFreshJail();
    writeWhole(g_jail + kJailArchive, data, size);
    if (mkdir((g_jail + kJailScratch).c_str(), 0755) != 0) {
        failWithErrno("mkdir scratch");
    }
    if (lstat(g_jail.c_str(), &g_jailBefore) != 0) {
        failWithErrno("lstat jail");
    }
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        failWithErrno("fork");
    }
    if (child == 0) {
        unpackInChild();
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            failWithErrno("waitpid");
        }
    }
    takeChildCounters();
    judgeChild(status);
    checkNothingOutsideScratch(data, size);
    if (umount2(g_jail.c_str(), MNT_DETACH) != 0) {
        failWithErrno("umount jail");
    }
    return 0;
}
