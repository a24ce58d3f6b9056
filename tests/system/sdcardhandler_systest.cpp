// The card classes on the sandboxed unit, one card state per case. The
// driver sdcard_probe answers "QUESTION -> true|false" per argument, each
// with a fresh SDCardHandler; the shell after it shows what the calls left.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "UnitSandbox.h"

namespace
{

const std::string kMounts = "; grep -c ' /mnt/sd-card ' /proc/self/mounts";

struct ProbeCase {
    const char* name;
    const char* options; // for unit-sandbox, split at blanks
    std::string script;  // run in the sandbox, sdcard_probe on PATH
    std::string expected;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const ProbeCase& probeCase, std::ostream* os)
{
    *os << probeCase.name;
}

class SDCardHandlerSystem : public ::testing::Test
{
protected:
    SDCardHandlerSystem() { m_unit.writeSdFile("lumoManifest", "manifest\n"); }

    // Runs the script with `table` as the mount table, when one is given.
    SandboxResult run(std::vector<std::string> options, const std::string& script,
                      const std::string& table = "") const
    {
        if (!table.empty()) {
            m_unit.writeFile("mtab", table);
            options.insert(options.end(), {"--mtab", m_unit.root() + "/mtab"});
        }
        options.insert(options.end(),
                       {"--ro-bind", SDCARD_PROBE_BINARY, "/usr/local/bin/sdcard_probe"});
        return m_unit.runShell(options, script);
    }

