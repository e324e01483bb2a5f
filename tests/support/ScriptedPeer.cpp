#include "tests/support/ScriptedPeer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace testsupport {
namespace {

using Clock = std::chrono::steady_clock;

// The longest a blocking call waits before the thread looks at its stop flag again.
constexpr auto kSlice = 20ms;

int LoopbackSocket(uint16_t& port, Loopback on = Loopback::Ipv4) {
    const bool v6 = on == Loopback::Ipv6;
    const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("socket failed");
    sockaddr_in address{};
    sockaddr_in6 address6{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address6.sin6_family = AF_INET6;
    address6.sin6_addr = in6addr_loopback;
    auto* bound =
        v6 ? reinterpret_cast<sockaddr*>(&address6) : reinterpret_cast<sockaddr*>(&address);
    socklen_t length = v6 ? sizeof address6 : sizeof address;
    if (::bind(fd, bound, length) != 0 || ::getsockname(fd, bound, &length) != 0) {
        ::close(fd);
        throw std::runtime_error("bind on loopback failed");
    }
    port = ntohs(v6 ? address6.sin6_port : address.sin_port);
    return fd;
}

int PollFor(int fd, short events, Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd entry{fd, events, 0};
    return ::poll(&entry, 1, static_cast<int>(std::clamp(left, 0ms, kSlice).count()));
}

void CloseAbortively(int fd) {
    const linger abortive{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    ::close(fd);
}

}  // namespace

struct ScriptedPeer::Tls {
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    SSL* ssl = nullptr;
    ~Tls() {
        SSL_free(ssl);
        SSL_CTX_free(context);
    }
};

ScriptedPeer::ScriptedPeer(Loopback address) {
    listener_ = LoopbackSocket(port_, address);
    if (::listen(listener_, 4) != 0)
        throw std::runtime_error("listen failed");
}

ScriptedPeer::~ScriptedPeer() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (connection_ >= 0)
        ::close(connection_);
    ::close(listener_);
}

Clock::time_point ScriptedPeer::Deadline() const {
    return Clock::now() + stepTimeout_;
}

ScriptedPeer& ScriptedPeer::Send(std::string bytes) {
    steps_.push_back([this, bytes] { return SendAll(bytes); });
    return *this;
}

ScriptedPeer& ScriptedPeer::SendPieces(std::vector<std::string> pieces,
                                       std::chrono::milliseconds delay) {
    steps_.push_back([this, pieces, delay] {
        for (size_t i = 0; i < pieces.size(); ++i) {
            if (i > 0)
                std::this_thread::sleep_for(delay);
            if (!SendAll(pieces[i]))
                return false;
        }
        return true;
    });
    return *this;
}

ScriptedPeer& ScriptedPeer::SendRepeated(std::string bytes, size_t count) {
    steps_.push_back([this, bytes, count] {
        for (size_t i = 0; i < count; ++i) {
            if (!SendAll(bytes))
                return false;
        }
        return true;
    });
    return *this;
}

ScriptedPeer& ScriptedPeer::Pause(std::chrono::milliseconds delay) {
    steps_.push_back([this, delay] {
        const auto end = Clock::now() + delay;
        while (!stop_ && Clock::now() < end)
            std::this_thread::sleep_for(std::min<Clock::duration>(kSlice, end - Clock::now()));
        return !stop_;
    });
    return *this;
}

ScriptedPeer& ScriptedPeer::ExpectLine(std::string prefix) {
    steps_.push_back([this, prefix] {
        std::string line;
        if (!NextLine(line, Deadline())) {
            Fail("no line starting with \"" + prefix + "\" arrived");
            return false;
        }
        if (line.compare(0, prefix.size(), prefix) != 0) {
            Fail("expected a line starting with \"" + prefix + "\", got \"" + line + "\"");
        }
        return true;
    });
    return *this;
}

ScriptedPeer& ScriptedPeer::Replies(std::vector<std::pair<std::string, std::string>> exchanges) {
    for (auto& [prefix, reply] : exchanges)
        ExpectLine(prefix).Send(reply);
    return *this;
}

ScriptedPeer& ScriptedPeer::ReplyEach(LineReply reply) {
    steps_.push_back([this, reply] {
        std::string line;
        while (NextLine(line, Deadline())) {
            const std::string answer = reply(line);
            if (!answer.empty() && !SendAll(answer))
                return false;
        }
        if (peerClosed_ || stop_)
            return true;
        Fail("no further line and no close from the client");
        return false;
    });
    return *this;
}

ScriptedPeer& ScriptedPeer::ReplyUntil(std::string last, LineReply reply) {
    steps_.push_back([this, last, reply] {
        std::string line;
        while (NextLine(line, Deadline())) {
            const std::string answer = reply(line);
            if (!answer.empty() && !SendAll(answer))
                return false;
            if (line == last)
                return true;
        }
        Fail("no line \"" + last + "\" arrived");
        return false;
    });
    return *this;
}

ScriptedPeer& ScriptedPeer::ReceiveBytes(size_t total) {
    steps_.push_back([this, total] {
        const auto deadline = Deadline();
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (received_.size() >= total)
                    return true;
            }
            if (!ReadMore(deadline)) {
                Fail("received fewer than " + std::to_string(total) + " bytes");
                return false;
            }
        }
    });
    return *this;
}

