// The program's single network endpoint: a non-blocking TCP or UDP socket
// whose every outcome (connected, data arrived, data sent, peer closed, name
// resolved) is delivered as an event from the thread's message loop.
//
// The class is the base of a chain of layers (proxy handshake, line mode,
// waiting) that override its virtual operations; `_TAsyncSocket` at the end of
// the chain is what the clients use.
//
// Lifetime: a handler may destroy the socket from inside any of its events.
// Every place that raises an event checks a destruction guard right after the
// call and returns without touching the object when it is gone. Components
// that own sockets and end inside their own callbacks retire themselves
// through MessageLoop::DeleteLater instead of deleting at once.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/socket/sock_addr.h"
#include "net/socket/socket_buffer.h"
#include "net/socket/socket_exception.h"
#include "platform/loop/destruction_guard.h"
#include "platform/loop/message_loop.h"
#include "platform/loop/socket_notifier.h"
#include "platform/resolver/host_addresses.h"

namespace mv {

enum TSocketState : int {
    wsInvalidState,
    wsOpened,
    wsBound,
    wsConnecting,
    wsConnected,
    wsAccepting,
    wsListening,
    wsClosed
};
enum TSocketSendFlags : int { wsSendNormal, wsSendUrgent };
enum TSocketLingerOnOff : int { wsLingerOff, wsLingerOn, wsLingerNoSet };

using TSocket = int;
inline constexpr TSocket INVALID_SOCKET = -1;

// What the notification endpoint delivers to a socket.
struct TSocketMessage {
    enum Kind { kSocketEvent, kLookupDone, kReverseLookupDone, kRescan, kSocksLookupDone };
    Kind kind = kSocketEvent;
    TSocket handle = INVALID_SOCKET;  // kSocketEvent: the descriptor it is about
    uint64_t watch = 0;               // kSocketEvent: the connection (see ConnectionId)
    unsigned event = 0;               // kSocketEvent: one SocketEvent bit
    int error = 0;
    uint64_t lookup = 0;               // lookups: the handle of the lookup that finished
    std::vector<std::string> results;  // a reverse lookup: the name
    HostAddresses addresses;           // a forward lookup
};

class _TCustomAsyncSocket {
  public:
    using TErrorEvent = std::function<void(_TCustomAsyncSocket* Sender, uint16_t Error)>;
    using TChangeStateEvent = std::function<void(_TCustomAsyncSocket* Sender, TSocketState OldState,
                                                 TSocketState NewState)>;
    using TNotifyEvent = std::function<void(_TCustomAsyncSocket* Sender)>;
    using TBgExceptionEvent =
        std::function<void(_TCustomAsyncSocket* Sender, const std::exception& E, bool& CanClose)>;

    explicit _TCustomAsyncSocket(MessageLoop& loop = MessageLoop::Current());
    virtual ~_TCustomAsyncSocket();
    _TCustomAsyncSocket(const _TCustomAsyncSocket&) = delete;
    _TCustomAsyncSocket& operator=(const _TCustomAsyncSocket&) = delete;

    // --- Properties -------------------------------------------------------
    const std::string& Addr() const { return addrText_; }
    void SetAddr(const std::string& value);
    const std::string& port() const { return portText_; }
    virtual void SetPort(const std::string& value);
    const std::string& proto() const { return protoText_; }
    virtual void SetProto(const std::string& value);
    const std::string& LocalPort() const { return localPortText_; }
    void SetLocalPort(const std::string& value);
    // The local addresses a connection leaves from: up to two separated by
    // blanks, at most one IPv4 address (a dotted quad) and one IPv6 address.
    // A connection of a family without one leaves from the system's choice,
    // as every connection does with the default, empty. Kept from one
    // connection to the next; anything else raises ESocketException.
    const std::string& LocalAddr() const { return localAddrText_; }
    void SetLocalAddr(const std::string& value);
    // The last forward lookup: the first IPv4 address, else the first IPv6
    // address; every address, IPv4 first (empty after a numeric shortcut);
    // and the addresses by family (also after the shortcut).
    const std::string& DnsResult() const { return dnsResult_; }
    const std::vector<std::string>& DnsResultList() const { return dnsResultList_; }
    const HostAddresses& DnsAddresses() const { return dnsAddresses_; }
    // Which addresses DnsLookup asks for: the IPv4 ones alone (the default);
    // the IPv6 ones too when a name has no IPv4 address; both at once when
    // IPv6 comes first. A numeric name is its own answer whatever the family.
    HostFamilies Families() const { return families_; }
    void SetFamilies(HostFamilies value) { families_ = value; }
    TSocketState state() const { return state_; }
    int ReadCount() const { return readCount_; }
    int Rcvdcount() { return GetRcvdCount(); }
    int LastError() const { return lastError_; }
    bool MultiThreaded() const { return multiThreaded_; }
    void SetMultiThreaded(bool value) { multiThreaded_ = value; }
    int FlushTimeout() const { return flushTimeout_; }
    void SetFlushTimeout(int value) { flushTimeout_ = value; }
    TSocketSendFlags SendFlags();
    void SetSendFlags(TSocketSendFlags value);
    TSocketLingerOnOff LingerOnOff() const { return lingerOnOff_; }
    void SetLingerOnOff(TSocketLingerOnOff value) { lingerOnOff_ = value; }
    int LingerTimeout() const { return lingerTimeout_; }
    void SetLingerTimeout(int value) { lingerTimeout_ = value; }
    // Milliseconds a TCP connect may take before it fails with 10060 (default
    // 21000, Windows' limit; 0: the system's own, about two minutes).
    uint32_t ConnectTimeOutMs() const { return notifier_.ConnectLimit(); }
    void SetConnectTimeOutMs(uint32_t ms) { notifier_.SetConnectLimit(ms); }
    TSocket HSocket() const { return hSocket_; }
    // The address that Connect resolved (where a datagram socket sends to)
    // or that Listen bound, of either family.
    const SockAddr& SocketAddress() const { return sin_; }
    MessageLoop& Loop() const { return loop_; }

