// The folder's permissions decide who reads the file; a user's local application data folder is
// the user's alone.
#include "platform/own_file.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

std::FILE* createOwnFile(const char* name) {
    const int fd = _open(name, _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    std::FILE* file = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
    if (fd >= 0 && file == nullptr) {
        const int error = errno; // what the stream could not take, not what the clean-up says
        _close(fd);
        _unlink(name);
        errno = error;
    }
    return file;
}