ScriptedPeer& ScriptedPeer::StartTls(std::string certificate, std::string key) {
    steps_.push_back([this, certificate, key] {
        if (Handshake(certificate, key))
            return true;
        Fail("the TLS handshake did not complete");
        return false;
    });
    return *this;
}

bool ScriptedPeer::Handshake(const std::string& certificate, const std::string& key) {
    tls_ = std::make_unique<Tls>();
    if (SSL_CTX_use_certificate_chain_file(tls_->context, certificate.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(tls_->context, key.c_str(), SSL_FILETYPE_PEM) != 1) {
        return false;
    }
    tls_->ssl = SSL_new(tls_->context);
    ::fcntl(connection_, F_SETFL, ::fcntl(connection_, F_GETFL) | O_NONBLOCK);
    SSL_set_fd(tls_->ssl, connection_);
    const auto deadline = Deadline();
    for (;;) {
        const int result = SSL_accept(tls_->ssl);
        if (result == 1)
            return true;
        if (!WaitForTls(result, deadline))
            return false;
    }
}

bool ScriptedPeer::WaitForTls(int result, Clock::time_point deadline) {
    const int error = SSL_get_error(tls_->ssl, result);
    const short events = error == SSL_ERROR_WANT_READ    ? POLLIN
                         : error == SSL_ERROR_WANT_WRITE ? POLLOUT
                                                         : 0;
    while (events != 0 && !stop_ && Clock::now() < deadline) {
        if (PollFor(connection_, events, deadline) > 0)
            return true;
    }
    return false;
}

ScriptedPeer& ScriptedPeer::Close() {
    steps_.push_back([this] {
        CloseConnection(false);
        return true;
    });
    return *this;
}

ScriptedPeer& ScriptedPeer::Reset() {
    steps_.push_back([this] {
        CloseConnection(true);
        return true;
    });
    return *this;
}

void ScriptedPeer::Start() {
    thread_ = std::thread([this] { Run(); });
}

bool ScriptedPeer::Wait(std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!scriptDone_ && Clock::now() < end)
        std::this_thread::sleep_for(2ms);
    return scriptDone_;
}

bool ScriptedPeer::Connected() const {
    std::lock_guard lock(mutex_);
    pollfd queued{listener_, POLLIN, 0};
    return accepted_ || ::poll(&queued, 1, 0) > 0;
}

std::string ScriptedPeer::Received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::vector<std::string> ScriptedPeer::ReceivedLines() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t lf; (lf = received_.find('\n', start)) != std::string::npos; start = lf + 1) {
        lines.push_back(received_.substr(start, lf + 1 - start));
    }
    if (start < received_.size())
        lines.push_back(received_.substr(start));
    return lines;
}

std::vector<std::string> ScriptedPeer::Reads() const {
    std::lock_guard lock(mutex_);
    return reads_;
}

std::vector<std::string> ScriptedPeer::Failures() const {
    std::lock_guard lock(mutex_);
    return failures_;
}

void ScriptedPeer::Run() {
    if (Accept()) {
        for (const Step& step : steps_) {
            if (stop_ || !step())
                break;
        }
    } else {
        Fail("no client connected");
    }
    scriptDone_ = true;
    Drain();
}

bool ScriptedPeer::Accept() {
    const auto deadline = Deadline();
    while (!stop_ && Clock::now() < deadline) {
        if (PollFor(listener_, POLLIN, deadline) > 0) {
            std::lock_guard lock(mutex_);
            connection_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            accepted_ = connection_ >= 0;
            return accepted_;
        }
    }
    return false;
}