    // --- Events -----------------------------------------------------------
    TErrorEvent OnSessionConnected;
    TErrorEvent OnDataAvailable;
    TErrorEvent OnDataSent;  // for a Send made while a handler is assigned
    TErrorEvent OnSessionClosed;
    TErrorEvent OnSessionAvailable;
    TChangeStateEvent OnChangeState;
    TErrorEvent OnDnsLookupDone;
    TNotifyEvent OnError;
    TBgExceptionEvent OnBgException;

    // --- Operations -------------------------------------------------------
    virtual void Connect();
    virtual void Close();
    virtual void Abort();
    virtual void Flush();
    virtual void DrainUntilClosed();
    virtual void Listen();
    virtual TSocket Accept();
    virtual int Receive(void* buffer, int bufferSize);
    virtual std::string ReceiveStr();
    // `from` receives the sender's address (fromLen: its size in, the size
    // filled in out); an IPv6 sender needs room for a sockaddr_in6.
    virtual int ReceiveFrom(void* buffer, int bufferSize, sockaddr* from, int& fromLen);
    int ReceiveFrom(void* buffer, int bufferSize, sockaddr_in& from, int& fromLen) {
        return ReceiveFrom(buffer, bufferSize, reinterpret_cast<sockaddr*>(&from), fromLen);
    }
    int ReceiveFrom(void* buffer, int bufferSize, sockaddr_storage& from, int& fromLen) {
        return ReceiveFrom(buffer, bufferSize, reinterpret_cast<sockaddr*>(&from), fromLen);
    }
    virtual int Send(const void* data, int len);
    virtual int SendTo(const sockaddr* dest, int destLen, const void* data, int len);
    int SendTo(const sockaddr_in& dest, int destLen, const void* data, int len) {
        return SendTo(reinterpret_cast<const sockaddr*>(&dest), destLen, data, len);
    }
    virtual int SendStr(const std::string& text);
    virtual void DnsLookup(const std::string& hostName);
    virtual void ReverseDnsLookup(const std::string& hostAddr);
    virtual void CancelDnsLookup();
    virtual std::string GetPeerAddr();
    virtual int GetPeerName(sockaddr_storage& name, int& nameLen);
    virtual std::string GetXPort();
    virtual int GetSockName(sockaddr_storage& name, int& nameLen);
    virtual void Dup(TSocket newHSocket);
    virtual void Shutdown(int how);
    virtual void Pause();
    virtual void Resume();
    virtual int GetRcvdCount();

  protected:
    virtual void HandleMessage(TSocketMessage& msg);
    virtual void ResetSettings();
    virtual void CloseConnection(bool shutdownFirst, int error);
    virtual void BindLocal();
    virtual int SendRaw(const void* data, int len);
    virtual void RaiseErrorFmt(const char* format, const std::string& text, int number);
    virtual void RaiseError(const std::string& message);
    virtual void HandleBackgroundError(const std::exception& e);
    // True when a handler was called.
    virtual bool FireDataAvailable(uint16_t error);
    virtual void FireSessionAvailable(uint16_t error);
    virtual void FireSessionConnected(uint16_t error);
    virtual void FireSessionClosed(uint16_t error);
    virtual void FireDataSent(uint16_t error);
    virtual void FireChangeState(TSocketState oldState, TSocketState newState);
    virtual void FireDnsLookupDone(uint16_t error);
    virtual void FireError();
    virtual int RecvRaw(void* buffer, int bufferSize);
    virtual int RecvFromRaw(void* buffer, int bufferSize, sockaddr* from, int& fromLen);

