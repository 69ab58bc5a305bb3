// Trip logs as a spreadsheet (.xlsx) that no locale can misread: every figure a typed number,
// the local time a date-time cell, one sheet per trip log, a frozen header row that names each
// column's unit. Rows are streamed to the sheet as the trip log is read, so a long trip needs
// little memory; the file appears whole or not at all.
#pragma once
#include <memory>
#include <string>
#include <vector>

struct TripWorkbookFile;

class TripWorkbook {
  public:
    // Starts the workbook for target (written on commit); ok() is false, with error set, when
    // it cannot be made. The file gets the permission bits mode.
    TripWorkbook(const std::string& target, unsigned mode);
    ~TripWorkbook();
    TripWorkbook(const TripWorkbook&) = delete;
    TripWorkbook& operator=(const TripWorkbook&) = delete;

    bool ok() const;
    // Reads the trip log open on fd into a sheet named for path; false with error set when the
    // trip log is refused (nothing is then written at all).
    bool addTrip(const std::string& path, int fd);
    // Writes the workbook out and puts it in place; false with error set.
    bool commit();
    const std::string& error() const { return problem; }
    // Said on standard error by the caller, one line each (a row left out as still being
    // written, a trip log with no rows).
    const std::vector<std::string>& notes() const { return remarks; }

    // The header cell of a trip log column: its meaning and unit, or the name itself when it is
    // not one the dashboard writes.
    static std::string headerText(const std::string& column);

  private:
    std::unique_ptr<TripWorkbookFile> file;
    std::string problem;
    std::vector<std::string> remarks;
    std::vector<std::string> sheetNames;
};
