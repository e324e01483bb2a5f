#pragma once
// The name this machine gives itself to an SMTP server in HELO and EHLO. The source behind it
// can be replaced, so tests never ask the resolver about the machine they run on.
#include <functional>
#include <string>

namespace platform {

// The fully qualified host name when the system knows one, else "localhost": servers refuse a
// HELO without a name, and many refuse a bare single-label one.
std::string HeloName();

// Where HeloName takes the machine's name from; an empty source puts the system's back (the host
// name, or the canonical name the system's lookup gives it when it has no dot).
using HostNameSource = std::function<std::string()>;
void SetHostNameSource(HostNameSource source);

}  // namespace platform
