// Trip logs of the simulator's drive as a spreadsheet, read back by a reader nobody here wrote
// (Python's openpyxl): every cell the number or date-time of its trip log's text, the header's
// units, the frozen header row, one sheet per trip log. And LibreOffice under a German locale
// keeps every number when it opens the file.
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "support/process.h"

namespace {

const std::string checker = KV_SOURCE_DIR "/tests/report/check_workbook.py";

std::string header(bool miles, bool fahrenheit, const char* offset) {
    const std::string distance = miles ? "mile" : "km";
    return std::string("header local time (UTC") + offset +
           ")|time since the start (ms)|throttle (%)|motor speed (rpm)|duty cycle (%)|"
           "controller temperature (\u00b0" +
           (fahrenheit ? "F" : "C") +
           ")|motor voltage (V)|motor current (A)|motor current limit (A)|battery voltage (V)|"
           "speed (" +
           (miles ? "mph" : "km/h") +
           ")|battery current (A)|battery power (kW)|energy per distance (Wh/" + distance +
           ")|energy per distance now (Wh/" + distance +
           ")|stopped (0/1)|shifting (0/1)|main contactor on (0/1)|motor contactors on (0/1)|"
           "reverse (0/1)|forward (0/1)|motors in parallel (0/1)|motors in series (0/1)|"
           "voltage-drop warning (0/1)|charge since the dashboard started (Ah)|energy since the "
           "dashboard started (kWh)|distance since the dashboard started (" +
           (miles ? "miles" : "km") + ")";
}

class Workbook : public ::testing::Test {
  protected:
    void SetUp() override {
        if (runCommand("/usr/bin/python3 -c 'import openpyxl' 2>&1").size() > 0) {
            GTEST_SKIP() << "python3-openpyxl is not installed (tools/setup-deps.sh installs it)";
        }
        // Two drives in two zones: offsets of either sign and a half hour.
        const struct {
            const char* name;
            const char* zone;
            const char* args;
        } trips[] = {
            {"kestro_trip_1796710054.csv", "IST-5:30", "--rows 900 --warm-up 20 --rint 0.2"},
            {"kestro_trip_1796710999_2.csv", "NST3:30", "--rows 300 --miles --fahrenheit"},
        };
        for (const auto& trip : trips) {
            const std::string path = folder.path + "/" + trip.name;
            int code = -1;
            const std::string said =
                runCommand(std::string("TZ=") + trip.zone + " '" KV_TRIP_MAKER_PATH "' '" + path +
                               "' " + trip.args + " 2>&1",
                           &code);
            ASSERT_EQ(code, 0) << said;
            csvs.push_back(path);
        }
    }
    ScratchFolder folder{"kv-workbook"};
    std::vector<std::string> csvs;
};

TEST_F(Workbook, EveryCellIsTheNumberOrTimeOfItsTripLogUnderAHeaderWithUnits) {
    // A third trip log: five rows of the first drive at the edges of the calendar.
    const std::string edges = folder.path + "/edges.csv";
    runCommand("head -n 6 '" + csvs[0] +
               "' | sed -e '2s/^[^,]*/2024-02-29T23:59:59.999+14:00/' "
               "-e '3s/^[^,]*/2000-02-29T00:00:00.000-12:00/' "
               "-e '4s/^[^,]*/1970-01-01T00:00:00.000+00:00/' "
               "-e '5s/^[^,]*/2026-12-31T23:59:59.999+05:45/' "
               "-e '6s/^[^,]*/2000-03-01T00:00:00.000+00:00/' > '" +
               edges + "'");
    const std::string book = folder.path + "/trips.xlsx";
    int code = -1;
    const std::string said = runCommand("'" KV_REPORT_PATH "' --xlsx '" + csvs[0] + "' '" +
                                            csvs[1] + "' '" + edges + "' -o '" + book + "' 2>&1",
                                        &code);
    ASSERT_EQ(code, 0) << said;
    EXPECT_EQ(said, "Workbook: " + book);
    struct stat info;
    ASSERT_EQ(stat(book.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "the trip logs' own permissions";

    const std::string checked = runCommand("/usr/bin/python3 '" + checker + "' '" + book + "' '" +
                                               csvs[0] + "' '" + csvs[1] + "' '" + edges + "' 2>&1",
                                           &code);
    EXPECT_EQ(code, 0) << checked;
    EXPECT_EQ(checked, "sheet kestro_trip_1796710054\nfrozen A2\n" +
                           header(false, false, "+05:30") +
                           "\nrows 900 numbers 23400 dates 900\n"
                           "sheet kestro_trip_1796710999_2\nfrozen A2\n" +
                           header(true, true, "-03:30") +
                           "\nrows 300 numbers 7800 dates 300\nsheet edges\nfrozen A2\n" +
                           header(false, false, "+14:00") + "\nrows 5 numbers 130 dates 5");
}

// A trip log that is refused stops the whole workbook: nothing is written, and the line is said.
TEST_F(Workbook, ABadTripLogLeavesNoWorkbook) {
    const std::string bad = folder.path + "/bad.csv";
    runCommand("head -n 6 '" + csvs[0] + "' | sed '4s/,1,/,1;5,/' > '" + bad + "'");
    const std::string book = folder.path + "/trips.xlsx";
    int code = -1;
    const std::string said = runCommand("'" KV_REPORT_PATH "' --xlsx '" + csvs[0] + "' '" + bad +
                                            "' -o '" + book + "' 2>&1",
                                        &code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(said.find(bad + ", line 4"), std::string::npos) << said;
    EXPECT_EQ(runCommand("ls -A '" + folder.path + "' | grep -v csv"), "") << "nothing written";
}

TEST_F(Workbook, LibreOfficeUnderAGermanLocaleKeepsEveryNumber) {
    if (runCommand("command -v soffice").empty()) {
        GTEST_SKIP() << "LibreOffice (soffice) is not installed: the German import was not tried";
    }
    const std::string locales = folder.path + "/locales";
    runCommand("mkdir '" + locales + "' && localedef -i de_DE -f UTF-8 '" + locales +
               "/de_DE.UTF-8' 2>&1");
    const std::string german = "LOCPATH='" + locales + "' LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8 ";
    if (runCommand(german + "/usr/bin/printf %.3f 56.125 2>&1") != "56,125") {
        GTEST_SKIP() << "no German locale to test with (localedef needs the package \"locales\")";
    }
    const std::string book = folder.path + "/trips.xlsx";
    int code = -1;
    runCommand("'" KV_REPORT_PATH "' --xlsx '" + csvs[0] + "' '" + csvs[1] + "' -o '" + book + "'",
               &code);
    ASSERT_EQ(code, 0);
    // LibreOffice opens the workbook and saves it again; what it took for text stays text.
    const std::string out = folder.path + "/libreoffice";
    const std::string said = runCommand(
        german + "HOME='" + folder.path + "' timeout 300 soffice -env:UserInstallation=file://" +
            folder.path + "/profile --headless --convert-to xlsx --outdir '" + out + "' '" + book +
            "' 2>&1",
        &code);
    ASSERT_EQ(code, 0) << said;
    const std::string checked =
        runCommand("/usr/bin/python3 '" + checker + "' --saved '" + out + "/trips.xlsx' '" +
                       csvs[0] + "' '" + csvs[1] + "' 2>&1",
                   &code);
    EXPECT_EQ(code, 0) << checked;
    EXPECT_NE(checked.find("rows 900 numbers 23400 dates 900"), std::string::npos) << checked;
    EXPECT_NE(checked.find("rows 300 numbers 7800 dates 300"), std::string::npos) << checked;
}

// Several trip logs make one spreadsheet, never one page; a spreadsheet is not opened.
TEST(ReportCommandLine, SeveralTripLogsOnlyForASpreadsheet) {
    const struct {
        const char* args;
        const char* said;
    } cases[] = {
        {"a.csv b.csv", "one trip log at a time (or several with --xlsx): b.csv"},
        {"--xlsx --open a.csv", "--open is for the HTML report, not --xlsx"},
    };
    for (const auto& c : cases) {
        int code = -1;
        const std::string said =
            runCommand(std::string("'" KV_REPORT_PATH "' ") + c.args + " 2>&1", &code);
        EXPECT_EQ(code, 2) << c.args;
        EXPECT_EQ(said,
                  std::string("kestroview-report: ") + c.said + "\nTry kestroview-report --help");
    }
}

} // namespace
