#pragma once
// One data file of a window: loaded when the window opens, saved whenever it closes, with the
// user told about every failure. A file that could not be read is never saved over.
#include <string>
#include <vector>

class QString;

namespace userdata {

// A field's text for a data file, in Shift_JIS, the files' own code. A character that code page
// 932 cannot hold raises ECodePageError saying that the file (fileUtf8, "アドレス帳") cannot
// hold it, though a message can.
std::string ToFileText(const QString& text, const char* fileUtf8);

class TDataFile {
  public:
    explicit TDataFile(std::string path) : path_(std::move(path)) {}

    // The file's lines; on failure the error is shown and there are none. A file that is
    // there but cannot be read is then protected from Save.
    std::vector<std::string> Load();
    // Replaces the file by the lines, trying twice; false (with the error shown) when it could
    // not be written. For a protected file the user is told that nothing was saved, and the
    // window may close.
    bool Save(const std::vector<std::string>& lines);

    const std::string& Path() const { return path_; }

  private:
    std::string path_;
    bool protected_ = false;
};

}  // namespace userdata
