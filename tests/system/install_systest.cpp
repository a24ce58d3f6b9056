// Tar-ball packages: "-i" (install with the version report), and "-v" and
// "-f" on a card whose manifest names the tar ball.
#include "cardflash_fixture.h"

#include <sys/stat.h>

namespace cardflash_test
{
namespace
{

const char* const kNewApplication = "#!/bin/sh\necho 2.0.0\n";
const char* const kNotUpdated = "Application not updated!\n";
const char* const kUpdated = "Application succesfully updated!\n"
                             "From version: 1.0.0-bu\n"
                             "To version: 2.0.0\n"
                             "PLEASE REMOVE YOUR SD CARD\n"
                             "Then reboot your system.\n"
                             "\n";

// What the sandbox looks like after the tool ran: the unpacked file, the
// number of mounts on the card's mount point.
const char* const kAfterwards = "echo \"status $?\"; cat /usr/share/lumo/app/new.txt 2>/dev/null;"
                                " grep -c ' /mnt/sd-card ' /proc/self/mounts";

class InstallTest : public CardflashTest
{
protected:
    // Packs a new application (a new TestTessaron and a data file) into the
    // card's tar ball and gives the tar ball's manifest line.
    std::string tarBall() const
    {
        const std::string staging = unit.root() + "/staging";
        const std::string application = staging + "/usr/share/lumo/bin/TestTessaron";
        UnitSandbox::writeFileAt(application, kNewApplication);
        chmod(application.c_str(), 0755);
        UnitSandbox::writeFileAt(staging + "/usr/share/lumo/app/new.txt", "unpacked\n");
        const std::string tarBallPath = unit.sdDir() + "/lumoTarBall.tar.gz";
        const std::string pack = "tar -C '" + staging + "' -czf '" + tarBallPath + "' usr";
        EXPECT_EQ(std::system(pack.c_str()), 0);
        return "lumoTarBall.tar.gz," + checkSum(UnitSandbox::readFile(tarBallPath)) + "\n";
    }

    // Runs the tool with `args` on the card in `state`, then kAfterwards.
    SandboxResult install(const std::string& state, const std::string& args) const
    {
        return unit.runShell(
            {"--card", state, "--version", "1.0.0-build-17", "--cardflash", CARDFLASH_BINARY},
            std::string(kTool) + " " + args + "; " + kAfterwards);
    }
};

// --- -i --------------------------------------------------------------------------------

TEST_F(InstallTest, AGoodTarBallIsUnpackedTheCardUnmountedAndBothVersionsReported)
{
    manifest("Version,2.0.0\n" + tarBall());
    const SandboxResult r = install("mounted", "-i");
    EXPECT_EQ(r.out, std::string(kUpdated) + "status 0\nunpacked\n0\n");
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

TEST_F(InstallTest, ATarBallThatDoesNotMatchItsChecksumIsNotInstalled)
{
    tarBall();
    manifest("lumoTarBall.tar.gz," + checkSum("some other tar ball") + "\n");
    const SandboxResult r = install("mounted", "--install");
    EXPECT_EQ(r.out, std::string(kNotUpdated) + "status 255\n1\n");
    EXPECT_EQ(r.log, "");
}

TEST_F(InstallTest, AManifestWithoutATarBallLineIsNotInstalled)
{
    tarBall();
    manifest(image("zImage", "kernel"));
    const SandboxResult r = install("mounted", "-i");
    EXPECT_EQ(r.out, std::string(kNotUpdated) + "status 255\n1\n");
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

TEST_F(InstallTest, AMissingTarBallIsNotInstalled)
{
    manifest("lumoTarBall.tar.gz," + checkSum("tar ball") + "\n");
    const SandboxResult r = install("mounted", "-i");
    EXPECT_EQ(r.out, std::string(kNotUpdated) + "status 255\n1\n");
}

TEST_F(InstallTest, NoCardIsNotInstalled)
{
    manifest(tarBall());
    const SandboxResult r = install("absent", "-i");
    EXPECT_EQ(r.out, std::string(kNotUpdated) + "status 255\n0\n");
}

// --- -v and -f on tar-ball packages ---------------------------------------------------------

TEST_F(InstallTest, VerifyingAGoodTarBallPackageSaysTarball)
{
    manifest(tarBall() + image("zImage", "kernel"));
    const SandboxResult r = install("mounted", "-v");
    EXPECT_EQ(r.out, "TARBALL\nstatus 255\n1\n");
}

TEST_F(InstallTest, VerifyingAPackageWhoseTarBallDoesNotMatchSaysInvalid)
{
    tarBall();
    manifest("lumoTarBall.tar.gz,EMPTY\n" + image("zImage", "kernel"));
    EXPECT_EQ(install("mounted", "-v").out, "INVALID\nstatus 255\n1\n");
}

TEST_F(InstallTest, FlashingATarBallPackageUnpacksItAndWritesNoPartition)
{
    manifest(tarBall() + image("zImage", "kernel"));
    const SandboxResult r = install("mounted", "-f");
    EXPECT_EQ(r.out, "status 255\nunpacked\n0\n");
    EXPECT_EQ(r.log, "");
    expectAllUntouched();
}

} // namespace
} // namespace cardflash_test
