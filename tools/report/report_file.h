// Where the report reads and writes: the newest trip log of /var/tmp, and a report that appears
// whole or not at all (written to a temporary file beside its place, renamed at the end).
#pragma once
#include <cstdio>
#include <string>

// The trip log of the latest start of the link in folder ("kestro_trip_<T>.csv" and
// "kestro_trip_<T>_<n>.csv", by T and then n) among the regular files this user may read; "" when
// there is none. The folder is shared by every user, so nothing else there is taken.
std::string newestTripLog(const std::string& folder);

// The report's default place: beside the trip log, its ".csv" replaced by extension.
std::string reportPathFor(const std::string& tripLog, const char* extension = ".html");

// A report being written: a temporary file in the target's folder with the permission bits
// mode (those of its trip log: a report tells as much as the log it comes from). commit() renames
// it over the target; until then, and on any failure, it is removed (also when the program is
// interrupted).
class ReportFile {
  public:
    ReportFile(const std::string& target, unsigned mode);
    ~ReportFile();
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    std::FILE* stream() const { return file; } // nullptr when it could not be made (see error)
    bool commit();                             // false with error set
    const std::string& error() const { return problem; }
    // The temporary file's name, for a writer that opens it by name itself.
    const std::string& temporaryPath() const { return temporary; }

  private:
    void discard();
    std::string target;
    std::string temporary;
    std::FILE* file = nullptr;
    std::string problem;
};

// True when a and b name the same existing file.
bool sameFile(const std::string& a, const std::string& b);
