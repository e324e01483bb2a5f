#pragma once
// Drafts: what a compose window holds, kept on disk while the user types so that a close, a
// crash or a killed session loses nothing. Behind an interface, so tests can put in their own.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The five compose fields as Unicode (UTF-8) text: what a draft keeps, and what a link or the
// command line fills in. The text may hold characters that code page 932 cannot.
struct TDraft {
    std::string To;
    std::string Cc;
    std::string Bcc;
    std::string Subject;
    std::string Body;  // lines end in LF
    // Paths of the attached files, as the file system holds them.
    std::vector<std::string> Attachments = {};

    bool Empty() const {
        return To.empty() && Cc.empty() && Bcc.empty() && Subject.empty() && Body.empty() &&
               Attachments.empty();
    }
    bool operator==(const TDraft&) const = default;
};

// A draft as the bytes of its file, and back; nullopt for bytes that are not a draft. A draft
// without attachments has no "Attach" line, as before there were any.
std::string DraftText(const TDraft& draft);
std::optional<TDraft> ParseDraft(std::string_view text);

// Whether a draft found on disk may fill a window; it may tidy the draft on the way.
using TAcceptDraft = std::function<bool(TDraft& draft)>;

// The draft of one window.
class TDraftStore {
  public:
    virtual ~TDraftStore() = default;
    // Makes a draft that a window which is gone left behind, and that accept takes, this
    // window's own and gives it back; nullopt when there is none. Call it, if at all, before
    // the first Save.
    virtual std::optional<TDraft> Adopt(const TAcceptDraft& accept) = 0;
    // The names of the files the last Adopt passed over and left where they are: no drafts, or
    // drafts accept refused.
    virtual std::vector<std::string> Skipped() const { return {}; }
    // Replaces this window's draft as a whole; raises EInOutError when it cannot be written.
    virtual void Save(const TDraft& draft) = 0;
    // Removes this window's draft, if it has one.
    virtual void Remove() = 0;
};

// Drafts as files in one directory, one per window: NAME.draft beside NAME.lock, which the
// window holds locked for its life. The system drops the lock however the process ends, so a
// draft whose lock can be taken was left behind, and two windows never share one. The
// directory is the user's alone (0700); what lies in it is read only when it is a regular file
// of at most kMaxDraftBytes, never through a link.
class TDraftFiles : public TDraftStore {
  public:
    // Replaces the file at path by bytes as a whole, a link at path included, readable by the
    // user alone; raises EInOutError.
    using TReplaceFile = std::function<void(const std::string& path, const std::string& bytes)>;

    static constexpr size_t kMaxDraftBytes = 1024 * 1024;

    // dir ends in the path separator; it is made when first needed.
    TDraftFiles(std::string dir, TReplaceFile replaceFile);
    ~TDraftFiles() override;
    TDraftFiles(const TDraftFiles&) = delete;
    TDraftFiles& operator=(const TDraftFiles&) = delete;

    std::optional<TDraft> Adopt(const TAcceptDraft& accept) override;
    std::vector<std::string> Skipped() const override { return skipped_; }
    void Save(const TDraft& draft) override;
    void Remove() override;

    // The file of this window's draft, empty before the window has one.
    std::string DraftPath() const;

  private:
    bool TryClaim(const std::string& name);
    void ClaimNew();
    void Release();
    std::optional<TDraft> ReadClaimed();

    std::string dir_;
    TReplaceFile replaceFile_;
    std::string name_;  // the claimed draft, empty while none is
    int lock_ = -1;
    std::vector<std::string> skipped_;
};

}  // namespace platform
