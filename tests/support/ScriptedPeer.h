#pragma once
// A scripted TCP peer on loopback for socket and SMTP tests. It listens on 127.0.0.1 (or ::1) on
// a free port, accepts one connection and plays its script on a thread of its own with blocking
// sockets and bounded waits, so the test's GUI thread can pump messages meanwhile. It records
// every byte it receives. After the script it keeps reading (and recording) until the client
// closes or the peer is destroyed. StartTls turns the connection into a TLS server side; over
// TLS each read returns one record, so Reads() shows what the client wrote in each write.
//
//   ScriptedPeer peer;
//   peer.Send("220 ready\r\n").Replies({{"HELO", "250 hi\r\n"}, {"QUIT", "221 bye\r\n"}}).Close();
//   peer.Start();
//   ... client connects to 127.0.0.1:peer.Port() ...
//   EXPECT_TRUE(peer.Wait(std::chrono::seconds(5)));
//   EXPECT_EQ(peer.Received(), "HELO me\r\nQUIT\r\n");
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

using namespace std::chrono_literals;

enum class Loopback { Ipv4, Ipv6 };

class ScriptedPeer {
  public:
    // Given a received line (with its line end), the bytes to send back ("" sends nothing).
    using LineReply = std::function<std::string(const std::string& line)>;

    ScriptedPeer() : ScriptedPeer(Loopback::Ipv4) {}
    // Throws when the loopback address cannot be bound (a machine without ::1).
    explicit ScriptedPeer(Loopback address);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    uint16_t Port() const { return port_; }
    // Longest wait of any one step (accept, a line, received bytes). Default 5 s.
    void SetStepTimeout(std::chrono::milliseconds limit) { stepTimeout_ = limit; }

    // Script steps, played in order once Start is called.
    ScriptedPeer& Send(std::string bytes);
    ScriptedPeer& SendPieces(std::vector<std::string> pieces, std::chrono::milliseconds delay);
    // The same bytes count times over, without holding them all at once.
    ScriptedPeer& SendRepeated(std::string bytes, size_t count);
    ScriptedPeer& Pause(std::chrono::milliseconds delay);
    // Waits for the next received line; one not starting with prefix is recorded as a failure.
    ScriptedPeer& ExpectLine(std::string prefix = "");
    // For each (prefix, reply): expect a line starting with prefix, then send reply.
    ScriptedPeer& Replies(std::vector<std::pair<std::string, std::string>> exchanges);
    // Answers every further line through reply until the client closes.
    ScriptedPeer& ReplyEach(LineReply reply);
    // Answers lines through reply until it has answered the line last; the script then goes on.
    ScriptedPeer& ReplyUntil(std::string last, LineReply reply);
    // Waits until this many bytes have been received in all.
    ScriptedPeer& ReceiveBytes(size_t total);
    // The server side of a TLS handshake with the given PEM certificate and key; from then on
    // the script sends and reads through TLS.
    ScriptedPeer& StartTls(std::string certificate, std::string key);
    ScriptedPeer& Close();  // orderly close: the client reads the end of the stream
    ScriptedPeer& Reset();  // abortive close: the client sees a reset

    void Start();
    // Waits for the script (not the reading after it) to finish; false when it did not in time.
    bool Wait(std::chrono::milliseconds limit);
    // Whether a client has connected, accepted or still waiting in the queue. Once the client
    // has ended, false means nothing was ever received and there is nothing to wait for.
    bool Connected() const;

    std::string Received() const;
    std::vector<std::string> ReceivedLines() const;
    // The bytes of each read, in order (after StartTls: one TLS record each).
    std::vector<std::string> Reads() const;
    // Expectations not met and waits that ran out, in order.
    std::vector<std::string> Failures() const;

  private:
    using Step = std::function<bool()>;  // false ends the script

    void Run();
    bool Accept();
    bool SendAll(const std::string& bytes);
    int SendSome(const char* bytes, size_t length);
    bool ReadMore(std::chrono::steady_clock::time_point deadline);
    int ReceiveSome(char* buffer, size_t length);
    bool Handshake(const std::string& certificate, const std::string& key);
    // Waits for the readiness a TLS call asked for after it returned result.
    bool WaitForTls(int result, std::chrono::steady_clock::time_point deadline);
    bool NextLine(std::string& line, std::chrono::steady_clock::time_point deadline);
    void CloseConnection(bool reset);
    void Drain();
    void Fail(std::string what);
    std::chrono::steady_clock::time_point Deadline() const;

    int listener_ = -1;
    int connection_ = -1;
    uint16_t port_ = 0;
    std::chrono::milliseconds stepTimeout_ = 5s;
    std::vector<Step> steps_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> scriptDone_{false};
    std::atomic<bool> peerClosed_{false};
    bool accepted_ = false;  // under mutex_, so Connected sees a connection taken from the queue
    // Used by the script's thread only.
    struct Tls;
    std::unique_ptr<Tls> tls_;

    mutable std::mutex mutex_;
    std::string received_;
    std::vector<std::string> reads_;
    size_t lineStart_ = 0;  // first byte not yet handed out as a line
    std::vector<std::string> failures_;
};

// A loopback port where nothing listens: a connect to it is refused. The port stays bound
// (without listening) so no one else takes it meanwhile.
class RefusingPort {
  public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    uint16_t Port() const { return port_; }

  private:
    int socket_ = -1;
    uint16_t port_ = 0;
};

// A loopback listener that never accepts and whose accept queue is full: Linux drops further
// connection requests, so a connect to it neither completes nor fails.
class FullListener {
  public:
    FullListener();
    ~FullListener();
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;
    uint16_t Port() const { return port_; }
    // False when the queue could not be shown to be full.
    bool Full() const { return full_; }

  private:
    int listener_ = -1;
    uint16_t port_ = 0;
    bool full_ = false;
    std::vector<int> fillers_;
};

}  // namespace testsupport
