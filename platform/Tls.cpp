#include "platform/Tls.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <cstring>

namespace platform {

struct TlsSession::Handles {
    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;
    ~Handles() {
        SSL_free(ssl);
        SSL_CTX_free(context);
    }
};

namespace {

constexpr const char* kClosedInHandshake =
    "the server closed the connection during the TLS handshake";

// The TLS layer writes to the descriptor itself, without MSG_NOSIGNAL: a write to a connection
// the peer has closed would raise SIGPIPE and end the program. The signal is held back for the
// call and a SIGPIPE it raised is discarded; the call sees EPIPE.
class SigpipeHeld {
  public:
    SigpipeHeld() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
    }
    ~SigpipeHeld() {
        sigset_t pending;
        sigpending(&pending);
        if (!wasPending_ && sigismember(&pending, SIGPIPE) == 1) {
            const timespec now{};
            sigtimedwait(&pipe_, nullptr, &now);
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    SigpipeHeld(const SigpipeHeld&) = delete;
    SigpipeHeld& operator=(const SigpipeHeld&) = delete;

  private:
    sigset_t pipe_;
    sigset_t previous_;
    bool wasPending_ = false;
};

bool IsAddressLiteral(const std::string& host) {
    in_addr address{};
    return ::inet_pton(AF_INET, host.c_str(), &address) == 1;
}

std::string OpenSslErrorText() {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0)
        return "TLS error";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

TlsVerifyFailure VerifyFailureOf(long result) {
    switch (result) {
        case X509_V_OK:
            return TlsVerifyFailure::None;
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
            return TlsVerifyFailure::UnknownIssuer;
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
            return TlsVerifyFailure::SelfSigned;
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return TlsVerifyFailure::NameMismatch;
        case X509_V_ERR_CERT_HAS_EXPIRED:
            return TlsVerifyFailure::Expired;
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return TlsVerifyFailure::NotYetValid;
        default:
            return TlsVerifyFailure::Other;
    }
}

constexpr const char* kForwardSecretCiphers =
    "ECDHE+AESGCM:ECDHE+CHACHA20:DHE+AESGCM:DHE+CHACHA20:ECDHE+AES:DHE+AES:!aNULL:!eNULL";

// The trusted set and the minimum protocol: verification is never optional.
SSL_CTX* NewContext(const TlsPeer& peer, std::string& error) {
    SSL_CTX* context = SSL_CTX_new(TLS_client_method());
    if (context == nullptr) {
        error = OpenSslErrorText();
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    // TLS 1.2 only with key exchanges that keep past sessions secret should the server's key
    // leak later (TLS 1.3 has no others).
    SSL_CTX_set_cipher_list(context, kForwardSecretCiphers);
    // Many servers close without the closing alert. SMTP replies frame themselves, so such a
    // close ends the stream like an orderly one instead of failing the read after QUIT.
    SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    const int loaded = peer.caFile.empty()
                           ? SSL_CTX_set_default_verify_paths(context)
                           : SSL_CTX_load_verify_locations(context, peer.caFile.c_str(), nullptr);
    if (loaded != 1) {
        error = "cannot load the trusted certificates " +
                (peer.caFile.empty() ? std::string("of the system") : "from " + peer.caFile) +
                ": " + OpenSslErrorText();
        SSL_CTX_free(context);
        return nullptr;
    }
    return context;
}

// The name the certificate must carry, and the name the server is told (not for an address).
bool SetPeerName(SSL* ssl, const std::string& host) {
    X509_VERIFY_PARAM* param = SSL_get0_param(ssl);
    if (IsAddressLiteral(host))
        return X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) == 1;
    // The name must be among the certificate's subjectAltNames: a certificate with a common
    // name alone is refused, as clients have long done.
    X509_VERIFY_PARAM_set_hostflags(
        param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS | X509_CHECK_FLAG_NEVER_CHECK_SUBJECT);
    return X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size()) == 1 &&
           SSL_set_tlsext_host_name(ssl, host.c_str()) == 1;
}

}  // namespace

TlsSession::TlsSession(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}

TlsSession::~TlsSession() = default;

std::unique_ptr<TlsSession> TlsSession::Create(int fd, const TlsPeer& peer, std::string& error) {
    auto handles = std::make_unique<Handles>();
    handles->context = NewContext(peer, error);
    if (handles->context == nullptr)
        return nullptr;
    handles->ssl = SSL_new(handles->context);
    if (handles->ssl == nullptr || SSL_set_fd(handles->ssl, fd) != 1) {
        error = OpenSslErrorText();
        return nullptr;
    }
    if (peer.host.empty() || !SetPeerName(handles->ssl, peer.host)) {
        error = "the server name '" + peer.host + "' cannot be checked";
        return nullptr;
    }
    SSL_set_connect_state(handles->ssl);
    return std::unique_ptr<TlsSession>(new TlsSession(std::move(handles)));
}

TlsSession::Status TlsSession::Handshake() {
    ERR_clear_error();
    const SigpipeHeld held;
    const int result = SSL_do_handshake(handles_->ssl);
    if (result == 1) {
        established_ = true;
        wants_ = Want::Nothing;
        return Status::Done;
    }
    const Status status = Classify(result);
    if (status != Status::Closed)
        return status;
    failureText_ = kClosedInHandshake;
    return Status::Failed;
}

int TlsSession::Read(char* buffer, int length, bool peek, Status& status) {
    return Transfer(length, status, [&] {
        return peek ? SSL_peek(handles_->ssl, buffer, length)
                    : SSL_read(handles_->ssl, buffer, length);
    });
}

int TlsSession::Write(const char* buffer, int length, Status& status) {
    return Transfer(length, status, [&] { return SSL_write(handles_->ssl, buffer, length); });
}

// One read or write of the TLS layer: the bytes it moved, or -1 with the reason in status.
int TlsSession::Transfer(int length, Status& status, const std::function<int()>& call) {
    if (length == 0) {
        status = Status::Done;
        return 0;
    }
    ERR_clear_error();
    const SigpipeHeld held;
    const int n = call();
    if (n > 0) {
        wants_ = Want::Nothing;
        status = Status::Done;
        return n;
    }
    status = Classify(n);
    return -1;
}

bool TlsSession::HasPending() const {
    return SSL_pending(handles_->ssl) > 0;
}

void TlsSession::Shutdown() {
    if (established_ && failureText_.empty()) {
        ERR_clear_error();
        const SigpipeHeld held;
        SSL_shutdown(handles_->ssl);
        ERR_clear_error();
    }
}

TlsSession::Status TlsSession::Classify(int result) {
    const int sslError = SSL_get_error(handles_->ssl, result);
    switch (sslError) {
        case SSL_ERROR_WANT_READ:
            wants_ = Want::Read;
            return Status::WouldBlock;
        case SSL_ERROR_WANT_WRITE:
            wants_ = Want::Write;
            return Status::WouldBlock;
        case SSL_ERROR_ZERO_RETURN:
            wants_ = Want::Nothing;
            return Status::Closed;
        default:
            break;
    }
    RecordFailure(sslError);
    return Status::Failed;
}

void TlsSession::RecordFailure(int sslError) {
    wants_ = Want::Nothing;
    systemError_ = sslError == SSL_ERROR_SYSCALL ? errno : 0;
    const long verified = SSL_get_verify_result(handles_->ssl);
    verifyFailure_ = established_ ? TlsVerifyFailure::None : VerifyFailureOf(verified);
    if (verifyFailure_ != TlsVerifyFailure::None) {
        failureText_ = std::string("certificate verification failed: ") +
                       X509_verify_cert_error_string(verified);
        ERR_clear_error();
    } else if (sslError == SSL_ERROR_SYSCALL && systemError_ == 0 && ERR_peek_error() == 0) {
        failureText_ = kClosedInHandshake;
    } else if (systemError_ != 0) {
        failureText_ = std::string("TLS: ") + std::strerror(systemError_);
    } else {
        failureText_ = "TLS: " + OpenSslErrorText();
    }
}

}  // namespace platform
