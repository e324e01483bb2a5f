#pragma once
// TPowersock: the asynchronous TCP client component under the SMTP client, with its time-out
// timer TThreadTimer. Everything runs on the GUI thread; waits sleep until an event (the socket
// ready, a notification, the time-out, a cancel request from a user action) and process the
// pending messages, until one of them ends the wait.
#include <QObject>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Events.h"
#include "platform/Exception.h"
#include "platform/Stream.h"
#include "platform/StringList.h"
#include "platform/Winsock.h"
#include "sock/ReplyLines.h"

namespace platform {
class NotifyWindow;
}

class ESockError : public Exception {
    using Exception::Exception;
};

class EAbortError : public ESockError {
    using ESockError::ESockError;
};

// The TLS layer failed: the stream can no longer carry the session.
class ETlsError : public ESockError {
    using ESockError::ESockError;
};

// The server's certificate was not accepted; Reason says why.
class ECertificateError : public ETlsError {
  public:
    ECertificateError(const std::string& Text, platform::TlsVerifyFailure Reason)
        : ETlsError(Text), Reason(Reason) {}
    platform::TlsVerifyFailure Reason;
};

// A window timer whose ticks run on the GUI thread.
class TThreadTimer : public QObject {
  public:
    explicit TThreadTimer(QObject* AOwner);
    ~TThreadTimer() override;

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);
    uint32_t Interval() const { return FInterval; }
    void SetInterval(uint32_t value);
    const TNotifyEvent& OnTimer() const { return FOnTimer; }
    void SetOnTimer(TNotifyEvent value);

    void UpdateTimer();
    virtual void DoTimer();

    platform::NotifyWindow* WindowHandle = nullptr;

  private:
    bool FEnabled = true;
    uint32_t FInterval = 1000;
    TNotifyEvent FOnTimer;
};

class TPowersock : public QObject {
  public:
    explicit TPowersock(QObject* AOwner);
    ~TPowersock() override;

    virtual void Accept();
    virtual void Connect();
    virtual void Disconnect();
    virtual std::string Transaction(const std::string& Command);
    virtual void Abort();
    // Turns the open connection into a TLS one, checking the certificate against Host and the
    // trusted set (CAFile, or the system's). Waits under TimeOut and Cancel like ReadLn.
    void StartTls();

    void Cancel();
    void CheckConnection();
    void ResolveHost();
    void RequestCloseSocket();
    bool DataAvailable();

    void SendBuffer(const char* Buffer, uint16_t Length);
    void Write(const std::string& Text);
    void Writeln(const std::string& Text);
    std::string ReadLn();
    // Up to Length bytes into Buffer, as soon as any have come, under TimeOut and Cancel like
    // ReadLn; 0 once the peer has closed.
    int Receive(char* Buffer, int Length);
    // One whole reply: its lines, each with its line end, up to the first that no more lines of
    // the reply follow ("" last when the peer closed first). One time-out (TimeOut) bounds the
    // whole reply, and at most kReplyMaxLines lines of kReplyMaxBytes bytes in all are taken;
    // past them ESockError("Reply too long").
    std::vector<std::string> ReadReply();
    // Reads a reply into LastReplyLines, LastReply (its last line) and ReplyCode (its number).
    // Scrub, when given, edits every line before it is kept or reported.
    std::string TakeReply(const std::function<void(std::string&)>& Scrub = {});
    void SendStream(TStream& Stream);
    void ClearInput();

    // Published properties.
    std::string Host;
    int32_t Port = 0;
    int32_t TimeOut = 0;
    int32_t ReportLevel = 1;
    std::string CAFile;  // a PEM bundle of trusted certificates; empty: the system's (UTF-8 path)
    TNotifyEvent OnDisconnect;
    TNotifyEvent OnConnect;
    THandlerEvent OnInvalidHost;
    TOnHostResolved OnHostResolved;
    TOnStatus OnStatus;
    TNotifyEvent OnConnectionFailed;
    // Held here, published by the SMTP client.
    TNotifyEvent OnPacketSent;
    THandlerEvent OnConnectionRequired;
    TNotifyEvent OnAbortCleanup;

    // State read by descendants and the host program.
    bool IsConnected = false;
    int32_t LastError = 0;
    std::string LastStatus;
    std::string LastReply;
    std::vector<std::string> LastReplyLines;
    int16_t ReplyCode = 0;
    int32_t SentBytes = 0;
    int32_t TotalBytes = 0;
    TStringList WinsockInfo;

    bool Canceled = false;
    bool TimedOut = false;
    bool LookupDone = false;
    bool LastEventOk = true;
    bool ShuttingDown = false;
    uint16_t SocketHandle = 0xFFFF;
    platform::NotifyWindow* WindowHandle = nullptr;
    TThreadTimer* TimeOutTimer = nullptr;

    // Process-wide count of live sockets that started the socket library.
    static int WinsockUsers;

    void ReportStatus(uint8_t Level, const std::string& Text);
    void CheckSocketError(uint16_t Ignore, std::string& Text);
    void LookupErrorMessage(uint16_t Error, std::string& Text);
    void HandleSocketMessage(unsigned Msg, uintptr_t WParam, intptr_t LParam, intptr_t& Result);

    void TimerOn();
    void TimerOff();
    void TimerTriggered(TObject* Sender);

  protected:
    void InitializeWinsock();
    bool Destroying = false;

    platform::WSADATA WinsockData = {};
    // The running host lookup, cancelled when its wait ends without it.
    uintptr_t LookupHandle = 0;
    // The error carried by the close notification that ended the last connection.
    int32_t CloseError = 0;

  public:
    static constexpr size_t kReplyMaxLines = 100;
    static constexpr size_t kReplyMaxBytes = 65536;

  protected:
    static constexpr int kBufferSize = 65536;
    static constexpr int kHostEntrySize = 1024;
    char ReceiveBuffer[kBufferSize + 1] = {};
    char* HostEntryBuffer = nullptr;
    // The server's addresses, tried in turn by Connect.
    std::vector<platform::HostAddress> RemoteAddresses;

  private:
    void FillWinsockInfo();
    bool CreateSocket(int Protocol, int Family = platform::ws::AfInet);
    bool RegisterSocket();
    void ReleaseWinsock();
    void ReleaseResources();
    void CancelLookup();
    void ResolveRemoteAddress();
    bool ConnectTo(const platform::HostAddress& Address, bool FirstTry, bool LastTry);
    void KeepRemoteAddresses(const std::vector<platform::HostAddress>& Addresses);
    int SocketFamily = platform::ws::AfInet;
    void WaitUntil(const std::function<bool()>& Done);
    [[noreturn]] void ThrowTlsFailure();
    void ReplaceSocket();
    std::string ReadLine();
    std::string ReadLnNotConnected(bool WasConnected);
    void SendChunk(const char* Data, int64_t Length, bool& PeerStopped);
};

// The N-th field of S between delimiters D (counting from 1).
std::string ExtractField(const std::string& S, char D, int N);
