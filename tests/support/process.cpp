#include "support/process.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr uid_t nobody = 65534;
}

bool becomeUnprivileged() {
    if (geteuid() != 0) {
        return true;
    }
    return setgroups(0, nullptr) == 0 && setgid(nobody) == 0 && setuid(nobody) == 0 &&
           geteuid() != 0;
}

std::string runUnprivileged(const std::function<std::string()>& body) {
    int channel[2];
    if (pipe(channel) != 0) {
        return "no pipe";
    }
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const std::string result = becomeUnprivileged() ? body() : "root could not be given up";
        const bool told =
            write(channel[1], result.data(), result.size()) == static_cast<ssize_t>(result.size());
        _exit(told ? 0 : 1);
    }
    close(channel[1]);
    std::string result;
    char buffer[512];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;) {
        result.append(buffer, static_cast<std::size_t>(n));
    }
    close(channel[0]);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return result + " (the unprivileged child failed: status " + std::to_string(status) + ")";
    }
    return result;
}

ChildProcess startProcess(const std::string& program, const std::vector<std::string>& args,
                          const std::string& workDir, bool unprivileged) {
    ChildProcess child;
    const std::string name = program.substr(program.rfind('/') + 1);
    child.stdoutPath = workDir + "/" + name + ".stdout.txt";
    child.stderrPath = workDir + "/" + name + ".stderr.txt";
    if (unprivileged && geteuid() == 0 && chown(workDir.c_str(), nobody, nobody) != 0) {
        return child;
    }
    const pid_t parent = getpid();
    child.pid = fork();
    if (child.pid == 0) {
        // Killed with the test process however that ends, and killed as a group by the guard.
        setpgid(0, 0);
        if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) {
            _exit(126);
        }
        if (chdir(workDir.c_str()) != 0) {
            _exit(126);
        }
        const int out = open(child.stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(child.stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        // Changing the user clears the parent-death signal: set it again.
        if (unprivileged && (!becomeUnprivileged() || prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 ||
                             getppid() != parent)) {
            _exit(125);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (child.pid > 0) {
        setpgid(child.pid, child.pid); // set on both sides: no kill may find it unset
    }
    return child;
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid(other.pid), stdoutPath(std::move(other.stdoutPath)),
      stderrPath(std::move(other.stderrPath)) {
    other.pid = -1;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        killProcess(*this);
        pid = other.pid;
        stdoutPath = std::move(other.stdoutPath);
        stderrPath = std::move(other.stderrPath);
        other.pid = -1;
    }
    return *this;
}

ChildProcess::~ChildProcess() {
    killProcess(*this);
}

int waitProcess(ChildProcess& child, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (child.pid > 0) {
        int status = 0;
        const pid_t done = waitpid(child.pid, &status, WNOHANG);
        if (done == child.pid) {
            child.pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        if (std::chrono::steady_clock::now() >= end) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

void killProcess(ChildProcess& child) {
    if (child.pid > 0) {
        kill(-child.pid, SIGKILL);
        kill(child.pid, SIGKILL);
        waitpid(child.pid, nullptr, 0);
        child.pid = -1;
    }
}

bool isRunning(const ChildProcess& child) {
    return child.pid > 0 && waitpid(child.pid, nullptr, WNOHANG) == 0;
}

std::string runCommand(const std::string& commandLine, int* exitCode) {
    std::string output;
    FILE* pipe = popen(commandLine.c_str(), "r");
    if (pipe == nullptr) {
        if (exitCode != nullptr) {
            *exitCode = -1;
        }
        return output;
    }
    char buffer[4096];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, count);
    }
    const int status = pclose(pipe);
    if (exitCode != nullptr) {
        *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    while (!output.empty() && output.back() == '\n') {
        output.pop_back();
    }
    return output;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool fileExists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

namespace {
// Removes a folder the test made, with whatever it holds. Links are removed, never followed, and
// a folder a test made unreadable is opened up first so that it can be emptied.
void removeTree(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0) {
        return;
    }
    if (S_ISDIR(info.st_mode)) {
        chmod(path.c_str(), 0700);
        if (DIR* folder = opendir(path.c_str())) {
            while (const dirent* entry = readdir(folder)) {
                if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                    removeTree(path + "/" + entry->d_name);
                }
            }
            closedir(folder);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

struct MadePath {
    std::string path;
    bool folder;
    bool inTest; // made inside a test, not in a suite's set-up
};

// Removes what tests made when the test (or the suite, or the program) that made it ends.
class MadePaths : public ::testing::EmptyTestEventListener {
  public:
    std::vector<MadePath> made;

    void OnTestEnd(const ::testing::TestInfo&) override { removeMade(true); }
    void OnTestSuiteEnd(const ::testing::TestSuite&) override { removeMade(false); }
    void OnTestProgramEnd(const ::testing::UnitTest&) override { removeMade(false); }

  private:
    void removeMade(bool testsOnly) {
        std::vector<MadePath> kept;
        for (const MadePath& item : made) {
            if (testsOnly && !item.inTest) {
                kept.push_back(item);
                continue;
            }
            struct stat info;
            if (item.folder) {
                removeTree(item.path);
            } else if (lstat(item.path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
                unlink(item.path.c_str());
            }
        }
        made = kept;
    }
};

void noteMade(const std::string& path, bool folder) {
    static MadePaths* const paths = [] {
        auto* listener = new MadePaths;
        ::testing::UnitTest::GetInstance()->listeners().Append(listener); // gtest owns it
        return listener;
    }();
    for (const MadePath& item : paths->made) {
        if (item.path == path) {
            return;
        }
    }
    paths->made.push_back(
        {path, folder, ::testing::UnitTest::GetInstance()->current_test_info() != nullptr});
    if (const char* ledger = std::getenv("KV_TEST_LEDGER")) {
        const std::string line = path + "\n";
        const int fd = open(ledger, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) {
            (void)!write(fd, line.data(), line.size());
            close(fd);
        }
    }
}
} // namespace

std::string makeScratchFolder(const std::string& prefix) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const char* made = mkdtemp(name.data());
    if (made == nullptr) {
        return std::string();
    }
    noteMade(made, true);
    return made;
}

void removeWhenTestEnds(const std::string& file) {
    noteMade(file, false);
}

ScratchFolder::~ScratchFolder() {
    if (!path.empty()) {
        runCommand("rm -rf '" + path + "'");
    }
}

int openDescriptorCount() {
    DIR* folder = opendir("/proc/self/fd");
    if (folder == nullptr) {
        return -1;
    }
    int count = 0;
    while (readdir(folder) != nullptr) {
        ++count;
    }
    closedir(folder);
    return count;
}
