#pragma once
// Byte streams: the abstract stream that the socket layer sends from, a memory stream and a
// file stream. Positions and sizes are in bytes.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/Exception.h"

enum TSeekOrigin { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

class TStream {
  public:
    virtual ~TStream() = default;

    // Reads up to count bytes; returns how many were read (fewer at the end).
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Writes up to count bytes; returns how many were taken.
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Moves the position; soFromEnd adds the offset to the size. Returns the new position.
    virtual int64_t Seek(int64_t offset, int origin) = 0;

    int64_t Position() { return Seek(0, soFromCurrent); }
    void SetPosition(int64_t position) { Seek(position, soFromBeginning); }
    // Found by seeking to the end and back.
    virtual int64_t Size();

    // Whole-buffer forms: a short transfer raises EStreamError.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes (all of source from its start when count is 0).
    int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
  public:
    TMemoryStream() = default;
    ~TMemoryStream() override;
    TMemoryStream(const TMemoryStream&) = delete;
    TMemoryStream& operator=(const TMemoryStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, int origin) override;
    int64_t Size() override { return static_cast<int64_t>(size_); }

    void Clear();
    std::string_view Data() const { return {memory_, size_}; }
    // Room for capacity bytes in all, so that a stream whose size is known grows only once.
    void Reserve(size_t capacity);

  private:
    char* memory_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
    int64_t position_ = 0;
};

// Gives the pages of memory the program has freed back to the system, so that a large stream
// built next does not come on top of a text already let go.
void ReleaseFreedMemory();

class TFileStream : public TStream {
  public:
    enum Mode { fmOpenRead, fmCreate };
    // Raises EFOpenError when the file cannot be opened.
    TFileStream(const std::string& path, Mode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, int origin) override;

  private:
    std::FILE* file_;
};

// A file that could not be opened.
class EFOpenError : public EStreamError {
    using EStreamError::EStreamError;
};
