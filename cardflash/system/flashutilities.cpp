#include "flashutilities.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <elf.h>
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
const char8* const envProgram = "env";
// An ELF program's headers lie at its start; a program whose do not is not taken.
const std::size_t longestProgramStart = 4096;
const std::size_t longestScriptLine = 256;
// The shell's own search path, for a process started without PATH.
const char8* const defaultSearchPath =
    "/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";

#if __SIZEOF_POINTER__ == 8
const unsigned char nativeElfClass = ELFCLASS64;
#else
const unsigned char nativeElfClass = ELFCLASS32;
#endif

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

enum class ProgramKind { Dynamic, Static, Other };

// An ELF program of this machine's kind that names an interpreter (the
// loader) is dynamic; one without is static; anything else is no program
// that can be staged.
ProgramKind programKind(const std::string& path)
{
    FileSystem fileSystem;
    std::string start;
    ElfW(Ehdr) header{};
    if (!fileSystem.readFileStart(path, longestProgramStart, start) ||
        start.size() < sizeof header) {
        return ProgramKind::Other;
    }
    std::memcpy(&header, start.data(), sizeof header);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != nativeElfClass || header.e_phentsize != sizeof(ElfW(Phdr)) ||
        header.e_phoff > start.size() ||
        std::uint64_t{header.e_phnum} * sizeof(ElfW(Phdr)) > start.size() - header.e_phoff) {
        return ProgramKind::Other;
    }
    for (ElfW(Half) i = 0; i < header.e_phnum; ++i) {
        ElfW(Phdr) programHeader{};
        std::memcpy(&programHeader, start.data() + header.e_phoff + i * sizeof programHeader,
                    sizeof programHeader);
        if (programHeader.p_type == PT_INTERP) {
            return ProgramKind::Dynamic;
        }
    }
    return ProgramKind::Static;
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

// A script runs under a copy of its interpreter; "#!/usr/bin/env NAME" under
// a copy of the NAME that env would find. An interpreter that is a script
// itself is not taken.
bool FlashUtilities::StageInterpreter(const std::string& interpreterLine,
                                      std::vector<std::string>& command)
{
    const std::vector<std::string> words = wordsOf(interpreterLine);
    if (words.empty()) {
        return false;
    }
    std::string interpreter = words.front();
    std::size_t firstArgument = 1;
    if (baseName(interpreter) == envProgram) {
        if (words.size() < 2 || words[1].front() == '-') {
            return false;
        }
        interpreter = findInSearchPath(words[1]);
        firstArgument = 2;
    }
    const std::string name = baseName(interpreter);
    if (interpreter.empty() || programKind(interpreter) == ProgramKind::Other ||
        !StageFile(interpreter, name) || !StageExecutable(name, interpreter, command)) {
        return false;
    }
    command.push_back(m_directory + "/" + name);
    command.insert(command.end(), words.begin() + static_cast<std::ptrdiff_t>(firstArgument),
                   words.end());
    return true;
}

// A dynamic program is started by a copy of the loader, which finds its
// libraries among the copies; the loader gives it the name it has on the
// command line. A static one starts by itself. Anything the loader cannot
// list whole is refused: once the flash is rewritten, what was not copied is
// gone.
bool FlashUtilities::StageExecutable(const std::string& name, const std::string& path,
                                     std::vector<std::string>& command)
{
    const ProgramKind kind = programKind(path);
    if (kind == ProgramKind::Static) {
        command.clear();
        return true;
    }
    std::string libraries;
    if (kind != ProgramKind::Dynamic || m_loader.empty() ||
        !runProgramForOutput({m_loader, "--list", path}, longestLibraryList, libraries) ||
        !StageLibraries(libraries) || !StageFile(m_loader, baseName(m_loader))) {
        return false;
    }
    command = {m_directory + "/" + baseName(m_loader), "--library-path", m_directory, "--argv0",
               name};
    return true;
}

// The loader's list: "NAME => PATH (ADDRESS)" for each library found,
// "NAME (ADDRESS)" for the kernel's vDSO and "PATH (ADDRESS)" for the loader
// itself. A library named by its path in the program would be looked for
// there, never among the copies, and one that is not found is missing.
bool FlashUtilities::StageLibraries(const std::string& list)
{
    std::istringstream lines(list);
    std::string line;
    while (std::getline(lines, line)) {
        const std::vector<std::string> words = wordsOf(line);
        const std::size_t arrow = line.find(libraryArrow);
        if (arrow != std::string::npos) {
            const std::vector<std::string> name = wordsOf(line.substr(0, arrow));
            const std::vector<std::string> target = wordsOf(line.substr(arrow + 4));
            if (name.empty() || target.empty() || target.front().front() != '/' ||
                !StageFile(target.front(), name.front())) {
                return false;
            }
        } else if (!words.empty() && words.front().front() == '/' &&
                   baseName(words.front()) != baseName(m_loader)) {
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
