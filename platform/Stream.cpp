#include "platform/Stream.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include <malloc.h>
#include <sys/mman.h>

int64_t TStream::Size() {
    const int64_t here = Seek(0, soFromCurrent);
    const int64_t size = Seek(0, soFromEnd);
    Seek(here, soFromBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count != 0 && Read(buffer, count) != count)
        throw EStreamError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count != 0 && Write(buffer, count) != count)
        throw EStreamError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    char chunk[65536];
    int64_t left = count;
    while (left > 0) {
        const int64_t n = std::min<int64_t>(left, sizeof chunk);
        source.ReadBuffer(chunk, n);
        WriteBuffer(chunk, n);
        left -= n;
    }
    return count;
}

namespace {

// Large memory streams (a whole encoded attachment, a message's content) live in anonymous
// mappings that the kernel may back with 2 MB pages: filling them then costs a page fault per
// 2 MB instead of one per 4 KB, which dominates the time of an encoder writing into memory.
constexpr size_t kHugePage = size_t{2} << 20;

bool IsMapped(size_t capacity) {
    return capacity >= kHugePage;
}

char* MapBlock(size_t bytes) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        throw std::bad_alloc();
    madvise(p, bytes, MADV_HUGEPAGE);
    return static_cast<char*>(p);
}

void FreeBlock(char* memory, size_t capacity) {
    if (IsMapped(capacity))
        munmap(memory, capacity);
    else
        std::free(memory);
}

}  // namespace

TMemoryStream::~TMemoryStream() {
    FreeBlock(memory_, capacity_);
}

void TMemoryStream::Reserve(size_t needed) {
    if (needed <= capacity_)
        return;
    size_t capacity = std::max({needed, capacity_ * 2, size_t{256}});
    if (IsMapped(capacity))
        capacity = (capacity + kHugePage - 1) / kHugePage * kHugePage;
    char* memory =
        IsMapped(capacity) ? MapBlock(capacity) : static_cast<char*>(std::malloc(capacity));
    if (!memory)
        throw std::bad_alloc();
    if (size_ > 0)
        std::memcpy(memory, memory_, size_);
    FreeBlock(memory_, capacity_);
    memory_ = memory;
    capacity_ = capacity;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    const int64_t n = std::clamp<int64_t>(Size() - position_, 0, std::max<int64_t>(count, 0));
    if (n > 0)
        std::memcpy(buffer, memory_ + position_, n);
    position_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0)
        return 0;
    const size_t end = static_cast<size_t>(position_ + count);
    Reserve(end);
    if (static_cast<size_t>(position_) > size_)
        std::memset(memory_ + size_, 0, position_ - size_);
    std::memcpy(memory_ + position_, buffer, count);
    size_ = std::max(size_, end);
    position_ += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, int origin) {
    const int64_t base = origin == soFromCurrent ? position_ : origin == soFromEnd ? Size() : 0;
    position_ = std::max<int64_t>(base + offset, 0);
    return position_;
}

void ReleaseFreedMemory() {
    ::malloc_trim(0);
}

void TMemoryStream::Clear() {
    size_ = 0;
    position_ = 0;
}

TFileStream::TFileStream(const std::string& path, Mode mode)
    : file_(std::fopen(path.c_str(), mode == fmCreate ? "w+b" : "rb")) {
    if (!file_) {
        throw EFOpenError("Cannot open file \"" + path + "\". " + std::strerror(errno));
    }
}

TFileStream::~TFileStream() {
    std::fclose(file_);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    if (count <= 0)
        return 0;
    const size_t n = std::fread(buffer, 1, count, file_);
    if (n < static_cast<size_t>(count) && std::ferror(file_)) {
        throw EInOutError(std::string("File read error: ") + std::strerror(errno));
    }
    return static_cast<int64_t>(n);
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    if (count <= 0)
        return 0;
    return static_cast<int64_t>(std::fwrite(buffer, 1, count, file_));
}

int64_t TFileStream::Seek(int64_t offset, int origin) {
    const int whence = origin == soFromCurrent ? SEEK_CUR
                       : origin == soFromEnd   ? SEEK_END
                                               : SEEK_SET;
    if (fseeko(file_, offset, whence) != 0)
        throw EStreamError("Seek error");
    return ftello(file_);
}
