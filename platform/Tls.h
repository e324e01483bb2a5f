#pragma once
// A TLS client session over a connected non-blocking descriptor, for the socket library. Every
// call returns at once: when the TLS layer needs the descriptor readable or writable first, the
// call says so through Wants() and the caller waits for that readiness.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// Why the server's certificate was not accepted.
enum class TlsVerifyFailure {
    None,
    UnknownIssuer,
    SelfSigned,
    NameMismatch,
    Expired,
    NotYetValid,
    Other,
};

struct TlsPeer {
    // The server's name as the user gave it: sent as SNI and checked against the certificate
    // (a literal IPv4 address is checked as an address and not sent).
    std::string host;
    // A PEM bundle of trusted certificates; empty for the system's trusted set.
    std::string caFile;
};

class TlsSession {
  public:
    enum class Want { Nothing, Read, Write };
    // Outcome of a handshake step, a read or a write that moved no data.
    enum class Status { Done, WouldBlock, Closed, Failed };

    // A session ready to start its handshake on fd; nullptr with error set when the context
    // cannot be made (an unreadable CA file, for one).
    static std::unique_ptr<TlsSession> Create(int fd, const TlsPeer& peer, std::string& error);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    Status Handshake();
    bool Established() const { return established_; }
    // Bytes read (or peeked) or written when positive; otherwise -1 with status set.
    int Read(char* buffer, int length, bool peek, Status& status);
    int Write(const char* buffer, int length, Status& status);
    // Decrypted bytes waiting inside the TLS layer.
    bool HasPending() const;
    // Sends the closing alert if it can go at once; never waits.
    void Shutdown();

    Want Wants() const { return wants_; }
    // After Failed: the errno of a failed system call (0 when the TLS layer itself failed), a
    // readable reason, and the certificate's failure when that was the cause.
    int SystemError() const { return systemError_; }
    const std::string& FailureText() const { return failureText_; }
    TlsVerifyFailure VerifyFailure() const { return verifyFailure_; }

  private:
    struct Handles;
    explicit TlsSession(std::unique_ptr<Handles> handles);
    Status Classify(int result);
    int Transfer(int length, Status& status, const std::function<int()>& call);
    void RecordFailure(int sslError);

    std::unique_ptr<Handles> handles_;
    bool established_ = false;
    Want wants_ = Want::Nothing;
    int systemError_ = 0;
    std::string failureText_;
    TlsVerifyFailure verifyFailure_ = TlsVerifyFailure::None;
};

}  // namespace platform
