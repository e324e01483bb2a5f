#pragma once
// A stream that gathers reads and writes in one memory block in front of another stream, so
// that many small transfers reach the target as few large ones.
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Stream.h"

class TS_BufferStream : public TStream {
  public:
    enum TBufferMode { Idle = 0, Reading = 1, Writing = 2 };
    using TBufferEvent = std::function<void(TS_BufferStream* Sender)>;
    static constexpr int64_t BlockSize = 32768;

    // Target is not owned and must outlive this stream.
    explicit TS_BufferStream(TStream& Target);
    ~TS_BufferStream() override;
    TS_BufferStream(const TS_BufferStream&) = delete;
    TS_BufferStream& operator=(const TS_BufferStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    // Origins 0, 1 and 2 as for every stream; others raise Exception.
    int64_t Seek(int64_t offset, int origin) override;
    // Makes the next read return byte. Only possible after a read from the current block.
    void PutBack(char byte);

    TStream& Target() const { return target_; }
    const char* Block() const { return block_.get(); }
    // Null when no block position is set.
    const char* Cursor() const { return cursor_; }
    const char* Limit() const { return limit_; }
    TBufferMode Mode() const { return mode_; }

    TBufferEvent OnRefill;
    TBufferEvent OnDrain;

  private:
    bool Drain();
    bool Refill();
    void Settle();
    int64_t LogicalPosition();
    char* BlockEnd() const { return block_.get() + BlockSize; }

    TStream& target_;
    std::unique_ptr<char[]> block_;
    char* cursor_ = nullptr;
    char* limit_;
    TBufferMode mode_ = Idle;
};
