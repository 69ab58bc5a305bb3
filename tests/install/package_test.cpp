// The Debian package: made by CPack from the real build, unpacked into a scratch tree, its files
// and declared dependencies checked, and the unpacked program started.
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/stat.h>

#include "support/process.h"
#include "support/x11.h"

namespace {

using namespace std::chrono_literals;

bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

class Package : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder = makeScratchFolder("kv-package");
        int code = -1;
        const std::string log = runCommand("cd '" + std::string(KV_BINARY_DIR) +
                                               "' && cpack -G DEB -B '" + folder + "/out' 2>&1",
                                           &code);
        ASSERT_EQ(code, 0) << log;
        deb = runCommand("ls '" + folder + "'/out/kestroview_*.deb | head -n1");
        ASSERT_FALSE(deb.empty()) << log;
        runCommand("dpkg-deb -x '" + deb + "' '" + folder + "/root'", &code);
        ASSERT_EQ(code, 0);
    }
    static void TearDownTestSuite() { runCommand("rm -rf '" + folder + "'"); }
    static std::string folder;
    static std::string deb;
};
std::string Package::folder;
std::string Package::deb;

TEST_F(Package, HoldsTheProgramsDesktopEntryIconsAndManPages) {
    const std::string root = folder + "/root/usr";
    const char* files[] = {
        "/bin/kestroview",
        "/bin/kestroview-sim",
        "/bin/kestroview-launcher",
        "/bin/kestroview-report",
        "/share/applications/kestroview.desktop",
        "/share/icons/hicolor/16x16/apps/kestroview.png",
        "/share/icons/hicolor/32x32/apps/kestroview.png",
        "/share/icons/hicolor/48x48/apps/kestroview.png",
        "/share/icons/hicolor/256x256/apps/kestroview.png",
        "/share/man/man1/kestroview.1",
        "/share/man/man1/kestroview-sim.1",
        "/share/man/man1/kestroview-report.1",
    };
    for (const char* file : files) {
        EXPECT_TRUE(exists(root + file)) << file;
    }
    const std::string desktop = readFile(root + "/share/applications/kestroview.desktop");
    EXPECT_NE(desktop.find("Categories=Utility;"), std::string::npos);
    EXPECT_NE(desktop.find("Icon=kestroview"), std::string::npos);
    EXPECT_NE(desktop.find("[Desktop Action latest-trip-report]\nName=Latest trip report\n"
                           "Exec=kestroview-report --open\n"),
              std::string::npos);
    int code = -1;
    const std::string complaints = runCommand(
        "desktop-file-validate '" + root + "/share/applications/kestroview.desktop' 2>&1", &code);
    EXPECT_EQ(code, 0) << complaints;
}

TEST_F(Package, DeclaresItsRunTimeDependenciesAndTheyAreInstallable) {
    const std::string depends = runCommand("dpkg-deb -f '" + deb + "' Depends");
    for (const char* package : {"libsdl2-2.0-0", "libgtk-3-0", "libfreetype6", "libfontconfig1",
                                "libglu1-mesa", "fonts-liberation2"}) {
        EXPECT_NE(depends.find(package), std::string::npos) << package << " in " << depends;
    }
    // Every declared package is one this machine has, so the program's libraries resolve.
    std::istringstream list(depends);
    std::string item;
    while (std::getline(list, item, ',')) {
        const std::string name = item.substr(item.find_first_not_of(' '));
        int code = -1;
        runCommand("dpkg-query -W '" + name + "' >/dev/null 2>&1", &code);
        EXPECT_EQ(code, 0) << name;
    }
    int code = -1;
    const std::string missing =
        runCommand("ldd '" + folder + "/root/usr/bin/kestroview' | grep 'not found'", &code);
    EXPECT_TRUE(missing.empty()) << missing;
}

TEST_F(Package, TheUnpackedProgramStarts) {
    const std::string work = folder + "/work";
    runCommand("mkdir -p '" + work + "'");
    ChildProcess child = startProcess(folder + "/root/usr/bin/kestroview", {"nosetup"}, work);
    const unsigned long window = waitForWindow("KestroView 0.4", 30s);
    EXPECT_NE(window, 0u) << readFile(child.stderrPath);
    if (window != 0) {
        pressKeys(window, "Escape");
    }
    EXPECT_EQ(waitProcess(child, 30s), 0);
    killProcess(child);
}

} // namespace
