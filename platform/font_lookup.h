// Finding the two font files of the dashboard.
#pragma once
#include <cstddef>

// Asks fontconfig for the file that best matches pattern ("Arial" or "Arial:bold") and writes
// its path. Returns false when fontconfig answers with no file.
bool findFontFile(const char* pattern, char* path, std::size_t size);
