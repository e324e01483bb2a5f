// TPowersock: the TLS handshake over the open connection.
#include "sock/Psock.h"

void TPowersock::StartTls() {
    ReportStatus(8, "Starting TLS");
    if (platform::StartTls(SocketHandle, {Host, CAFile}) == platform::SOCKET_ERROR)
        ThrowTlsFailure();
    TimerOn();
    int result = platform::SOCKET_ERROR;
    while (!Canceled) {
        result = platform::TlsHandshake(SocketHandle);
        if (result == 0 || platform::WSAGetLastError() != platform::WSAEWOULDBLOCK)
            break;
        // The peer's next flight (or room for ours), the time-out or a user action ends the wait.
        platform::WaitForSocket(SocketHandle, platform::SocketWait::Readable);
    }
    TimerOff();
    if (Canceled) {
        Canceled = false;
        throw ETlsError(TimedOut ? "TLS Handshake Timed out" : "TLS Handshake Canceled");
    }
    if (result != 0)
        ThrowTlsFailure();
    ReportStatus(4, "TLS established");
}

void TPowersock::ThrowTlsFailure() {
    LastError = platform::WSAGetLastError();
    const platform::TlsFailureInfo failure = platform::TlsFailure(SocketHandle);
    const std::string text = failure.text.empty() ? "TLS handshake failed" : failure.text;
    if (failure.verify != platform::TlsVerifyFailure::None)
        throw ECertificateError(text, failure.verify);
    throw ETlsError(text);
}
