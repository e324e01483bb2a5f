#pragma once
// The file operations a save performs, one call per step, so that tests can make any step fail
// (as root, permissions fail nothing). The base class does them on the real file system; each
// reports failure as the system call does, with errno set.
#include <sys/types.h>

#include <string>

namespace userdata {

class TFileOps {
  public:
    virtual ~TFileOps() = default;
    // A new file made exclusively from the template (ending in XXXXXX), then the file's mode; a
    // descriptor or -1.
    virtual int CreateTemporary(std::string& pathTemplate, mode_t mode);
    virtual ssize_t Write(int fd, const char* data, size_t size);
    virtual bool Sync(int fd);
    // Closing the descriptor is where the system reports a write it had deferred.
    virtual bool Close(int fd);
    virtual bool Link(const std::string& from, const std::string& to);
    virtual bool Rename(const std::string& from, const std::string& to);
    virtual bool SyncDirectory(const std::string& dir);
    virtual void Remove(const std::string& path);
};

TFileOps& CurrentFileOps();
// nullptr puts the real file system back.
void SetFileOps(TFileOps* ops);

}  // namespace userdata
