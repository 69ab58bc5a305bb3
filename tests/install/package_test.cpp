// The Debian package: made by CPack from the real build, unpacked into a scratch tree, its files,
// its architecture and declared dependencies checked, and the unpacked program started. A cross
// build's package is checked against the packages of its sysroot, whose dpkg records say which
// package holds which library; its programs run under qemu.
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "support/process.h"
#include "support/x11.h"

namespace {

using namespace std::chrono_literals;

// What the compiler built for, told by the compiler itself rather than by the build's settings.
#if defined(__aarch64__)
constexpr const char* debianArchitecture = "arm64";
constexpr const char* elfMachine = "AArch64";
constexpr const char* libraryTriplet = "aarch64-linux-gnu";
#elif defined(__x86_64__)
constexpr const char* debianArchitecture = "amd64";
constexpr const char* elfMachine = "Advanced Micro Devices X86-64";
constexpr const char* libraryTriplet = "x86_64-linux-gnu";
#else
#error "Name this processor's Debian architecture, ELF machine and library folder here"
#endif

// The dpkg records of the system the programs run on: this machine's, or the sysroot's.
std::string dpkgQuery() {
#ifdef KV_SYSROOT
    return std::string("dpkg-query --admindir='") + KV_SYSROOT + "/var/lib/dpkg'";
#else
    return "dpkg-query";
#endif
}

bool exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// "libc6 (>= 2.34)" as name "libc6", relation ">=", version "2.34".
struct Dependency {
    std::string name, relation, version;
};

std::vector<Dependency> parseDepends(const std::string& depends) {
    std::vector<Dependency> result;
    std::istringstream list(depends);
    std::string item;
    while (std::getline(list, item, ',')) {
        std::istringstream words(item);
        Dependency dependency;
        words >> dependency.name;
        std::string relation;
        if (words >> relation && relation.size() > 1 && relation[0] == '(') {
            dependency.relation = relation.substr(1);
            words >> dependency.version;
            dependency.version = dependency.version.substr(0, dependency.version.find(')'));
        }
        result.push_back(dependency);
    }
    return result;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitizerBuild = true;
#else
constexpr bool sanitizerBuild = false;
#endif

// For each library soname, the packages that hold it in the system's library folders.
std::map<std::string, std::set<std::string>>
packagesHolding(const std::vector<std::string>& sonames) {
    std::string paths;
    for (const std::string& soname : sonames) {
        for (const char* folder : {"/lib/", "/usr/lib/"}) {
            paths += " '" + std::string(folder) + libraryTriplet + "/" + soname + "'";
        }
    }
    std::map<std::string, std::set<std::string>> holders;
    std::istringstream found(runCommand(dpkgQuery() + " -S" + paths + " 2>/dev/null"));
    for (std::string line; std::getline(found, line);) {
        // "libc6:arm64: /lib/...", or "a:arm64, b:arm64: /usr/lib/..." when several hold it.
        const std::size_t colon = line.find(": /");
        if (colon == std::string::npos) {
            continue;
        }
        const std::string soname = line.substr(line.rfind('/') + 1);
        std::istringstream names(line.substr(0, colon));
        std::string name;
        while (std::getline(names, name, ',')) {
            name = name.substr(name.find_first_not_of(' '));
            holders[soname].insert(name.substr(0, name.find(':')));
        }
    }
    return holders;
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
        "/share/man/man1/kestroview.1.gz",
        "/share/man/man1/kestroview-sim.1.gz",
        "/share/man/man1/kestroview-report.1.gz",
        "/share/man/man1/kestroview-launcher.1.gz",
        "/share/doc/kestroview/copyright",
        "/share/doc/kestroview/changelog.gz",
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

// Checked with the tools a Debian maintainer and a software centre use: lintian finds no error or
// warning (informational tags are not asked for), appstreamcli accepts the metadata, mandoc finds
// nothing to say of the man pages. The programs are stripped, their symbols kept in the build.
TEST_F(Package, PassesLintianAppstreamAndMandoc) {
    for (const char* tool : {"lintian", "appstreamcli", "mandoc"}) {
        if (runCommand(std::string("command -v ") + tool).empty()) {
            std::fprintf(stderr,
                         "\n*** %s is not installed (tools/setup-deps.sh installs it): the "
                         "package was NOT checked with it ***\n\n",
                         tool);
            ADD_FAILURE() << tool << " is not installed";
        }
    }
    int code = -1;
    // One run: its tags, then its exit status (lintian says so when it runs as root). Its
    // temporary files go to the scratch tree: lintian leaves one behind.
    const std::string tags =
        runCommand("TMPDIR='" + folder + "' lintian --fail-on error,warning '" + deb +
                   "' 2>&1; echo \"exit $?\"");
    EXPECT_EQ(tags.substr(tags.find_last_of('\n') + 1), "exit 0") << tags;
    EXPECT_EQ(tags.find("E: "), std::string::npos) << tags;
    EXPECT_EQ(tags.find("W: "), std::string::npos) << tags;

    const std::string metainfo = runCommand("ls '" + folder + "'/root/usr/share/metainfo/*.xml");
    const std::string validated =
        runCommand("appstreamcli validate --no-net '" + metainfo + "' 2>&1", &code);
    EXPECT_EQ(code, 0) << validated;
    EXPECT_NE(metainfo.find(".kestroview.metainfo.xml"), std::string::npos) << metainfo;

    const std::string pages = runCommand("for page in '" + folder +
                                         "'/root/usr/share/man/man1/*.1.gz; do zcat \"$page\" | "
                                         "mandoc -Tlint 2>&1 | sed \"s|^|$page: |\"; done");
    EXPECT_EQ(pages, "");

    for (const char* program : {"kestroview", "kestroview-sim", "kestroview-report"}) {
        const std::string sections =
            runCommand("readelf -S '" + folder + "/root/usr/bin/" + program + "'");
        EXPECT_EQ(sections.find(".debug_info"), std::string::npos) << program;
        EXPECT_NE(sections.find(".gnu_debuglink"), std::string::npos) << program;
        EXPECT_NE(
            runCommand("readelf -S '" KV_BINARY_DIR "/debug/" + std::string(program) + ".debug'")
                .find(".debug_info"),
            std::string::npos)
            << program << ": its symbols are kept in the build's debug/";
    }
}

TEST_F(Package, IsForTheProcessorItsProgramsWereBuiltFor) {
    EXPECT_EQ(runCommand("dpkg-deb -f '" + deb + "' Architecture"), debianArchitecture);
    EXPECT_NE(deb.find(std::string("_") + debianArchitecture + ".deb"), std::string::npos) << deb;
    for (const char* program : {"kestroview", "kestroview-sim", "kestroview-report"}) {
        EXPECT_EQ(runCommand("readelf -h '" + folder + "/root/usr/bin/" + program +
                             "' | sed -n 's/^ *Machine: *//p'"),
                  elfMachine)
            << program;
    }
}

TEST_F(Package, DeclaresItsRunTimeDependenciesAndTheyAreInstallable) {
    const std::string depends = runCommand("dpkg-deb -f '" + deb + "' Depends");
    const std::vector<Dependency> declared = parseDepends(depends);
    std::set<std::string> names;
    for (const Dependency& dependency : declared) {
        names.insert(dependency.name);
    }
    for (const char* package : {"libsdl2-2.0-0", "libgtk-3-0", "libfreetype6", "libfontconfig1",
                                "libglu1-mesa", "libgl1", "fonts-liberation2", "libxlsxwriter4"}) {
        EXPECT_EQ(names.count(package), 1u) << package << " in " << depends;
    }
    // Every declared package is there for this processor, at a version the declaration accepts.
    std::string libc6;
    for (const Dependency& dependency : declared) {
        std::string version;
        std::istringstream found(runCommand(dpkgQuery() +
                                            " -W -f '${Architecture} ${Version}\\n' '" +
                                            dependency.name + "' 2>/dev/null"));
        for (std::string architecture, candidate; found >> architecture >> candidate;) {
            if (architecture == debianArchitecture || architecture == "all") {
                version = candidate;
            }
        }
        EXPECT_FALSE(version.empty()) << dependency.name << " for " << debianArchitecture;
        if (!version.empty() && !dependency.relation.empty()) {
            int code = -1;
            runCommand("dpkg --compare-versions '" + version + "' '" + dependency.relation + "' '" +
                           dependency.version + "'",
                       &code);
            EXPECT_EQ(code, 0) << dependency.name << " " << version << " is not "
                               << dependency.relation << " " << dependency.version;
        }
        if (dependency.name == "libc6") {
            libc6 = dependency.relation == ">=" ? dependency.version : "";
        }
    }
    for (const char* program : {"kestroview", "kestroview-sim", "kestroview-report"}) {
        const std::string path = folder + "/root/usr/bin/" + program;
        SCOPED_TRACE(program);
        // Every library the program loads comes with a declared package, read from the program
        // itself: a foreign program cannot be asked (ldd would run it).
        const std::string needed =
            runCommand("readelf -d '" + path + "' | sed -n 's/.*(NEEDED).*\\[\\(.*\\)\\]/\\1/p'");
        EXPECT_FALSE(needed.empty()) << "no NEEDED entries in " << path;
        std::vector<std::string> sonames;
        std::istringstream listed(needed);
        for (std::string soname; listed >> soname;) {
            sonames.push_back(soname);
        }
        if (sanitizerBuild) {
            sonames.clear(); // tests only, never packaged: its runtimes and every library it links
        }
        const std::map<std::string, std::set<std::string>> holders = packagesHolding(sonames);
        for (const std::string& soname : sonames) {
            const auto found = holders.find(soname);
            bool declaredHolder = false;
            if (found != holders.end()) {
                for (const std::string& holder : found->second) {
                    declaredHolder = declaredHolder || names.count(holder) == 1;
                }
            }
            EXPECT_TRUE(declaredHolder)
                << soname << " comes with "
                << (found == holders.end() ? "no package" : ::testing::PrintToString(found->second))
                << ", none of them declared in: " << depends;
        }
        // The newest C library interface it uses is one the declared libc6 has.
        const std::string newest = runCommand("readelf -V '" + path +
                                              "' | grep -o 'GLIBC_[0-9.]*' | cut -c7- | "
                                              "sort -V | tail -n1");
        ASSERT_FALSE(newest.empty());
        int code = -1;
        runCommand("dpkg --compare-versions '" + libc6 + "' ge '" + newest + "'", &code);
        EXPECT_EQ(code, 0) << "uses GLIBC_" << newest << ", declares libc6 (>= " << libc6 << ")";
#ifndef KV_SYSROOT
        const std::string missing = runCommand("ldd '" + path + "' | grep 'not found'");
        EXPECT_TRUE(missing.empty()) << missing;
#endif
    }
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
