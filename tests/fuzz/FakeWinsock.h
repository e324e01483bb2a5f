#pragma once
// A socket library without sockets, linked into fuzz targets in place of the real one: a
// connect succeeds (or is refused) at once, and what the peer says is a script of arrivals
// that recv hands out piece by piece, with the notifications the real library would post.
// TLS starts and completes at once and leaves the bytes as they are, so that what follows it
// (EHLO again, AUTH) is read from the script too.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace fakesock {

struct Arrival {
    enum Kind { Data, WouldBlock, Reset } kind = Data;
    std::string bytes;
};

// The peer of the next connection: its arrivals in order, then the end of the stream.
// refuse makes the connect fail as a refused one.
void SetPeer(std::vector<Arrival> arrivals, bool refuse = false);

// Reads a peer script from fuzzer bytes: each piece starts with a byte b; 0xFF is a reset,
// 0xFE one would-block answer, 0xFD n m repeats the next m % 64 + 1 bytes 1 + 4 n times (up to
// 256 KiB in all, as one arrival, so a short input can reach every bound of a reply), anything
// else is followed by b % 64 + 1 bytes of data.
std::vector<Arrival> ParseArrivals(std::string_view data);

// Everything the program sent since SetPeer.
const std::string& Sent();
// Connects attempted since SetPeer.
int Connects();
// Bytes sent before TLS was started on the connection (all of them when it never was).
size_t SentBeforeTls();
// Sockets created and not yet closed.
int OpenSockets();

}  // namespace fakesock
