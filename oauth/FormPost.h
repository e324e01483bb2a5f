#pragma once
// One HTTP/1.1 POST of a form over the program's own sockets, for the token endpoint: TLS with
// the certificate checked for https, the answer read by its length, in chunks or up to the
// close, never redirected.
#include <QUrl>
#include <chrono>
#include <cstddef>
#include <string>

#include "platform/Exception.h"

struct THttpAnswer {
    int Status = 0;
    std::string Body;
};

struct TFormPostLimits {
    std::chrono::milliseconds TimeOut;  // the whole exchange, from connecting to the last byte
    size_t LongestAnswer;               // status line, headers and body together
    std::string CAFile;                 // PEM bundle to trust; empty: the system's
};

// The exchange failed before a whole answer came; the text is a short ASCII reason.
class EFormPostError : public Exception {
    using Exception::Exception;
};

// POSTs Body (already form-encoded) to Url, http or https, port 443 or 80 unless it names one.
// The caller wipes the answer's body; the request's copies are wiped here.
THttpAnswer PostForm(const QUrl& Url, const std::string& Body, const TFormPostLimits& Limits);
