#include "mountinfo.h"

#include <cstdlib>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "filesystem.h"

namespace
{

const char* const mountTable = "/proc/self/mountinfo";
const std::size_t longestMountTable = std::size_t{4} * 1024 * 1024;
const char* const fieldsEnd = "-";
const int octalEscapeLength = 4;

struct NamedFlag {
    const char* option;
    unsigned long flag;
};
const NamedFlag ownFlags[] = {{"nosuid", MS_NOSUID},         {"nodev", MS_NODEV},
                              {"noexec", MS_NOEXEC},         {"noatime", MS_NOATIME},
                              {"nodiratime", MS_NODIRATIME}, {"relatime", MS_RELATIME}};

// The table writes blanks, tabs, line feeds and backslashes in paths as
// three octal digits behind a backslash.
std::string unescaped(const std::string& field)
{
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + octalEscapeLength <= field.size()) {
            text += static_cast<char>(std::strtoul(field.substr(i + 1, 3).c_str(), nullptr, 8));
            i += octalEscapeLength - 1;
        } else {
            text += field[i];
        }
    }
    return text;
}

bool hasOption(const std::string& options, const std::string& option)
{
    return ("," + options + ",").find("," + option + ",") != std::string::npos;
}

// ID PARENT MAJOR:MINOR ROOT MOUNT_POINT OPTIONS [OPTIONAL...] - TYPE SOURCE SUPER_OPTIONS
bool parseLine(const std::string& line, MountedFileSystem& mount)
{
    std::istringstream fields(line);
    std::string parent;
    std::string device;
    std::string root;
    std::string mountPoint;
    std::string field;
    std::string type;
    std::string source;
    if (!(fields >> mount.id >> parent >> device >> root >> mountPoint >> mount.mountOptions)) {
        return false;
    }
    while (fields >> field && field != fieldsEnd) {
    }
    const std::size_t colon = device.find(':');
    if (field != fieldsEnd || !(fields >> type >> source >> mount.superOptions) ||
        colon == std::string::npos) {
        return false;
    }
    mount.major = std::strtoul(device.substr(0, colon).c_str(), nullptr, 10);
    mount.minor = std::strtoul(device.substr(colon + 1).c_str(), nullptr, 10);
    mount.mountPoint = unescaped(mountPoint);
    mount.source = unescaped(source);
    return true;
}

} // namespace

bool MountedFileSystem::isReadOnly() const
{
    return hasOption(superOptions, "ro");
}

unsigned long MountedFileSystem::mountFlags() const
{
    unsigned long flags = 0;
    for (const NamedFlag& named : ownFlags) {
        if (hasOption(mountOptions, named.option)) {
            flags |= named.flag;
        }
    }
    return flags;
}

bool MountInfo::Read(std::vector<MountedFileSystem>& mounts)
{
    mounts.clear();
    FileSystem fileSystem;
    std::string table;
    if (!fileSystem.readFileBytes(mountTable, longestMountTable, table)) {
        return false;
    }
    std::istringstream lines(table);
    std::string line;
    while (std::getline(lines, line)) {
        MountedFileSystem mount;
        if (!parseLine(line, mount)) {
            mounts.clear();
            return false;
        }
        mounts.push_back(mount);
    }
    return !mounts.empty();
}

bool MountInfo::Reaches(const MountedFileSystem& mounted)
{
    struct stat64 status {
    };
    return stat64(mounted.mountPoint.c_str(), &status) == 0 &&
           major(status.st_dev) == mounted.major && minor(status.st_dev) == mounted.minor;
}

bool MountInfo::Remount(const std::string& mountPoint, bool readOnly, unsigned long flags)
{
    return mount(nullptr, mountPoint.c_str(), nullptr,
                 MS_REMOUNT | flags | (readOnly ? MS_RDONLY : 0), nullptr) == 0;
}
