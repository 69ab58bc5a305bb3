#include "support/process.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <sstream>
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
    child.pid = fork();
    if (child.pid == 0) {
        if (chdir(workDir.c_str()) != 0) {
            _exit(126);
        }
        const int out = open(child.stdoutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(child.stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (unprivileged && !becomeUnprivileged()) {
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
    return child;
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

std::string makeScratchFolder(const std::string& prefix) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const char* made = mkdtemp(name.data());
    return made != nullptr ? std::string(made) : std::string();
}

ScratchFolder::~ScratchFolder() {
    if (!path.empty()) {
        runCommand("rm -rf '" + path + "'");
    }
}
