#include "platform/Stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

int64_t TStream::Size() {
    const int64_t here = Seek(0, soFromCurrent);
    const int64_t size = Seek(0, soFromEnd);
    Seek(here, soFromBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count != 0 && Read(buffer, count) != count) throw EStreamError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count != 0 && Write(buffer, count) != count) throw EStreamError("Stream write error");
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

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    const int64_t n = std::clamp<int64_t>(Size() - position_, 0, std::max<int64_t>(count, 0));
    if (n > 0) std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    if (position_ + count > Size()) data_.resize(position_ + count);
    std::memcpy(data_.data() + position_, buffer, count);
    position_ += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, int origin) {
    const int64_t base = origin == soFromCurrent ? position_ : origin == soFromEnd ? Size() : 0;
    position_ = std::max<int64_t>(base + offset, 0);
    return position_;
}

void TMemoryStream::Clear() {
    data_.clear();
    position_ = 0;
}

TFileStream::TFileStream(const std::string& path, Mode mode)
    : file_(std::fopen(path.c_str(), mode == fmCreate ? "w+b" : "rb")) {
    if (!file_) {
        throw EFOpenError("Cannot open file \"" + path + "\". " + std::strerror(errno));
    }
}

TFileStream::~TFileStream() { std::fclose(file_); }

int64_t TFileStream::Read(void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const size_t n = std::fread(buffer, 1, count, file_);
    if (n < static_cast<size_t>(count) && std::ferror(file_)) {
        throw EInOutError(std::string("File read error: ") + std::strerror(errno));
    }
    return static_cast<int64_t>(n);
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    return static_cast<int64_t>(std::fwrite(buffer, 1, count, file_));
}

int64_t TFileStream::Seek(int64_t offset, int origin) {
    const int whence = origin == soFromCurrent ? SEEK_CUR : origin == soFromEnd ? SEEK_END : SEEK_SET;
    if (fseeko(file_, offset, whence) != 0) throw EStreamError("Seek error");
    return ftello(file_);
}
