// Raw byte file access through the C library, the same on both platforms.
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

}  // namespace

File *openForReading(const char *path) {
    if (path == nullptr) return nullptr;
    return wrap(std::fopen(path, "rb"));
}

File *openForWriting(const char *path) {
    if (path == nullptr) return nullptr;
    // "r+b" writes in place: the file is neither created nor truncated.
    return wrap(std::fopen(path, "r+b"));
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
