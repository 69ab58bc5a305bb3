// The two questions every Linux program answers without starting: --help and --version.
#pragma once
#include <cstdio>

// When an argument is exactly "--help" or "--version", writes the answer to out and returns 0,
// the exit code; otherwise returns -1 and the program starts as usual. The command-line words
// are substrings anywhere, so these two are taken only as whole arguments.
int answerProgramInfo(int argc, char** argv, std::FILE* out);
