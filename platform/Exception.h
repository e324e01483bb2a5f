#pragma once
// Exception classes shared by every layer. Messages are byte strings in Shift_JIS.
#include <exception>
#include <string>

// The general exception type: carries only its message text.
class Exception : public std::exception {
  public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }

  private:
    std::string message_;
};

// The text of any exception: an Exception's message as it holds it, else what().
inline std::string MessageOf(const std::exception& e) {
    const auto* own = dynamic_cast<const Exception*>(&e);
    return own ? own->Message() : std::string(e.what());
}

// A value outside the range its destination can hold.
class ERangeError : public Exception {
    using Exception::Exception;
};

// Text that does not convert (a number, a character of another code page).
class EConvertError : public Exception {
    using Exception::Exception;
};

// A file that cannot be opened, read or written.
class EInOutError : public Exception {
    using Exception::Exception;
};

// Failures of stream objects ("Seek error", "PutBack overflow", open failures).
class EStreamError : public Exception {
    using Exception::Exception;
};

// An index outside a string list.
class EStringListError : public Exception {
    using Exception::Exception;
};
