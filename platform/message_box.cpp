#include "platform/message_box.h"

#include <cstdio>

namespace {
ErrorBoxHook errorBoxHook = nullptr;

void writeStandardErrorLine(const char* text) {
    std::fputs("KestroView: Error: ", stderr);
    for (const char* c = text; *c != '\0'; ++c) {
        std::fputc(*c == '\n' ? ' ' : *c, stderr);
    }
    std::fputc('\n', stderr);
    std::fflush(stderr);
}
} // namespace

void setErrorBoxHook(ErrorBoxHook hook) {
    errorBoxHook = hook;
}

void showErrorBox(const char* text) {
    writeStandardErrorLine(text);
    if (errorBoxHook != nullptr) {
        errorBoxHook(text);
        return;
    }
    presentErrorBox(text);
}
