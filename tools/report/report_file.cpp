#include "tools/report/report_file.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The temporary file's name for the signal handler, which may only make async-signal-safe calls.
char pendingFile[4096] = "";

void removePendingAndExit(int signal) {
    if (pendingFile[0] != '\0') {
        unlink(pendingFile);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::string newestTripLog(const std::string& folder) {
    static const std::regex name("kestro_trip_(-?[0-9]{1,10})(?:_([0-9]{1,9}))?\\.csv");
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return "";
    }
    std::string best;
    long long bestTime = 0;
    long long bestSuffix = 0;
    while (const dirent* entry = readdir(dir)) {
        std::cmatch match;
        if (!std::regex_match(entry->d_name, match, name)) {
            continue;
        }
        const long long time = std::stoll(match[1].str());
        const long long suffix = match[2].matched ? std::stoll(match[2].str()) : 0;
        const std::string path = folder + "/" + entry->d_name;
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
            access(path.c_str(), R_OK) != 0) {
            continue;
        }
        if (best.empty() || time > bestTime || (time == bestTime && suffix > bestSuffix)) {
            best = path;
            bestTime = time;
            bestSuffix = suffix;
        }
    }
    closedir(dir);
    return best;
}

std::string reportPathFor(const std::string& tripLog, const char* extension) {
    const std::size_t slash = tripLog.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (tripLog.size() >= nameStart + 5 && tripLog.compare(tripLog.size() - 4, 4, ".csv") == 0) {
        return tripLog.substr(0, tripLog.size() - 4) + extension;
    }
    return tripLog + extension;
}

ReportFile::ReportFile(const std::string& target, unsigned mode) : target(target) {
    const std::size_t slash = target.rfind('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string pattern = folderOf(target) + "/." + name + ".XXXXXX";
    if (pattern.size() >= sizeof pendingFile) {
        problem = "the report's name is too long: " + target;
        return;
    }
    const int fd = mkstemp(pattern.data());
    if (fd < 0) {
        problem = "cannot write in " + folderOf(target) + ": " + std::strerror(errno) +
                  " (choose another place with -o)";
        return;
    }
    temporary = pattern;
    std::strcpy(pendingFile, temporary.c_str());
    std::signal(SIGINT, removePendingAndExit);
    std::signal(SIGTERM, removePendingAndExit);
    std::signal(SIGHUP, removePendingAndExit);
    fchmod(fd, static_cast<mode_t>(mode & 0666));
    file = fdopen(fd, "w");
    if (file == nullptr) {
        problem = std::string("cannot write the report: ") + std::strerror(errno);
        close(fd);
        discard();
    }
}

ReportFile::~ReportFile() {
    discard();
}

bool ReportFile::commit() {
    if (file == nullptr) {
        return false;
    }
    // A failed write leaves the stream's error set; the close then reports the same fault.
    const bool written = std::ferror(file) == 0;
    const bool closed = std::fclose(file) == 0;
    const int closeError = errno;
    file = nullptr;
    if (!written || !closed) {
        problem = std::string("cannot write the report in ") + folderOf(target) + ": " +
                  (closed ? "write error" : std::strerror(closeError));
        discard();
        return false;
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        problem = "cannot put the report in place as " + target + ": " + std::strerror(errno) +
                  " (choose another place with -o)";
        discard();
        return false;
    }
    temporary.clear();
    pendingFile[0] = '\0';
    return true;
}

void ReportFile::discard() {
    if (file != nullptr) {
        std::fclose(file);
        file = nullptr;
    }
    if (!temporary.empty()) {
        unlink(temporary.c_str());
        temporary.clear();
    }
    pendingFile[0] = '\0';
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first;
    struct stat second;
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}
