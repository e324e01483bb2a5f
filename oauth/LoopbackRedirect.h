#pragma once
// The address the provider sends the browser back to once the user has signed in: a listener on
// 127.0.0.1, on a port the system picks, for the length of one sign-in. The browser's request
// waits for the page that ends the sign-in, so the user reads there how it went.
#include <chrono>
#include <functional>
#include <string>

#include "platform/Exception.h"

class TLoopbackRedirect {
  public:
    // Raises Exception when nothing can listen.
    TLoopbackRedirect();
    // A request still waiting is answered with the failure page.
    ~TLoopbackRedirect();
    TLoopbackRedirect(const TLoopbackRedirect&) = delete;
    TLoopbackRedirect& operator=(const TLoopbackRedirect&) = delete;

    // "http://127.0.0.1:PORT/"
    std::string RedirectUri() const;
    // Waits up to TimeOut (or until Canceled says so) for the browser's request to the redirect
    // address and gives its authorization code. A request with another state, an error from the
    // provider or no code raises Exception (Shift_JIS), and is answered with the failure page at
    // once. Requests for other paths get 404 and are not the one.
    std::string AwaitCode(const std::string& State, std::chrono::milliseconds TimeOut,
                          const std::function<bool()>& Canceled = {});
    // Answers the waiting request with the page of success, or of failure with Reason
    // (Shift_JIS).
    void Finish(bool Succeeded, const std::string& Reason = "");

  private:
    struct TConnection;
    void Answer(int socket, int status, const std::string& page);
    void StopListening();

    int listener_ = -1;
    std::string redirectUri_;  // kept: the token request names it after the listener closed
    int waiting_ = -1;         // the connection of the request that brought the code
};
