#include "platform/own_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

std::FILE* createOwnFile(const char* name) {
    const int fd = open(name, O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "w");
    if (file == nullptr) {
        const int error = errno;
        close(fd);
        unlink(name);
        errno = error;
    }
    return file;
}
