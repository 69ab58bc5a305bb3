// Finding the two font files of the dashboard.
#pragma once
#include <cstddef>

// Writes the path of the font file for pattern, "Arial" (the regular face) or "Arial:bold". On
// Windows these are arial.ttf and arialbd.ttf in the Fonts folder of the Windows directory, or,
// where that folder has none, Liberation Sans in the program's own fonts folder; false means the
// Windows directory cannot be found. Elsewhere fontconfig's best match for the pattern, false when
// it answers with no file.
bool findFontFile(const char* pattern, char* path, std::size_t size);
