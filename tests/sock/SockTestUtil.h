#pragma once
// Helpers shared by the socket tests.
#include <QCoreApplication>
#include <chrono>
#include <functional>
#include <string>

#include "platform/HostLookup.h"
#include "sock/Psock.h"
#include "tests/support/ScriptedPeer.h"

namespace socktest {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Runs GUI-thread events until done() holds or the limit passes; returns done().
inline bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 3s) {
    const auto end = Clock::now() + limit;
    while (!done() && Clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}

// Puts a test resolver in place for one test and the system's back afterwards.
class ResolverScope {
  public:
    explicit ResolverScope(platform::HostResolver resolver) {
        platform::SetHostResolver(std::move(resolver));
    }
    ~ResolverScope() { platform::SetHostResolver({}); }
};

// A socket aimed at a scripted peer that has been started.
inline void AimAt(TPowersock& sock, const testsupport::ScriptedPeer& peer, int timeOut = 2000) {
    sock.Host = "127.0.0.1";
    sock.Port = peer.Port();
    sock.TimeOut = timeOut;
}

// The message of the ESockError (or EAbortError) that f raises; "" when it raises none.
template <class F>
std::string SockErrorOf(F&& f) {
    try {
        f();
    } catch (const ESockError& e) {
        return e.Message();
    }
    return "";
}

}  // namespace socktest
