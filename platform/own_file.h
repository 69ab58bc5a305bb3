// Files of records the program makes: written byte for byte, never over another file.
#pragma once
#include <cstdio>

// Creates the file name for writing in binary mode (a line end is written as given, never
// translated), never over an existing one (nullptr with errno EEXIST), and readable by its owner
// alone where the system keeps owners apart: the logs' folder is shared by every user of the
// machine, and a drive's record is nobody else's business.
std::FILE* createOwnFile(const char* name);
