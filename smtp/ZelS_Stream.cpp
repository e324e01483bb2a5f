#include "smtp/ZelS_Stream.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/Events.h"

TS_BufferStream::TS_BufferStream(TStream& Target)
    : target_(Target), block_(new char[BlockSize]), limit_(BlockEnd()) {}

TS_BufferStream::~TS_BufferStream() {
    // A destructor cannot report failure: bytes the target refuses now are lost.
    try {
        if (mode_ == Writing)
            Drain();
    } catch (...) {
    }
}

int64_t TS_BufferStream::Write(const void* buffer, int64_t count) {
    if (mode_ != Writing) {
        Settle();
        cursor_ = block_.get();
        limit_ = BlockEnd();
    }
    const char* from = static_cast<const char*>(buffer);
    int64_t copied = 0;
    while (copied < count) {
        const int64_t n = std::min<int64_t>(count - copied, limit_ - cursor_);
        std::memcpy(cursor_, from + copied, n);
        cursor_ += n;
        copied += n;
        if (cursor_ == limit_ && !Drain())
            break;
    }
    if (cursor_ != block_.get())
        mode_ = Writing;
    return copied;
}

int64_t TS_BufferStream::Read(void* buffer, int64_t count) {
    if (mode_ != Reading) {
        Settle();
        cursor_ = limit_ = block_.get();
    }
    char* to = static_cast<char*>(buffer);
    int64_t copied = 0;
    while (copied < count) {
        if (cursor_ == limit_ && !Refill())
            break;
        const int64_t n = std::min<int64_t>(count - copied, limit_ - cursor_);
        std::memcpy(to + copied, cursor_, n);
        cursor_ += n;
        copied += n;
    }
    return copied;
}

int64_t TS_BufferStream::Seek(int64_t offset, int origin) {
    const int64_t current = LogicalPosition();
    int64_t target;
    switch (origin) {
        case soFromBeginning:
            target = offset;
            break;
        case soFromCurrent:
            target = current + offset;
            break;
        case soFromEnd:
            // Pending bytes belong to the end that the caller measures from.
            if (mode_ == Writing && !Drain())
                throw EStreamError("Seek error");
            target = target_.Size() + offset;
            break;
        default:
            throw Exception("Invalid seek origin = " + std::to_string(origin));
    }
    if (target == current)
        return current;
    Settle();
    return target_.Seek(target, soFromBeginning);
}

void TS_BufferStream::PutBack(char byte) {
    // In Writing the byte before Cursor is pending output, not something read.
    if (mode_ != Reading || cursor_ == block_.get())
        throw EStreamError("PutBack overflow");
    *--cursor_ = byte;
}

// Writes the pending bytes to Target. Bytes that Target refuses stay pending at the start of
// Block, so a failed drain loses nothing.
bool TS_BufferStream::Drain() {
    const int64_t pending = cursor_ - block_.get();
    const int64_t written =
        pending > 0 ? std::clamp<int64_t>(target_.Write(block_.get(), pending), 0, pending) : 0;
    const int64_t left = pending - written;
    if (left > 0)
        std::memmove(block_.get(), block_.get() + written, left);
    cursor_ = block_.get() + left;
    mode_ = left > 0 ? Writing : Idle;
    Fire(OnDrain, this);
    return left == 0;
}

bool TS_BufferStream::Refill() {
    const int64_t got = target_.Read(block_.get(), BlockSize);
    cursor_ = block_.get();
    limit_ = block_.get() + std::clamp<int64_t>(got, 0, BlockSize);
    mode_ = limit_ != cursor_ ? Reading : Idle;
    Fire(OnRefill, this);
    return limit_ != cursor_;
}

// Brings Target's position to the logical position and empties the block, so that a switch
// between reading and writing neither loses nor repeats bytes.
void TS_BufferStream::Settle() {
    if (mode_ == Writing && !Drain())
        throw EStreamError("Seek error");
    if (mode_ == Reading && limit_ != cursor_)
        target_.Seek(cursor_ - limit_, soFromCurrent);
    cursor_ = nullptr;
    limit_ = BlockEnd();
    mode_ = Idle;
}

int64_t TS_BufferStream::LogicalPosition() {
    const int64_t base = target_.Position();
    if (mode_ == Reading)
        return base + (cursor_ - limit_);
    if (mode_ == Writing)
        return base + (cursor_ - block_.get());
    return base;
}
