#include "UnitSandbox.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace
{

const int kPartitionCount = 9;

std::string makeTempDir()
{
    std::string pattern = (fs::temp_directory_path() / "unit-sandbox-test.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temp folder");
    }
    return pattern;
}

// Runs argv with standard output and error going to the given files and
// gives the exit status (128 + signal when killed).
int spawn(const std::vector<std::string>& argv, const std::string& outFile,
          const std::string& errFile)
{
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("cannot fork");
    }
    if (pid == 0) {
        int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0) {
            _exit(126);
        }
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            throw std::runtime_error("cannot wait for the sandbox");
        }
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

} // namespace

UnitSandbox::UnitSandbox(std::size_t partitionSize) : m_root(makeTempDir())
{
    fs::create_directories(sdDir());
    fs::create_directories(imagesDir());
    fs::create_directories(mtdDir());
    for (int i = 0; i < kPartitionCount; ++i) {
        writePartition(i, std::string(partitionSize, '\xff'));
    }
    writeFileAt(logFile(), "");
}

UnitSandbox::~UnitSandbox()
{
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
}

std::string UnitSandbox::partitionFile(int index) const
{
    return mtdDir() + "/mtd" + std::to_string(index);
}

void UnitSandbox::writeSdFile(const std::string& name, const std::string& contents) const
{
    writeFileAt(sdDir() + "/" + name, contents);
}

void UnitSandbox::writeImage(const std::string& name, const std::string& contents) const
{
    writeFileAt(imagesDir() + "/" + name, contents);
}

void UnitSandbox::writeFile(const std::string& relativePath, const std::string& contents) const
{
    writeFileAt(m_root + "/" + relativePath, contents);
}

std::string UnitSandbox::readPartition(int index) const
{
    return readFile(partitionFile(index));
}

void UnitSandbox::writePartition(int index, const std::string& contents) const
{
    writeFileAt(partitionFile(index), contents);
}

SandboxResult UnitSandbox::run(const std::vector<std::string>& options,
                               const std::vector<std::string>& command) const
{
    std::vector<std::string> argv = {SANDBOX_SCRIPT, "--sd",   sdDir(), "--images", imagesDir(),
                                     "--mtd",        mtdDir(), "--log", logFile()};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back("--");
    argv.insert(argv.end(), command.begin(), command.end());

    writeFileAt(logFile(), "");
    const std::string outFile = m_root + "/run.out";
    const std::string errFile = m_root + "/run.err";
    SandboxResult result;
    result.exitStatus = spawn(argv, outFile, errFile);
    result.out = readFile(outFile);
    result.err = readFile(errFile);
    result.log = readFile(logFile());
    fs::remove(outFile);
    fs::remove(errFile);
    return result;
}

SandboxResult UnitSandbox::runShell(const std::vector<std::string>& options,
                                    const std::string& script) const
{
    return run(options, {"/bin/sh", "-c", script});
}

std::string UnitSandbox::readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

void UnitSandbox::writeFileAt(const std::string& path, const std::string& contents)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}
