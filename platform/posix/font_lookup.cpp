#include "platform/font_lookup.h"

#include <cstdio>
#include <fontconfig/fontconfig.h>

bool findFontFile(const char* pattern, char* path, std::size_t size) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) {
        return false;
    }
    bool found = false;
    FcPattern* wanted = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
    if (wanted != nullptr) {
        FcConfigSubstitute(config, wanted, FcMatchPattern);
        FcDefaultSubstitute(wanted);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(config, wanted, &result);
        FcChar8* file = nullptr;
        if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
            file != nullptr && file[0] != '\0') {
            std::snprintf(path, size, "%s", reinterpret_cast<const char*>(file));
            found = true;
        }
        if (match != nullptr) {
            FcPatternDestroy(match);
        }
        FcPatternDestroy(wanted);
    }
    FcConfigDestroy(config);
    return found;
}