    UnitSandbox m_unit;
};

class SDCardHandlerAnswers : public SDCardHandlerSystem,
                             public ::testing::WithParamInterface<ProbeCase>
{
};

// Whatever the calls did, the card's files stay as they were.
TEST_P(SDCardHandlerAnswers, AsTheCardStateDemands)
{
    std::vector<std::string> options;
    std::istringstream words(GetParam().options);
    for (std::string word; words >> word;) {
        options.push_back(word);
    }
    const SandboxResult r = run(options, GetParam().script);
    EXPECT_EQ(r.out, GetParam().expected) << r.err;
    EXPECT_EQ(UnitSandbox::readFile(m_unit.sdDir() + "/lumoManifest"), "manifest\n");
}

// Bad input among them: missing or unreadable system tables (a folder in
// place of the mount table).
const ProbeCase kCases[] = {
    {"NoCardMeansNotAvailableAndNotMounted", "--card absent", "sdcard_probe available mounted",
     "available -> false\nmounted -> false\n"},
    {"NoCardMountIsFalseAndCreatesNothing", "--card absent",
     "sdcard_probe mount; test -e /mnt/sd-card || echo no-folder", "mount -> false\nno-folder\n"},
    {"StaleMountIsDroppedAndMountStaysFalse", "--card stale",
     "sdcard_probe available mounted mount mounted" + kMounts,
     "available -> false\nmounted -> true\nmount -> false\nmounted -> false\n0\n"},
    {"MountedCardMountIsTrueWithoutAnotherMount", "--card mounted",
     "sdcard_probe available mounted mount" + kMounts + "; cat /mnt/sd-card/lumoManifest",
     "available -> true\nmounted -> true\nmount -> true\n1\nmanifest\n"},
    // There is no /dev/mmcblk0p1 in the sandbox, so the mount call fails.
    {"PresentCardGetsAPrivateMountFolderAndTheFailedMountIsFalse", "--card present",
     "sdcard_probe available mounted mount; stat -c %F:%a /mnt/sd-card" + kMounts,
     "available -> true\nmounted -> false\nmount -> false\ndirectory:700\n0\n"},
    {"PresentCardKeepsAnExistingMountFolderAsItIs", "--card present",
     "mkdir -m 755 /mnt/sd-card && sdcard_probe mount; stat -c %a /mnt/sd-card",
     "mount -> false\n755\n"},
    {"UnMountOfACardThatIsNotMountedIsFalse", "--card present", "sdcard_probe unmount",
     "unmount -> false\n"},
    {"UnMountOfAMountedCardRemovesTheMount", "--card mounted",
     "sdcard_probe unmount mounted unmount" + kMounts,
     "unmount -> true\nmounted -> false\nunmount -> false\n0\n"},
    {"HandlersOneAfterTheOtherSeeTheSameCardAndNeverUnmount", "--card mounted",
     "sdcard_probe mount mounted mount mounted" + kMounts,
     "mount -> true\nmounted -> true\nmount -> true\nmounted -> true\n1\n"},
    {"AMountOnALongerFolderNameIsNotTheCard",
     "--card present --ro-bind /usr /mnt/sd-card-old", "sdcard_probe mounted", "mounted -> false\n"},
    {"WithoutSysBlockNoCardIsAvailableAndAMountIsDropped", "--card mounted --no-sys-block",
     "sdcard_probe available mount mounted; test -e /sys/block || echo no-sys-block",
     "available -> false\nmount -> false\nmounted -> false\nno-sys-block\n"},
    {"WithoutMountTableAMountedCardLooksUnmountedAndStaysMounted", "--card mounted --no-mtab",
     "sdcard_probe mounted mount unmount" + kMounts,
     "mounted -> false\nmount -> false\nunmount -> false\n1\n"},
    {"WithoutMountTableAStaleMountIsLeftAlone", "--card stale --no-mtab",
     "sdcard_probe mount" + kMounts, "mount -> false\n1\n"},
    {"AnUnreadableMountTableHidesTheMount", "--card mounted --mtab /usr", "sdcard_probe mounted",
     "mounted -> false\n"},
    // The mount table's own class.
    {"WithoutATableNothingIsFound", "--card mounted --no-mtab",
     "sdcard_probe find:/mnt/sd-card find:/ find:",
     "find:/mnt/sd-card -> false\nfind:/ -> false\nfind: -> false\n"},
    {"PrintListGivesSizeFreeAndAvailableInBytes", "--card present",
     "mkdir /mnt/sd-card && mount -t tmpfs -o size=4m cardfs /mnt/sd-card && "
     "dd if=/dev/zero of=/mnt/sd-card/half bs=1M count=2 status=none && "
     "sdcard_probe list | grep ' /mnt/sd-card ' && sdcard_probe mounted",
     "cardfs /mnt/sd-card size=4194304 free=2097152 avail=2097152\nmounted -> true\n"},
    {"PrintListOfAMissingTablePrintsNothing", "--no-mtab", "sdcard_probe list; echo end", "end\n"},
    {"PrintListOfAnUnreadableTablePrintsNothing", "--mtab /usr", "sdcard_probe list; echo end",
     "end\n"},
};

INSTANTIATE_TEST_SUITE_P(Probe, SDCardHandlerAnswers, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ProbeCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(SDCardHandlerSystem, FindEntryComparesWholeMountPoints)
{
    const SandboxResult r = run({},
                                "sdcard_probe find:/mnt/sd-card find:mmcblk0p1 find:/mnt/sd "
                                "find:sync find: find:/mnt/usb find:/mnt/sd-card/x",
                                "/dev/mmcblk0p1 /mnt/sd-card vfat rw,sync 0 0\n");
    EXPECT_EQ(r.out, "find:/mnt/sd-card -> true\nfind:mmcblk0p1 -> false\nfind:/mnt/sd -> false\n"
                     "find:sync -> false\nfind: -> false\nfind:/mnt/usb -> false\n"
                     "find:/mnt/sd-card/x -> false\n")
        << r.err;
}

TEST_F(SDCardHandlerSystem, PrintListSkipsMountFoldersThatCannotBeQueried)
{
    const SandboxResult r = run({}, "sdcard_probe list",
                                "ghost /no/such/folder vfat rw 0 0\n"
                                "cardfs /tmp tmpfs rw 0 0\n# a comment line\n");
    EXPECT_EQ(r.out.rfind("cardfs /tmp size=", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find('\n'), r.out.size() - 1) << "exactly one line: " << r.out;
}

TEST_F(SDCardHandlerSystem, PrintListSurvivesALineLongerThanItsBuffer)
{
    const SandboxResult r =
        run({}, "sdcard_probe list",
            "dev /" + std::string(6000, 'x') + " vfat rw 0 0\ncardfs /tmp tmpfs rw 0 0\n");
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.out.find("cardfs /tmp size="), std::string::npos) << r.out;
}

} // namespace