    // Reports the failure of a system call: builds "Error N in function F"
    // with the error's text, closes the handle for 10054 and 10057, and raises.
    void SocketError(const std::string& function);
    // Sets the error that the next SocketError reports.
    void SetPlatformError(int wsaError) { platformError_ = wsaError; }
    void ChangeState(TSocketState newState);
    void ApplyLinger();
    void TryToSend();
    void DiscardSendQueue();
    void ReadLoop(int error);
    bool Destroying() const { return destroying_; }
    bool AllSent() const { return allSent_; }
    void Select(unsigned events, bool connecting = false);
    SocketNotifier& Notifier() { return notifier_; }
    // The current connection: the identity and generation of the watch on its
    // descriptor (0 when there is none). Unlike the descriptor number it is
    // never the same for a connection opened after another one was closed, so
    // code that calls out to handlers compares it to find out whether the
    // connection it worked on is still the socket's.
    uint64_t ConnectionId() const { return notifier_.Watch(); }
    // Delivers a message with the background-error handling of notifications.
    void Dispatch(TSocketMessage& msg);
    // The same for the end of a lookup (`lookup`: its handle).
    void DispatchLookup(TSocketMessage::Kind kind, uint64_t lookup, int error,
                        HostAddresses addresses, std::vector<std::string> results = {});
    // Posts a message to this socket, dropped if the socket is gone by then.
    void PostMessage(TSocketMessage msg);
    void PostDataSent();

    // Resolution of the texts into the socket address (Connect, Listen).
    void ResolveProto();
    void ResolvePort();
    void ResolveLocalPort();
    void ResolveHost();
    void ResolveAll();
    int OpenHandle(const char* function);
    // The address of a host text (dotted quad, IPv6 address, or name by a
    // blocking lookup, IPv4 first) and the number of a port text (number or
    // service name), as the resolution above does them; ESocketException when
    // the text cannot be converted. The address's port is 0.
    static SockAddr HostAddress(const std::string& text);
    static int ServicePortNumber(const std::string& text, const std::string& proto);

    SockAddr sin_;
    int protoNumber_ = 6;
    int socketType_ = 1;  // 1 stream, 2 datagram
    bool addrAssigned_ = false, addrResolved_ = false;
    bool portAssigned_ = false, portResolved_ = false;
    bool protoAssigned_ = false, protoResolved_ = false;
    bool localPortResolved_ = false;
    int portNumber_ = 0;
    int localPortNumber_ = 0;
    bool closeNotified_ = false;
    GuardList guards_;

  private:
    void OnNotification(int fd, unsigned event, int error);
    void HandleSocketEvent(TSocketMessage& msg);
    void HandleLookupDone(TSocketMessage& msg);
    void StartLookup(const std::string& name, bool reverse);
    void StartForwardLookup(const std::string& name, bool withIPv6);
    int QueueBytes(const void* data, int len);
    SocketKind Kind() const;

    MessageLoop& loop_;
    SocketNotifier notifier_;
    std::string addrText_;
    std::string portText_;
    std::string protoText_ = "tcp";
    std::string localPortText_ = "0";
    std::string localAddrText_;
    std::optional<SockAddr> localAddr4_;  // where IPv4 connections leave from
    std::optional<SockAddr> localAddr6_;  // and IPv6 connections
    std::string dnsResult_;
    std::vector<std::string> dnsResultList_;
    HostAddresses dnsAddresses_;
    HostFamilies families_ = HostFamilies::kIPv4Only;
    std::string lookupName_;  // the forward lookup under way
    bool lookupWithIPv6_ = false;
    TSocket hSocket_ = INVALID_SOCKET;
    TSocket acceptedHandle_ = INVALID_SOCKET;
    TSocketState state_ = wsClosed;
    std::deque<_TBuffer> sendQueue_;
    int32_t chunkSize_ = _TBuffer::kDefaultSize;
    int sendFlags_ = 0;
    int lastError_ = 0;
    int platformError_ = 0;
    int raiseCode_ = 0;  // the error number the next raised exception carries
    uint64_t pendingLookup_ = 0;
    TSocketLingerOnOff lingerOnOff_ = wsLingerOn;
    int lingerTimeout_ = 0;
    bool allSent_ = true;
    int readCount_ = 0;
    bool paused_ = false;
    int flushTimeout_ = 60;
    bool multiThreaded_ = false;
    bool destroying_ = false;
    bool streamDrained_ = false;  // the last stream receive emptied the queue
    WeakToken token_;
};

}  // namespace mv
