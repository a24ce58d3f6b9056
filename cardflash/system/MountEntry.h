#ifndef MOUNTENTRY_H
#define MOUNTENTRY_H

#include <mntent.h>
#include <string>
#include <vector>

// Questions about the system's table of mounted file systems, and the
// fields of one table line.
class MountEntry
{
public:
    MountEntry();
    MountEntry(const MountEntry& other);
    MountEntry operator=(const MountEntry& rhs);
    ~MountEntry();

    const std::string getMountDevice() const;
    const std::string getMountPoint() const;
    const std::string getFilesystemType() const;
    bool setMountDevice(const std::string& device);
    bool setMountPoint(const std::string& mount_point);
    bool setFilesystemType(const std::string& filesystem);

    bool setMountDeviceEntry(const std::string& filename, const std::string& options);
    bool findEntry(std::string target);
    bool exists(std::string entry);
    void printList();

private:
    struct mntent* m_mountEntry;
    std::string m_mount_device;
    std::string m_mount_point;
    std::string m_filesystem;
    std::string m_options;
    std::string m_dump_frequency;
    std::string m_pass_number;
};

#endif
