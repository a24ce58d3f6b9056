// The card classes on the sandboxed unit, one card state per case. The
// driver sdcard_probe answers "QUESTION -> true|false" per argument, each
// with a fresh SDCardHandler; the shell after it shows what the calls left.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UnitSandbox.h"

namespace
{

const char* const kCardMountCount = "grep -c ' /mnt/sd-card ' /proc/self/mounts";

class SDCardHandlerSystem : public ::testing::Test
{
protected:
    // Runs "sdcard_probe QUESTIONS; AFTERWARDS" in the sandbox.
    SandboxResult probe(std::vector<std::string> options, const std::string& questions,
                        const std::string& afterwards = "true")
    {
        options.insert(options.end(),
                       {"--ro-bind", SDCARD_PROBE_BINARY, "/usr/local/bin/sdcard_probe"});
        return m_unit.runShell(options, "sdcard_probe " + questions + "; " + afterwards);
    }

    UnitSandbox m_unit;
};

TEST_F(SDCardHandlerSystem, NoCardMeansNotAvailableAndNotMounted)
{
    SandboxResult r = probe({"--card", "absent"}, "available mounted");
    EXPECT_EQ(r.out, "available -> false\nmounted -> false\n");
    EXPECT_EQ(r.exitStatus, 0) << r.err;
}

TEST_F(SDCardHandlerSystem, NoCardMountIsFalseAndCreatesNothing)
{
    SandboxResult r =
        probe({"--card", "absent"}, "mount", "test -e /mnt/sd-card || echo no-folder");
    EXPECT_EQ(r.out, "mount -> false\nno-folder\n") << r.err;
}

TEST_F(SDCardHandlerSystem, StaleMountIsDroppedAndMountStaysFalse)
{
    SandboxResult r =
        probe({"--card", "stale"}, "available mounted mount mounted", kCardMountCount);
    EXPECT_EQ(r.out, "available -> false\nmounted -> true\nmount -> false\nmounted -> false\n0\n")
        << r.err;
}

TEST_F(SDCardHandlerSystem, MountedCardMountIsTrueWithoutAnotherMount)
{
    m_unit.writeSdFile("lumoManifest", "manifest\n");
    SandboxResult r = probe({"--card", "mounted"}, "available mounted mount",
                            std::string(kCardMountCount) + "; cat /mnt/sd-card/lumoManifest");
    EXPECT_EQ(r.out, "available -> true\nmounted -> true\nmount -> true\n1\nmanifest\n") << r.err;
}

TEST_F(SDCardHandlerSystem, PresentCardGetsAPrivateMountFolderAndTheFailedMountIsFalse)
{
    // There is no /dev/mmcblk0p1 in the sandbox, so the mount call fails.
    SandboxResult r = probe({"--card", "present"}, "available mounted mount",
                            std::string("stat -c %F:%a /mnt/sd-card; ") + kCardMountCount);
    EXPECT_EQ(r.out, "available -> true\nmounted -> false\nmount -> false\ndirectory:700\n0\n")
        << r.err;
}

TEST_F(SDCardHandlerSystem, PresentCardKeepsAnExistingMountFolderAsItIs)
{
    SandboxResult r = m_unit.runShell(
        {"--card", "present", "--ro-bind", SDCARD_PROBE_BINARY, "/usr/local/bin/sdcard_probe"},
        "mkdir -m 755 /mnt/sd-card && sdcard_probe mount; stat -c %a /mnt/sd-card");
    EXPECT_EQ(r.out, "mount -> false\n755\n") << r.err;
}

TEST_F(SDCardHandlerSystem, UnMountOfACardThatIsNotMountedIsFalse)
{
    SandboxResult r = probe({"--card", "present"}, "unmount");
    EXPECT_EQ(r.out, "unmount -> false\n") << r.err;
}

TEST_F(SDCardHandlerSystem, UnMountOfAMountedCardRemovesTheMount)
{
    m_unit.writeSdFile("lumoManifest", "manifest\n");
    SandboxResult r = probe({"--card", "mounted"}, "unmount mounted unmount", kCardMountCount);
    EXPECT_EQ(r.out, "unmount -> true\nmounted -> false\nunmount -> false\n0\n") << r.err;
    EXPECT_EQ(UnitSandbox::readFile(m_unit.sdDir() + "/lumoManifest"), "manifest\n");
}

TEST_F(SDCardHandlerSystem, HandlersOneAfterTheOtherSeeTheSameCardAndNeverUnmount)
{
    SandboxResult r = probe({"--card", "mounted"}, "mount mounted mount mounted", kCardMountCount);
    EXPECT_EQ(r.out, "mount -> true\nmounted -> true\nmount -> true\nmounted -> true\n1\n")
        << r.err;
}

TEST_F(SDCardHandlerSystem, AnyMountWhoseLineHoldsTheFolderNameCountsAsTheCard)
{
    SandboxResult r =
        probe({"--card", "present", "--bind", m_unit.imagesDir(), "/mnt/sd-card-old"}, "mounted");
    EXPECT_EQ(r.out, "mounted -> true\n") << r.err;
}

// Bad input: the system's tables are missing or unreadable.

TEST_F(SDCardHandlerSystem, WithoutSysBlockNoCardIsAvailableAndAMountIsDropped)
{
    SandboxResult r = probe({"--card", "mounted", "--no-sys-block"}, "available mount mounted",
                            "test -e /sys/block || echo no-sys-block");
    EXPECT_EQ(r.out, "available -> false\nmount -> false\nmounted -> false\nno-sys-block\n")
        << r.err;
}

TEST_F(SDCardHandlerSystem, WithoutMountTableAMountedCardLooksUnmountedAndStaysMounted)
{
    SandboxResult r =
        probe({"--card", "mounted", "--no-mtab"}, "mounted mount unmount", kCardMountCount);
    EXPECT_EQ(r.out, "mounted -> false\nmount -> false\nunmount -> false\n1\n") << r.err;
}

TEST_F(SDCardHandlerSystem, WithoutMountTableAStaleMountIsLeftAlone)
{
    SandboxResult r = probe({"--card", "stale", "--no-mtab"}, "mount", kCardMountCount);
    EXPECT_EQ(r.out, "mount -> false\n1\n") << r.err;
}

TEST_F(SDCardHandlerSystem, AnUnreadableMountTableHidesTheMount)
{
    SandboxResult r = probe({"--card", "mounted", "--mtab", m_unit.imagesDir()}, "mounted");
    EXPECT_EQ(r.out, "mounted -> false\n") << r.err;
}

// The mount table's own class, where the table is known.

class MountTableSystem : public SDCardHandlerSystem
{
protected:
    std::vector<std::string> withTable(const std::string& table)
    {
        m_unit.writeFile("mtab", table);
        return {"--mtab", m_unit.root() + "/mtab"};
    }
};

TEST_F(MountTableSystem, FindEntryIsASubstringSearchOfTheWholeTable)
{
    SandboxResult r = probe(withTable("/dev/mmcblk0p1 /mnt/sd-card vfat rw,sync 0 0\n"),
                            "find:/mnt/sd-card find:mmcblk0p1 find:/mnt/sd find:sync find: "
                            "find:/mnt/usb find:/mnt/sd-card/x");
    EXPECT_EQ(r.out, "find:/mnt/sd-card -> true\nfind:mmcblk0p1 -> true\nfind:/mnt/sd -> true\n"
                     "find:sync -> true\nfind: -> true\nfind:/mnt/usb -> false\n"
                     "find:/mnt/sd-card/x -> false\n")
        << r.err;
}

TEST_F(MountTableSystem, WithoutATableOnlyTheEmptyTextIsFound)
{
    SandboxResult r = probe({"--card", "mounted", "--no-mtab"}, "find:/mnt/sd-card find:/ find:");
    EXPECT_EQ(r.out, "find:/mnt/sd-card -> false\nfind:/ -> false\nfind: -> true\n") << r.err;
}

TEST_F(MountTableSystem, PrintListGivesSizeFreeAndAvailableInBytes)
{
    SandboxResult r =
        probe({"--card", "present"}, "available",
              "mkdir /mnt/sd-card && mount -t tmpfs -o size=4m cardfs /mnt/sd-card && "
              "dd if=/dev/zero of=/mnt/sd-card/half bs=1M count=2 status=none && "
              "sdcard_probe list | grep ' /mnt/sd-card ' && sdcard_probe mounted");
    EXPECT_EQ(r.out, "available -> true\n"
                     "cardfs /mnt/sd-card size=4194304 free=2097152 avail=2097152\n"
                     "mounted -> true\n")
        << r.err;
}

TEST_F(MountTableSystem, PrintListSkipsMountFoldersThatCannotBeQueried)
{
    SandboxResult r = probe(withTable("ghost /no/such/folder vfat rw 0 0\n"
                                      "cardfs /tmp tmpfs rw 0 0\n"
                                      "# a comment line\n"),
                            "list");
    EXPECT_EQ(r.out.rfind("cardfs /tmp size=", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << "exactly one line: " << r.out;
}

TEST_F(MountTableSystem, PrintListOfAMissingOrUnreadableTablePrintsNothing)
{
    EXPECT_EQ(probe({"--no-mtab"}, "list", "echo end").out, "end\n");
    EXPECT_EQ(probe({"--mtab", m_unit.imagesDir()}, "list", "echo end").out, "end\n");
}

TEST_F(MountTableSystem, PrintListSurvivesALineLongerThanItsBuffer)
{
    const std::string longLine = "dev /" + std::string(6000, 'x') + " vfat rw 0 0\n";
    SandboxResult r = probe(withTable(longLine + "cardfs /tmp tmpfs rw 0 0\n"), "list");
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.out.find("cardfs /tmp size="), std::string::npos) << r.out;
}

} // namespace
