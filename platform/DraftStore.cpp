#include "platform/DraftStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <tuple>
#include <vector>

#include "platform/BoundedRead.h"
#include "platform/CodePage.h"
#include "platform/DataDir.h"
#include "platform/Exception.h"

namespace platform {
namespace {

constexpr std::string_view kFirstLine = "Tidemark draft 1\n";
constexpr const char* kDraftExtension = ".draft";
constexpr const char* kLockExtension = ".lock";

// The one-line fields may hold a line break only in escaped form.
std::string Escaped(std::string_view field) {
    std::string out;
    for (const char c : field) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string Unescaped(std::string_view field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const char next = field[++i];
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return out;
}

// Reads "Name: value\n" off the front of text.
bool TakeField(std::string_view& text, std::string_view name, std::string& value) {
    if (!text.starts_with(name) || !text.substr(name.size()).starts_with(": "))
        return false;
    const size_t end = text.find('\n');
    if (end == std::string_view::npos)
        return false;
    const size_t start = name.size() + 2;
    value = Unescaped(text.substr(start, end - start));
    text.remove_prefix(end + 1);
    return true;
}

// A link counts as what it is, not as what it points to.
bool Exists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

// The descriptor still names the file at path: nobody removed or replaced it meanwhile.
bool StillAt(int fd, const std::string& path) {
    struct stat open {
    }, named{};
    return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

EInOutError DraftError(const std::string& path, int error) {
    return EInOutError(Sjis("下書き ") + path + Sjis(" を保存できません (") + std::strerror(error) +
                       ")");
}

struct TFoundDrafts {
    std::vector<std::string> drafts;  // oldest first
    std::vector<std::string> lonelyLocks;
};

// Nothing found is followed or opened here: a link is looked at as a link.
TFoundDrafts FindDrafts(const std::string& dir) {
    namespace fs = std::filesystem;
    std::vector<std::pair<timespec, std::string>> drafts;
    std::vector<std::string> locks;
    std::error_code error;
    for (fs::directory_iterator entry(dir, error), end; !error && entry != end;
         entry.increment(error)) {
        const fs::path path = entry->path();
        struct stat status {};
        if (path.extension() == kDraftExtension && ::lstat(path.c_str(), &status) == 0)
            drafts.emplace_back(status.st_mtim, path.stem().string());
        else if (path.extension() == kLockExtension)
            locks.push_back(path.stem().string());
    }
    std::sort(drafts.begin(), drafts.end(), [](const auto& a, const auto& b) {
        return std::tie(a.first.tv_sec, a.first.tv_nsec, a.second) <
               std::tie(b.first.tv_sec, b.first.tv_nsec, b.second);
    });
    TFoundDrafts found;
    for (auto& draft : drafts)
        found.drafts.push_back(std::move(draft.second));
    for (auto& lock : locks) {
        if (!Exists(dir + lock + kDraftExtension))
            found.lonelyLocks.push_back(std::move(lock));
    }
    return found;
}

}  // namespace

std::string DraftText(const TDraft& draft) {
    std::string text(kFirstLine);
    text += "To: " + Escaped(draft.To) + "\n";
    text += "Cc: " + Escaped(draft.Cc) + "\n";
    text += "Bcc: " + Escaped(draft.Bcc) + "\n";
    text += "Subject: " + Escaped(draft.Subject) + "\n";
    for (const std::string& path : draft.Attachments)
        text += "Attach: " + Escaped(path) + "\n";
    return text + "\n" + draft.Body;
}

std::optional<TDraft> ParseDraft(std::string_view text) {
    if (!text.starts_with(kFirstLine))
        return std::nullopt;
    text.remove_prefix(kFirstLine.size());
    TDraft draft;
    if (!TakeField(text, "To", draft.To) || !TakeField(text, "Cc", draft.Cc) ||
        !TakeField(text, "Bcc", draft.Bcc) || !TakeField(text, "Subject", draft.Subject)) {
        return std::nullopt;
    }
    for (std::string path; TakeField(text, "Attach", path);)
        draft.Attachments.push_back(path);
    if (!text.starts_with('\n'))
        return std::nullopt;
    draft.Body = text.substr(1);
    return draft;
}

TDraftFiles::TDraftFiles(std::string dir, TReplaceFile replaceFile)
    : dir_(std::move(dir)), replaceFile_(std::move(replaceFile)) {}

TDraftFiles::~TDraftFiles() {
    Release();
}

std::string TDraftFiles::DraftPath() const {
    return name_.empty() ? std::string() : dir_ + name_ + kDraftExtension;
}

// The oldest draft nobody holds; lock files that lost their draft go on the way.
std::optional<TDraft> TDraftFiles::Adopt(const TAcceptDraft& accept) {
    skipped_.clear();
    if (lock_ >= 0)
        return std::nullopt;
    const TFoundDrafts found = FindDrafts(dir_);
    for (const std::string& name : found.lonelyLocks) {
        if (TryClaim(name))
            Release();
    }
    for (const std::string& name : found.drafts) {
        if (!TryClaim(name))
            continue;
        std::optional<TDraft> draft = ReadClaimed();
        if (draft && draft->Empty()) {
            Release();
            continue;
        }
        if (draft && accept(*draft))
            return draft;
        // Not a draft this program can take: left where it is, for the user to look at.
        skipped_.push_back(name + kDraftExtension);
        Release();
    }
    return std::nullopt;
}

void TDraftFiles::Save(const TDraft& draft) {
    if (lock_ < 0)
        ClaimNew();
    replaceFile_(DraftPath(), DraftText(draft));
}

void TDraftFiles::Remove() {
    if (!name_.empty())
        ::unlink(DraftPath().c_str());
}

bool TDraftFiles::TryClaim(const std::string& name) {
    const std::string path = dir_ + name + kLockExtension;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || !StillAt(fd, path)) {
        ::close(fd);
        return false;
    }
    lock_ = fd;
    name_ = name;
    return true;
}

// A name nobody has used: the lock file is made exclusively.
void TDraftFiles::ClaimNew() {
    MakePrivateDirectory(dir_);
    const std::string stem =
        std::to_string(std::time(nullptr)) + "-" + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = stem + std::to_string(attempt);
        const std::string path = dir_ + name + kLockExtension;
        const int fd =
            ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            if (fd >= 0)
                ::close(fd);
            throw DraftError(dir_ + name + kDraftExtension, error);
        }
        lock_ = fd;
        name_ = name;
        return;
    }
    throw DraftError(dir_ + stem + "*", EEXIST);
}

// The lock file goes with the lock when there is no draft left to guard.
void TDraftFiles::Release() {
    if (lock_ < 0)
        return;
    if (!Exists(DraftPath()))
        ::unlink((dir_ + name_ + kLockExtension).c_str());
    ::close(lock_);
    lock_ = -1;
    name_.clear();
}

std::optional<TDraft> TDraftFiles::ReadClaimed() {
    const TReadResult read = ReadBounded(DraftPath(), {kMaxDraftBytes, false, false});
    if (read.Problem != TReadProblem::None)
        return std::nullopt;
    return ParseDraft(read.Bytes);
}

}  // namespace platform
