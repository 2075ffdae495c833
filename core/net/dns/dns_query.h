// Asks one DNS server, over UDP, for the MX records of a domain and hands the
// decoded answer to its owner through OnRequestDone.
//
// The component does not retry, does not fall back to another server, does
// not sort by preference and has no time-out of its own: its owner gives up
// when it wants to. Its socket serves several queries to one server in a
// row; an owner that aborts the socket (giving up on an answer) makes the
// next query open a fresh one. Datagrams that are not the answer to the
// current query (too short, not a response, malformed, from another address or port than
// the server's, or carrying another ID than the query's random one or another
// question) are ignored and the query keeps waiting.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/dns/dns_message.h"
#include "net/line/async_socket.h"
#include "platform/error/exception.h"

namespace mv {

// QueryMX refused the domain (a label over 63 characters, or a question that
// does not fit the request).
class EDnsQueryException : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "EDnsQueryException"; }
};

class _TDnsQuery {
  public:
    using TDnsRequestDoneEvent = std::function<void(_TDnsQuery* Sender, uint16_t Error)>;

    explicit _TDnsQuery(MessageLoop& loop = MessageLoop::Current());
    ~_TDnsQuery();
    _TDnsQuery(const _TDnsQuery&) = delete;
    _TDnsQuery& operator=(const _TDnsQuery&) = delete;

    const std::string& Port() const { return port_; }
    void SetPort(const std::string& value) { port_ = value; }
    const std::string& Addr() const { return addr_; }
    void SetAddr(const std::string& value) { addr_ = value; }

    // Sends the MX query for `domain` with a random ID and returns that ID at
    // once; the outcome arrives as OnRequestDone. Raises EDnsQueryException
    // for a refused domain and the socket's exceptions when the query cannot
    // be sent.
    uint16_t QueryMX(const std::string& domain);
    // The same for a question of another type (kDnsTypeA, kDnsTypePtr ...).
    uint16_t Query(const std::string& domain, uint16_t type);

    TDnsRequestDoneEvent OnRequestDone;

    // --- The last accepted response --------------------------------------
    const uint8_t* ResponseBuffer() const { return responseBuffer_.data(); }
    int32_t ResponseLength() const { return responseLength_; }
    uint16_t ResponseID() const { return r_.responseId; }
    int ResponseCode() const { return r_.responseCode; }
    int ResponseOpCode() const { return r_.responseOpCode; }
    bool ResponseAuthoritative() const { return r_.responseAuthoritative; }
    bool ResponseTruncated() const { return r_.responseTruncated; }
    bool ResponseRecursionAvailable() const { return r_.responseRecursionAvailable; }
    uint16_t QuestionCount() const { return r_.questionCount; }
    uint16_t AnswerCount() const { return r_.answerCount; }
    uint16_t AuthorityCount() const { return r_.authorityCount; }
    uint16_t AdditionalCount() const { return r_.additionalCount; }
    const std::string& QuestionName() const { return r_.questionName; }
    uint16_t QuestionType() const { return r_.questionType; }
    uint16_t QuestionClass() const { return r_.questionClass; }
    // Entries outside the stored ones read as empty or 0.
    std::string AnswerName(int index) const;
    uint16_t AnswerType(int index) const;
    uint16_t AnswerClass(int index) const;
    uint32_t AnswerTTL(int index) const;
    int32_t AnswerTag(int index) const;
    int MXRecordCount() const { return static_cast<int>(r_.mx.size()); }
    uint16_t MXPreference(int index) const;
    std::string MXExchange(int index) const;
    int AddressCount() const { return static_cast<int>(r_.addresses.size()); }
    // The IPv4 address of A entry `index` in network byte order (0 outside).
    uint32_t Address(int index) const;
    int NameCount() const { return static_cast<int>(r_.names.size()); }
    // The name of PTR entry `index` (empty outside).
    std::string PTRName(int index) const;

    _TAsyncSocket& Socket() { return *socket_; }

  private:
    void OnDataAvailable(uint16_t error);
    void OpenSocket();

    // Queries sent to one server over one socket before the next opens.
    static constexpr int kQueriesPerSocket = 16;

    std::unique_ptr<_TAsyncSocket> socket_;
    std::string socketAddr_;  // where the open socket sends
    std::string socketPort_;
    int socketQueries_ = 0;
    std::array<uint16_t, kQueriesPerSocket> socketIds_{};  // IDs sent over it
    std::string port_ = "53";
    std::string addr_;
    uint16_t queryId_ = 0;
    DnsRequestBuffer request_{};
    int32_t requestLength_ = 0;
    std::array<uint8_t, kDnsMessageSize> responseBuffer_{};
    int32_t responseLength_ = -1;
    DnsResponse r_;
};

}  // namespace mv
