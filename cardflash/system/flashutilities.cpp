#include "flashutilities.h"

#include <cstdio>
#include <cstdlib>
#include <link.h>
#include <sstream>

#include "Stat.h"
#include "filesystem.h"
#include "shellcommand.h"

namespace
{

const char8* const stagingTemplate = "/run/cardflash-XXXXXX";
const char8* const cannotStageMessage = "CANNOT COPY THE FLASH UTILITIES TO RAM";
const char8* const utilityMissingMessage = "FLASH UTILITY MISSING: ";
const unsigned int stagedMode = 0700;
const std::size_t longestLibraryList = std::size_t{64} * 1024;
const int32 notFoundStatus = 127 << 8;
const char8* const scriptMarker = "#!";
const char8* const libraryArrow = " => ";
const std::size_t longestScriptLine = 256;
// The shell's own search path, for a process started without PATH.
const char8* const defaultSearchPath = "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";

struct Utility {
    const char8* name;
    // Writing cannot go without it; the lock utilities may be missing, as
    // on flash without lock support.
    bool required;
};
const Utility utilities[] = {
    {"flash_unlock", false}, {"flash_erase", true}, {"flashcp", true}, {"flash_lock", false}};

// Words are separated by blanks and tabs (the loader's list indents with tabs).
std::vector<std::string> wordsOf(const std::string& text)
{
    std::vector<std::string> words;
    std::istringstream stream(text);
    std::string word;
    while (stream >> word) {
        words.push_back(word);
    }
    return words;
}

std::string baseName(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

// Where the shell would find the utility.
std::string findInSearchPath(const std::string& name)
{
    const char8* searchPath = std::getenv("PATH");
    std::istringstream directories(searchPath != nullptr ? searchPath : defaultSearchPath);
    std::string directory;
    Stat status;
    while (std::getline(directories, directory, ':')) {
        std::string candidate = directory.empty() ? "." : directory;
        candidate += '/';
        candidate += name;
        if (status.isRegularFile(candidate)) {
            return candidate;
        }
    }
    return std::string();
}

int recordInterpreter(dl_phdr_info* info, size_t, void* found)
{
    for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
        if (info->dlpi_phdr[i].p_type == PT_INTERP) {
            // The loader hands out addresses as integers.
            *static_cast<std::string*>(found) =
                reinterpret_cast<const char8*>( // NOLINT(performance-no-int-to-ptr)
                    info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
        }
    }
    return 1; // the first object is the program itself
}

// The dynamic loader that started this program, which starts the system's
// other programs too; "" for a static program.
std::string ownLoader()
{
    std::string loader;
    dl_iterate_phdr(recordInterpreter, &loader);
    return loader;
}

} // namespace

FlashUtilities::FlashUtilities() {}

FlashUtilities::~FlashUtilities()
{
    if (!m_directory.empty()) {
        FileSystem fileSystem;
        fileSystem.removeDirectory(m_directory);
    }
}

bool FlashUtilities::Prepare(StdString& problem)
{
    if (!m_directory.empty()) {
        return true;
    }
    FileSystem fileSystem;
    m_directory = fileSystem.makePrivateDirectory(stagingTemplate);
    m_loader = ownLoader();
    if (m_directory.empty() || !fileSystem.isInMemory(m_directory)) {
        problem = cannotStageMessage;
        return false;
    }
    for (const Utility& utility : utilities) {
        const std::string path = findInSearchPath(utility.name);
        if (path.empty() && utility.required) {
            problem = StdString(utilityMissingMessage) + utility.name;
            return false;
        }
        if (!path.empty() && !StageUtility(utility.name, path)) {
            problem = cannotStageMessage;
            return false;
        }
    }
    return true;
}

int32 FlashUtilities::Run(const StdString& commandLine)
{
    std::vector<std::string> words = wordsOf(commandLine);
    const auto staged = words.empty() ? m_commands.end() : m_commands.find(words.front());
    if (staged == m_commands.end()) {
        (void)std::fprintf(stderr, "%s: not found\n", words.empty() ? "" : words.front().c_str());
        return notFoundStatus;
    }
    std::vector<std::string> command = staged->second;
    command.insert(command.end(), words.begin() + 1, words.end());
    return runProgram(command);
}

bool FlashUtilities::StageUtility(const std::string& name, const std::string& path)
{
    const std::string staged = m_directory + "/" + name;
    FileSystem fileSystem;
    const std::string firstLine = fileSystem.readFirstLine(path, longestScriptLine);
    std::vector<std::string> command;
    const bool isScript = firstLine.compare(0, 2, scriptMarker) == 0;
    if (!StageFile(path, name) || (isScript ? !StageInterpreter(firstLine.substr(2), command)
                                            : !StageExecutable(name, path, command))) {
        return false;
    }
    command.push_back(staged);
    m_commands[name] = command;
    return true;
}

// A script runs under a copy of its interpreter.
bool FlashUtilities::StageInterpreter(const std::string& interpreterLine,
                                      std::vector<std::string>& command)
{
    const std::vector<std::string> words = wordsOf(interpreterLine);
    if (words.empty()) {
        return false;
    }
    const std::string name = baseName(words.front());
    if (!StageFile(words.front(), name) || !StageExecutable(name, words.front(), command)) {
        return false;
    }
    command.push_back(m_directory + "/" + name);
    command.insert(command.end(), words.begin() + 1, words.end());
    return true;
}

// A dynamic program is started by a copy of the loader, which finds its
// libraries among the copies; the loader gives it the name it has on the
// command line.
bool FlashUtilities::StageExecutable(const std::string& name, const std::string& path,
                                     std::vector<std::string>& command)
{
    std::string libraries;
    if (m_loader.empty() ||
        !runProgramForOutput({m_loader, "--list", path}, longestLibraryList, libraries)) {
        command.clear();
        return true;
    }
    if (!StageLibraries(libraries) || !StageFile(m_loader, baseName(m_loader))) {
        return false;
    }
    command = {m_directory + "/" + baseName(m_loader), "--library-path", m_directory, "--argv0",
               name};
    return true;
}

// The loader's list: "NAME => PATH (ADDRESS)" for each library found.
bool FlashUtilities::StageLibraries(const std::string& list)
{
    std::istringstream lines(list);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t arrow = line.find(libraryArrow);
        if (arrow == std::string::npos) {
            continue;
        }
        const std::vector<std::string> name = wordsOf(line.substr(0, arrow));
        const std::vector<std::string> target = wordsOf(line.substr(arrow + 4));
        if (name.empty() || target.empty() || target.front().front() != '/' ||
            !StageFile(target.front(), name.front())) {
            return false;
        }
    }
    return true;
}

bool FlashUtilities::StageFile(const std::string& from, const std::string& name)
{
    FileSystem fileSystem;
    const std::string to = m_directory + "/" + name;
    return fileSystem.fileExists(to) || fileSystem.copyFile(from, to, stagedMode);
}
