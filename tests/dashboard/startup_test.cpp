// The program's start when its fonts cannot be had: no font file at all ends it in order; a font
// file that cannot be built shows its error in the "Error" box and then ends it in order.
// fontconfig is pointed at a scratch configuration through FONTCONFIG_FILE for the child only.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "shell/settings.h"
#include "support/process.h"

namespace {
// A fontconfig set-up holding only the font files copied into folder/fonts.
std::string writeFontConfig(const std::string& folder) {
    runCommand("mkdir -p '" + folder + "/fonts' '" + folder + "/cache'");
    const std::string path = folder + "/fonts.conf";
    std::FILE* file = std::fopen(path.c_str(), "w");
    std::fprintf(file,
                 "<?xml version=\"1.0\"?>\n<fontconfig>\n<dir>%s/fonts</dir>\n"
                 "<cachedir>%s/cache</cachedir>\n</fontconfig>\n",
                 folder.c_str(), folder.c_str());
    std::fclose(file);
    return path;
}

ChildProcess startProgramWithFonts(const std::string& folder, const std::string& config) {
    setenv("FONTCONFIG_FILE", config.c_str(), 1);
    ChildProcess child = startProcess(KV_PROGRAM_PATH, {"nosetup"}, folder);
    unsetenv("FONTCONFIG_FILE");
    return child;
}

TEST(Startup, NoFontFileEndsTheProgramInOrder) {
    if (!fileExists(KV_PROGRAM_PATH)) {
        GTEST_SKIP() << "program not built";
    }
    const std::string folder = makeScratchFolder("kv-nofont");
    const std::string config = writeFontConfig(folder);
    ChildProcess app = startProgramWithFonts(folder, config);
    const int code = waitProcess(app, std::chrono::seconds(30));
    if (code == -1) {
        killProcess(app);
    }
    EXPECT_EQ(code, 0) << readFile(app.stderrPath);
    runCommand("rm -rf '" + folder + "'");
}

TEST(Startup, FontThatCannotBeBuiltIsReportedAndTheProgramEnds) {
    if (!fileExists(KV_PROGRAM_PATH)) {
        GTEST_SKIP() << "program not built";
    }
    const std::string regular =
        runCommand("fc-match -f '%{file}' Arial"); // the system's own choice, a real font file
    const std::string bold = runCommand("fc-match -f '%{file}' Arial:bold");
    ASSERT_TRUE(fileExists(regular) && fileExists(bold));
    const std::string folder = makeScratchFolder("kv-badfont");
    const std::string config = writeFontConfig(folder);
    runCommand("cp '" + regular + "' '" + folder + "/fonts/regular.ttf' && cp '" + bold + "' '" +
               folder + "/fonts/bold.ttf' && FONTCONFIG_FILE='" + config + "' fc-cache -f");
    // Spoil the bold face in place after fontconfig has indexed it: the cache still names it,
    // but FreeType can no longer read it.
    runCommand("dd if=/dev/zero of='" + folder +
               "/fonts/bold.ttf' bs=1024 count=4 conv=notrunc 2>/dev/null");

    ChildProcess app = startProgramWithFonts(folder, config);
    ASSERT_TRUE(waitFor(
        [&] { return readFile(app.stderrPath).find("KestroView: Error: ") != std::string::npos; },
        std::chrono::seconds(30)))
        << readFile(app.stderrPath);
    // The box waits for its OK; the program ends once it is answered.
    std::string box;
    waitFor(
        [&] {
            box = runCommand("xdotool search --name '^Error$' 2>/dev/null | head -n1");
            return !box.empty();
        },
        std::chrono::seconds(30));
    ASSERT_FALSE(box.empty());
    const int code = [&] {
        for (int attempt = 0; attempt < 10; ++attempt) {
            runCommand("xdotool windowfocus --sync " + box + " key Return 2>/dev/null");
            const int exit = waitProcess(app, std::chrono::seconds(3));
            if (exit != -1) {
                return exit;
            }
        }
        return -1;
    }();
    if (code == -1) {
        killProcess(app);
    }
    EXPECT_EQ(code, 0) << readFile(app.stderrPath);
    runCommand("rm -rf '" + folder + "'");
}
} // namespace
