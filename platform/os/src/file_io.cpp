// Raw byte file access through the C library, the same on both platforms once a file is
// open. Only regular files are opened: a FIFO would block the opener and a device would
// never end.
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <new>

#include "trl4/os.h"

namespace trl4::os {

struct File {
    std::FILE *stream;
};

namespace {

File *wrap(std::FILE *stream) {
    if (stream == nullptr) return nullptr;
    File *file = new (std::nothrow) File{stream};
    if (file == nullptr) std::fclose(stream);
    return file;
}

#ifdef _WIN32

// Opening a device or a pipe does not block on Windows; what it is shows once it is open.
File *openRegular(const char *path, const char *mode) {
    std::FILE *stream = std::fopen(path, mode);
    if (stream == nullptr) return nullptr;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        std::fclose(stream);
        return nullptr;
    }
    return wrap(stream);
}

#else

// Opened without blocking (a FIFO without a writer would wait for one), refused unless it is
// a regular file, then switched back to blocking reads and writes.
File *openRegular(const char *path, const char *mode) {
    const bool writing = mode[1] == '+';
    const int fd = ::open(path, (writing ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::FILE *stream = ::fdopen(fd, mode);
    if (stream == nullptr) {
        ::close(fd);
        return nullptr;
    }
    return wrap(stream);
}

#endif

}  // namespace

File *openForReading(const char *path) {
    if (path == nullptr) return nullptr;
    return openRegular(path, "rb");
}

File *openForWriting(const char *path) {
    if (path == nullptr) return nullptr;
    // "r+b" writes in place: the file is neither created nor truncated.
    return openRegular(path, "r+b");
}

std::int64_t readFile(File *file, void *buffer, std::size_t size) {
    if (file == nullptr || (buffer == nullptr && size != 0)) return -1;
    const std::size_t got = std::fread(buffer, 1, size, file->stream);
    if (got < size && std::ferror(file->stream)) return -1;
    return static_cast<std::int64_t>(got);
}

bool writeFile(File *file, const void *buffer, std::size_t size) {
    if (file == nullptr || (buffer == nullptr && size != 0)) return false;
    return std::fwrite(buffer, 1, size, file->stream) == size;
}

bool closeFile(File *file) {
    if (file == nullptr) return false;
    const bool ok = std::fclose(file->stream) == 0;
    delete file;
    return ok;
}

}  // namespace trl4::os
