// Child processes for end-to-end tests: start a program in a folder, wait for it with a bound,
// read what it wrote, run small X tools (xdotool) and wait for conditions.
#pragma once
#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

// A child ends with its owner: the guard kills it (and its process group) when it goes, and the
// system kills it when the test process dies, so no test leaves a program running.
struct ChildProcess {
    pid_t pid = -1;
    std::string stdoutPath; // what the child writes to standard output and error
    std::string stderrPath;

    ChildProcess() = default;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ~ChildProcess();
};

// Starts program with args in workDir, in a process group of its own; standard output and error
// go to files in workDir named after the program (two programs can share a folder).
// unprivileged: the child gives up root first (becomeUnprivileged), and workDir is handed to
// that user.
ChildProcess startProcess(const std::string& program, const std::vector<std::string>& args,
                          const std::string& workDir, bool unprivileged = false);

// Users run the program, not root: root passes by device permissions and exclusive mode. In a
// process running as root, gives up root for "nobody" (65534); does nothing for any other user.
// False when root could not be given up.
bool becomeUnprivileged();

// Runs body in a child process that has given up root, and returns what body returned ("" for
// success, else what went wrong), or what became of a child that did not get that far.
std::string runUnprivileged(const std::function<std::string()>& body);

// Waits up to timeout for the child to end. Returns its exit code (0..255), or -1 when it is
// still running (it is then left running) or died of a signal.
int waitProcess(ChildProcess& child, std::chrono::milliseconds timeout);

// Sends SIGKILL and reaps the child; harmless when it has ended.
void killProcess(ChildProcess& child);

bool isRunning(const ChildProcess& child);

// Runs a command line through /bin/sh and returns its standard output (trailing newline cut).
std::string runCommand(const std::string& commandLine, int* exitCode = nullptr);

// Polls condition every 50 ms until it holds or timeout passes.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

std::string readFile(const std::string& path);
bool fileExists(const std::string& path);

// A fresh empty folder under $TMPDIR (or /tmp). It belongs to the test that made it, or to the
// test suite when made outside a test, and goes with everything in it when that test or suite
// ends, passing or failing.
std::string makeScratchFolder(const std::string& prefix);

// A regular file the calling test caused (a capture or trip log): removed, if it still is a
// regular file, when the test or suite ends. Paths of both kinds are also written to the file
// $KV_TEST_LEDGER names, if set, so that a run can clear what a killed test left.
void removeWhenTestEnds(const std::string& file);

// A fresh scratch folder that is removed with all it holds when the guard ends, however the test
// ends (an ASSERT returns early).
struct ScratchFolder {
    explicit ScratchFolder(const std::string& prefix) : path(makeScratchFolder(prefix)) {}
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string path;
};

// How many file descriptors this process holds open: a file left open shows as one more.
int openDescriptorCount();
