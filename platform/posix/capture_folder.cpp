#include "platform/capture_folder.h"

const char* captureFolder() {
    return "/var/tmp";
}

char pathSeparator() {
    return '/';
}
