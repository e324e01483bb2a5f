#pragma once
// Keeping a secret (the AUTH password) short-lived: its bytes are overwritten before their
// memory is given back, and no core dump or same-user debugger can read the process meanwhile.
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The shortest part of a secret that is hidden on its own.
inline constexpr size_t kHiddenPart = 8;

// Replaces by "***" what a server might echo of Secret in Text: the whole secret, and every part
// of it at least kHiddenPart bytes long, in any case of its ASCII letters.
void HideSecret(std::string& Text, std::string_view Secret);

// Overwrites every byte Text owns, its spare capacity too, and empties it.
void WipeSecret(std::string& Text);

// Wipes the string when the scope ends, however it ends.
class SecretScope {
  public:
    explicit SecretScope(std::string& Secret) : secret_(Secret) {}
    ~SecretScope() { WipeSecret(secret_); }
    SecretScope(const SecretScope&) = delete;
    SecretScope& operator=(const SecretScope&) = delete;

  private:
    std::string& secret_;
};

// A secret (a password, an access token) that wipes its bytes when it goes. Move-only, so that
// there is one copy at a time; whoever needs a second one says so with Copy.
class TSecret {
  public:
    TSecret() = default;
    // Takes the text over and wipes what the move leaves behind in it.
    explicit TSecret(std::string&& text) : text_(std::move(text)) { WipeSecret(text); }
    TSecret(TSecret&& other) noexcept : text_(std::move(other.text_)) { WipeSecret(other.text_); }
    TSecret& operator=(TSecret&& other) noexcept {
        if (this != &other) {
            WipeSecret(text_);
            text_ = std::move(other.text_);
            WipeSecret(other.text_);
        }
        return *this;
    }
    TSecret(const TSecret&) = delete;
    TSecret& operator=(const TSecret&) = delete;
    ~TSecret() { WipeSecret(text_); }

    const std::string& Text() const { return text_; }
    bool Empty() const { return text_.empty(); }
    TSecret Copy() const { return TSecret(std::string(text_)); }
    void Wipe() { WipeSecret(text_); }

  private:
    std::string text_;
};

// Marks the process non-dumpable while it lives, and puts the earlier state back after.
class NonDumpableScope {
  public:
    NonDumpableScope();
    ~NonDumpableScope();
    NonDumpableScope(const NonDumpableScope&) = delete;
    NonDumpableScope& operator=(const NonDumpableScope&) = delete;

  private:
    int previous_;
};

}  // namespace platform
