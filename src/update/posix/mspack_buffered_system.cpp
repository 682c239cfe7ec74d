#include "update/posix/mspack_buffered_system.h"

#include <fcntl.h>
#include <sys/types.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace kelvra::update {
namespace {

constexpr std::size_t kWriteBuffer = 1 << 20;

struct File {
    std::FILE* stream = nullptr;
    bool* write_failed = nullptr;
    const char* name = nullptr;
    std::size_t pending = 0;
    std::unique_ptr<char[]> buffer;  // only for files opened to write
};

File* Of(mspack_file* file) {
    return reinterpret_cast<File*>(file);
}

// Writes out what has collected; false (and the system marked) when the write failed.
bool Flush(File& f) {
    if (f.pending == 0)
        return true;
    const bool ok = std::fwrite(f.buffer.get(), 1, f.pending, f.stream) == f.pending;
    f.pending = 0;
    if (!ok)
        *f.write_failed = true;
    return ok;
}

mspack_file* Open(mspack_system* self, const char* filename, int mode) {
    const char* how = nullptr;
    switch (mode) {
        case MSPACK_SYS_OPEN_READ:
            how = "rb";
            break;
        case MSPACK_SYS_OPEN_WRITE:
            how = "wb";
            break;
        case MSPACK_SYS_OPEN_UPDATE:
            how = "r+b";
            break;
        case MSPACK_SYS_OPEN_APPEND:
            how = "ab";
            break;
        default:
            return nullptr;
    }
    std::FILE* stream = std::fopen(filename, how);
    if (stream == nullptr)
        return nullptr;
    auto* f = new File;
    f->stream = stream;
    f->write_failed = &reinterpret_cast<BufferedMspackSystem::State*>(self)->write_failed;
    f->name = filename;
    if (mode != MSPACK_SYS_OPEN_READ)
        f->buffer = std::make_unique<char[]>(kWriteBuffer);
    return reinterpret_cast<mspack_file*>(f);
}

void Close(mspack_file* file) {
    File* f = Of(file);
    Flush(*f);
    if (f->buffer) {
        // An expanded file is flushed to the disk before it is placed: start writing it back
        // now, without waiting (a hint; the flush before placing does the work regardless).
        if (std::fflush(f->stream) != 0)
            *f->write_failed = true;
        else
            (void)sync_file_range(fileno(f->stream), 0, 0, SYNC_FILE_RANGE_WRITE);
    }
    if (std::fclose(f->stream) != 0 && f->buffer)
        *f->write_failed = true;
    delete f;
}

int Read(mspack_file* file, void* buffer, int bytes) {
    File* f = Of(file);
    if (bytes < 0 || !Flush(*f))
        return -1;
    const std::size_t n = std::fread(buffer, 1, static_cast<std::size_t>(bytes), f->stream);
    return n == 0 && std::ferror(f->stream) ? -1 : static_cast<int>(n);
}

int Write(mspack_file* file, void* buffer, int bytes) {
    File* f = Of(file);
    if (bytes < 0 || !f->buffer)
        return -1;
    const auto n = static_cast<std::size_t>(bytes);
    // The decoder's usual call: one byte.
    if (n == 1 && f->pending < kWriteBuffer) {
        f->buffer[f->pending++] = *static_cast<const char*>(buffer);
        return 1;
    }
    if (f->pending + n > kWriteBuffer && !Flush(*f))
        return -1;
    if (n > kWriteBuffer) {
        if (std::fwrite(buffer, 1, n, f->stream) != n) {
            *f->write_failed = true;
            return -1;
        }
        return bytes;
    }
    std::memcpy(f->buffer.get() + f->pending, buffer, n);
    f->pending += n;
    return bytes;
}

int Seek(mspack_file* file, off_t offset, int mode) {
    File* f = Of(file);
    const int whence = mode == MSPACK_SYS_SEEK_START ? SEEK_SET
                       : mode == MSPACK_SYS_SEEK_CUR ? SEEK_CUR
                       : mode == MSPACK_SYS_SEEK_END ? SEEK_END
                                                     : -1;
    if (whence < 0 || !Flush(*f))
        return -1;
    return fseeko(f->stream, offset, whence) == 0 ? 0 : -1;
}

off_t Tell(mspack_file* file) {
    File* f = Of(file);
    if (!Flush(*f))
        return -1;
    return ftello(f->stream);
}

void Message(mspack_file* file, const char* format, ...) {
    if (file != nullptr)
        std::fprintf(stderr, "%s: ", Of(file)->name);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

void* Alloc(mspack_system*, size_t bytes) {
    return std::malloc(bytes);
}

void Free(void* p) {
    std::free(p);
}

void Copy(void* src, void* dest, size_t bytes) {
    std::memmove(dest, src, bytes);
}

}  // namespace

BufferedMspackSystem::BufferedMspackSystem() {
    state_.base = {Open, Close, Read, Write, Seek, Tell, Message, Alloc, Free, Copy, nullptr};
}

}  // namespace kelvra::update
