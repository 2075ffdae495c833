#include "net/dns/dns_query.h"

#include <sys/random.h>

#include <cstring>
#include <random>

namespace mv {

namespace {

// An ID that nobody off the path can guess: each query's from the kernel's
// random source, never a counter (RFC 5452).
uint16_t RandomQueryId() {
    uint16_t id = 0;
    if (getrandom(&id, sizeof id, 0) == static_cast<ssize_t>(sizeof id)) return id;
    thread_local std::random_device device;
    return static_cast<uint16_t>(device());
}

}  // namespace

_TDnsQuery::_TDnsQuery(MessageLoop& loop) : socket_(std::make_unique<_TAsyncSocket>(loop)) {}

_TDnsQuery::~_TDnsQuery() = default;

uint16_t _TDnsQuery::QueryMX(const std::string& domain) {
    return Query(domain, kDnsTypeMx);
}

uint16_t _TDnsQuery::Query(const std::string& domain, uint16_t type) {
    queryId_ = RandomQueryId();
    const DnsEncodeStatus status = EncodeQuery(queryId_, domain, type, request_, requestLength_);
    if (status != DnsEncodeStatus::kOk)
        throw EDnsQueryException(DnsEncodeErrorText(status, domain));
    responseLength_ = -1;
    // A new query drops an earlier one still waiting for its answer.
    socket_->OnDataAvailable = nullptr;
    socket_->Abort();
    socket_->OnDataAvailable = [this](_TCustomAsyncSocket*, uint16_t error) {
        OnDataAvailable(error);
    };
    socket_->SetProto("udp");
    socket_->SetPort(port_);
    socket_->SetAddr(addr_);
    socket_->Connect();
    socket_->Send(request_.data(), requestLength_);
    return queryId_;
}

void _TDnsQuery::OnDataAvailable(uint16_t error) {
    std::array<uint8_t, kDnsMessageSize> datagram{};
    sockaddr_storage from{};
    int fromLen = sizeof from;
    const int n =
        socket_->ReceiveFrom(datagram.data(), static_cast<int>(datagram.size()), from, fromLen);
    if (error != 0) {
        if (OnRequestDone) OnRequestDone(this, error);
        return;
    }
    if (n < 12) return;  // short datagram or failed read: keep waiting
    // Whatever does not come from the server and port asked, or answers
    // another query or another question, is stale or forged.
    if (!SockAddr::FromSystem(from).SameEndpoint(socket_->SocketAddress())) return;
    DnsResponse decoded;
    if (DecodeDnsResponse(datagram.data(), static_cast<size_t>(n), decoded) !=
        DnsDecodeStatus::kDecoded)
        return;
    if (decoded.responseId != queryId_ ||
        !AnswersQuestionOf(request_.data(), static_cast<size_t>(requestLength_), datagram.data(),
                           static_cast<size_t>(n)))
        return;
    std::memcpy(responseBuffer_.data(), datagram.data(), static_cast<size_t>(n));
    responseLength_ = n;
    r_ = std::move(decoded);
    if (OnRequestDone) OnRequestDone(this, 0);
}

namespace {

template <class T>
const T* At(const std::vector<T>& table, int index) {
    return index >= 0 && static_cast<size_t>(index) < table.size()
               ? &table[static_cast<size_t>(index)]
               : nullptr;
}

}  // namespace

std::string _TDnsQuery::AnswerName(int index) const {
    const DnsAnswer* a = At(r_.answers, index);
    return a ? a->name : std::string();
}

uint16_t _TDnsQuery::AnswerType(int index) const {
    const DnsAnswer* a = At(r_.answers, index);
    return a ? a->type : 0;
}

uint16_t _TDnsQuery::AnswerClass(int index) const {
    const DnsAnswer* a = At(r_.answers, index);
    return a ? a->rclass : 0;
}

uint32_t _TDnsQuery::AnswerTTL(int index) const {
    const DnsAnswer* a = At(r_.answers, index);
    return a ? a->ttl : 0;
}

int32_t _TDnsQuery::AnswerTag(int index) const {
    const DnsAnswer* a = At(r_.answers, index);
    return a ? a->tag : 0;
}

uint16_t _TDnsQuery::MXPreference(int index) const {
    const DnsMxRecord* m = At(r_.mx, index);
    return m ? m->preference : 0;
}

std::string _TDnsQuery::MXExchange(int index) const {
    const DnsMxRecord* m = At(r_.mx, index);
    return m ? m->exchange : std::string();
}

std::string _TDnsQuery::PTRName(int index) const {
    const std::string* n = At(r_.names, index);
    return n ? *n : std::string();
}

uint32_t _TDnsQuery::Address(int index) const {
    const std::array<uint8_t, 4>* a = At(r_.addresses, index);
    if (a == nullptr) return 0;
    uint32_t value;
    std::memcpy(&value, a->data(), 4);
    return value;
}

}  // namespace mv