// Bounded like every other wait: a client that stops reading cannot hold the peer for ever.
bool ScriptedPeer::SendAll(const std::string& bytes) {
    const auto deadline = Deadline();
    size_t sent = 0;
    while (sent < bytes.size()) {
        if (stop_ || connection_ < 0 || Clock::now() >= deadline) {
            Fail("could not send " + std::to_string(bytes.size() - sent) + " bytes");
            return false;
        }
        if (PollFor(connection_, POLLOUT, deadline) <= 0)
            continue;
        const int n = SendSome(bytes.data() + sent, bytes.size() - sent);
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            Fail("send failed: " + std::to_string(errno));
            return false;
        }
        if (n > 0)
            sent += static_cast<size_t>(n);
    }
    return true;
}

// Bytes sent, or -1 with errno EAGAIN when the connection cannot take them yet.
int ScriptedPeer::SendSome(const char* bytes, size_t length) {
    if (!tls_)
        return static_cast<int>(::send(connection_, bytes, length, MSG_NOSIGNAL | MSG_DONTWAIT));
    const int n = SSL_write(tls_->ssl, bytes, static_cast<int>(length));
    if (n > 0)
        return n;
    const int error = SSL_get_error(tls_->ssl, n);
    errno = error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE ? EAGAIN : EPIPE;
    return -1;
}

bool ScriptedPeer::ReadMore(Clock::time_point deadline) {
    while (!stop_ && !peerClosed_ && connection_ >= 0) {
        // Decrypted bytes waiting inside the TLS layer do not wake poll.
        const bool pending = tls_ && SSL_pending(tls_->ssl) > 0;
        if (pending || PollFor(connection_, POLLIN, deadline) > 0) {
            char buffer[65536];
            const int n = ReceiveSome(buffer, sizeof buffer);
            if (n == 0) {
                peerClosed_ = true;
                return false;
            }
            if (n > 0) {
                std::lock_guard lock(mutex_);
                received_.append(buffer, static_cast<size_t>(n));
                reads_.emplace_back(buffer, static_cast<size_t>(n));
                return true;
            }
        }
        if (Clock::now() >= deadline)
            return false;
    }
    return false;
}

// Bytes read; 0 when the client closed (or the read failed); -1 when a TLS record has come
// only in part.
int ScriptedPeer::ReceiveSome(char* buffer, size_t length) {
    if (!tls_)
        return static_cast<int>(std::max<ssize_t>(::recv(connection_, buffer, length, 0), 0));
    const int n = SSL_read(tls_->ssl, buffer, static_cast<int>(length));
    if (n > 0)
        return n;
    const int error = SSL_get_error(tls_->ssl, n);
    return error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE ? -1 : 0;
}

bool ScriptedPeer::NextLine(std::string& line, Clock::time_point deadline) {
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            const size_t lf = received_.find('\n', lineStart_);
            if (lf != std::string::npos) {
                line = received_.substr(lineStart_, lf + 1 - lineStart_);
                lineStart_ = lf + 1;
                return true;
            }
        }
        if (!ReadMore(deadline))
            return false;
    }
}

void ScriptedPeer::CloseConnection(bool reset) {
    if (connection_ < 0)
        return;
    if (reset) {
        CloseAbortively(connection_);
        connection_ = -1;
    } else {
        // Only the sending half: what the client still sends is recorded.
        ::shutdown(connection_, SHUT_WR);
    }
}

void ScriptedPeer::Drain() {
    while (!stop_ && !peerClosed_ && connection_ >= 0)
        ReadMore(Clock::now() + kSlice);
}

void ScriptedPeer::Fail(std::string what) {
    std::lock_guard lock(mutex_);
    failures_.push_back(std::move(what));
}

RefusingPort::RefusingPort() {
    socket_ = LoopbackSocket(port_);
}

RefusingPort::~RefusingPort() {
    ::close(socket_);
}

FullListener::FullListener() {
    listener_ = LoopbackSocket(port_);
    if (::listen(listener_, 0) != 0)
        throw std::runtime_error("listen failed");
    // Queue connections until one is left hanging: from then on the queue is full.
    for (int i = 0; i < 16 && !full_; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            break;
        fillers_.push_back(fd);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port_);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
            continue;
        if (errno != EINPROGRESS)
            break;
        pollfd entry{fd, POLLOUT, 0};
        full_ = ::poll(&entry, 1, 300) == 0;
    }
}

FullListener::~FullListener() {
    for (int fd : fillers_)
        CloseAbortively(fd);
    ::close(listener_);
}

}  // namespace testsupport
