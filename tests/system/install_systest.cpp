// Tar-ball packages: "-i" (install with the version report), and "-v" and
// "-f" on a card whose manifest names the tar ball.
#include "cardflash_fixture.h"

namespace cardflash_test
{
namespace
{

const char* const kNewApplication = "#!/bin/sh\necho 2.0.0\n";

class InstallTest : public CardflashTest
{
protected:
    // Runs the tool with `args` on the card in `state`, then shows its exit
    // status, the unpacked file and the number of mounts on the card's folder.
    SandboxResult install(const std::string& state, const std::string& args) const
    {
        return unit.runShell(
            {"--card", state, "--version", "1.0.0-build-17", "--cardflash", CARDFLASH_BINARY},
            std::string(kTool) + " " + args +
                "; echo \"status $?\"; cat /usr/share/lumo/app/new.txt 2>/dev/null;"
                " grep -c ' /mnt/sd-card ' /proc/self/mounts");
    }
};

TEST_F(InstallTest, AGoodTarBallIsUnpackedTheCardUnmountedAndBothVersionsReported)
{
    manifest("Version,2.0.0\n" + tarBall(kNewApplication));
    const SandboxResult r = install("mounted", "-i");
    EXPECT_EQ(r.out, "Application succesfully updated!\nFrom version: 1.0.0-bu\n"
                     "To version: 2.0.0\nPLEASE REMOVE YOUR SD CARD\nThen reboot your system.\n"
                     "\nstatus 0\nunpacked\n0\n");
    EXPECT_EQ(r.log, "");
    expectPartitions();
}

// A tar ball that does not match, a manifest without a tar-ball line, a
// missing tar ball: the card stays mounted and nothing is unpacked.
TEST_F(InstallTest, APackageWhoseTarBallDoesNotCheckOutIsNotInstalled)
{
    const std::string line = tarBall(kNewApplication);
    const std::vector<std::string> manifests = {
        "lumoTarBall.tar.gz," + checkSum("some other tar ball") + "\n",
        image(kKernel),
    };
    for (const std::string& text : manifests) {
        manifest(text);
        const SandboxResult r = install("mounted", "--install");
        EXPECT_EQ(r.out, kNotUpdated + "status 255\n1\n") << text;
        EXPECT_EQ(r.log, "");
    }
    std::remove((unit.sdDir() + "/lumoTarBall.tar.gz").c_str());
    manifest(line);
    EXPECT_EQ(install("mounted", "-i").out, kNotUpdated + "status 255\n1\n");
    expectPartitions();
}

TEST_F(InstallTest, NoCardIsNotInstalled)
{
    manifest(tarBall(kNewApplication));
    EXPECT_EQ(install("absent", "-i").out, kNotUpdated + "status 255\n0\n");
}

TEST_F(InstallTest, VerifyingATarBallPackageSaysTarballOnlyWhenTheTarBallMatches)
{
    const std::string line = tarBall(kNewApplication);
    manifest(line + image(kKernel));
    EXPECT_EQ(install("mounted", "-v").out, "TARBALL\nstatus 255\n1\n");
    manifest("lumoTarBall.tar.gz,EMPTY\n" + image(kKernel));
    EXPECT_EQ(install("mounted", "-v").out, "INVALID\nstatus 255\n1\n");
}

TEST_F(InstallTest, FlashingATarBallPackageUnpacksItAndWritesNoPartition)
{
    manifest(tarBall(kNewApplication) + image(kKernel));
    const SandboxResult r = install("mounted", "-f");
    EXPECT_EQ(r.out, "FLASH COMPLETE\nstatus 255\nunpacked\n1\n");
    EXPECT_EQ(r.log, "");
    expectPartitions();
}

} // namespace
} // namespace cardflash_test
