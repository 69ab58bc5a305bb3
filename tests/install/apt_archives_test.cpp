// The scripts that fetch Debian packages take the archive from the machine's own apt sources:
// one-line and deb822 files, in apt's order, with comments, options, disabled sources and
// source-package lines passed over.
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "support/process.h"

namespace {

struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files; // name under etc/apt, content
    int exitCode;
    std::string printed; // the archive, then the security archive
};

TEST(AptArchives, ComeFromTheMachinesSourcesInAptsOrder) {
    const std::string deb822 = "Types: deb deb-src\n"
                               "# a comment inside the stanza\n"
                               "URIs: http://mirror.example/debian/\n"
                               "Suites: bookworm bookworm-updates\n"
                               "Components: main\n"
                               "Signed-By:\n"
                               " -----BEGIN PGP PUBLIC KEY BLOCK-----\n"
                               " Suites: not-a-field\n"
                               "\n"
                               "Types: deb\n"
                               "URIs: http://security.example/debian-security\n"
                               "Suites: bookworm-security\n"
                               "Components: main\n";
    const Case cases[] = {
        {"one-line sources with options and comments",
         {{"sources.list",
           "# deb http://commented.example/debian bookworm main\n"
           "deb-src http://source.example/debian bookworm main\n"
           "deb [arch=amd64 signed-by=/usr/share/keyrings/k.gpg] http://proxy.example:3142/debian "
           "bookworm main # a proxy\n"
           "deb http://proxy.example:3142/security bookworm-security main\n"}},
         0,
         "http://proxy.example:3142/debian\nhttp://proxy.example:3142/security"},
        {"deb822 sources, with a continued field",
         {{"sources.list.d/debian.sources", deb822}},
         0,
         "http://mirror.example/debian\nhttp://security.example/debian-security"},
        {"sources.list before sources.list.d; a disabled stanza passed over",
         {{"sources.list.d/a.sources", "Enabled: no\nTypes: deb\nURIs: http://off.example/d\n"
                                       "Suites: bookworm\nComponents: main\n"},
          {"sources.list.d/b.list", "deb http://second.example/debian bookworm main\n"},
          {"sources.list", "deb http://first.example/debian bookworm-updates main\n"
                           "deb http://first.example/debian bookworm main\n"}},
         0,
         "http://first.example/debian"}, // no security archive: an empty line
        {"files apt does not read",
         {{"sources.list.d/x.list.disabled", "deb http://off.example/debian bookworm main\n"}},
         1,
         "no source in"},
        {"another suite only",
         {{"sources.list", "deb http://m.example/debian trixie main\n"}},
         1,
         "serves bookworm; name the archive yourself (--archive URI)"},
    };
    const ScratchFolder scratch("kv-apt-archives");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string etc = scratch.path + "/apt";
        runCommand("mkdir -p '" + etc + "/sources.list.d'");
        for (const auto& [name, content] : c.files) {
            FILE* file = std::fopen((etc + "/" + name).c_str(), "w");
            ASSERT_NE(file, nullptr) << name;
            std::fputs(content.c_str(), file);
            std::fclose(file);
        }
        int code = -1;
        const std::string printed = runCommand(
            "KV_APT_ETC='" + etc + "' '" KV_SOURCE_DIR "/tools/apt-archives.sh' bookworm 2>&1",
            &code);
        EXPECT_EQ(code, c.exitCode) << printed;
        if (c.exitCode == 0) {
            EXPECT_EQ(printed, c.printed);
        } else {
            EXPECT_NE(printed.find(c.printed), std::string::npos) << printed;
        }
        runCommand("rm -rf '" + etc + "'");
    }
}

} // namespace
