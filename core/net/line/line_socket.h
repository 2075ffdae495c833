// Line mode: the layer of the socket that, when LineMode is on, collects the
// incoming bytes and raises OnDataAvailable once per line, the line end
// included; the handler reads the line with Receive (or ReceiveStr), which in
// line mode hands out the pending line only. With LineMode off (the default)
// or an empty LineEnd every call passes through unchanged.
//
// Memory is bounded: at most kMaxHeld bytes are held. A line that reaches
// that size without its end raises OnLineTooLong and ends the connection with
// 10040 ("Message too long"); a handler that leaves lines unread stops the
// reading instead, so the peer is held back by the network.
#pragma once

#include <cstddef>
#include <string>

#include "net/socks/socks_socket.h"

namespace mv {

class _TCustomLineSocket : public _TCustomSocksSocket {
  public:
    static constexpr size_t kMaxHeld = size_t{1} << 20;

    explicit _TCustomLineSocket(MessageLoop& loop = MessageLoop::Current());

    bool LineMode() const { return lineMode_; }
    virtual void SetLineMode(bool value);
    const std::string& LineEnd() const { return lineEnd_; }
    void SetLineEnd(const std::string& value);

    TNotifyEvent OnLineTooLong;

    // In line mode: the bytes of the pending line; otherwise the held bytes,
    // then those waiting below.
    int GetRcvdCount() override;

  protected:
    void HandleMessage(TSocketMessage& msg) override;
    void ResetSettings() override;
    bool FireDataAvailable(uint16_t error) override;
    void FireSessionClosed(uint16_t error) override;
    int RecvRaw(void* buffer, int bufferSize) override;

  private:
    bool Splitting() const { return lineMode_ && !lineEnd_.empty(); }
    size_t Held() const { return buffer_.size() - head_; }
    const char* HeldData() const { return buffer_.data() + head_; }
    // Reads what waits below into the buffer, within the bound.
    void Fill();
    // Raises the handler for each complete line until none is left, the mode
    // changes or a pass reads nothing.
    void DeliverLines();
    // Line mode off: hands the held bytes to the handler until read.
    void DrainHeld();
    // Raises the handler for the pending line until it is read; false when
    // the handler read nothing.
    bool DeliverPending();
    // At the close: the held lines, then the unterminated rest as a last
    // line; false when a handler destroyed the socket.
    bool DeliverRest();
    void LineTooLong();
    void PostRescan();
    void Consume(size_t n);
    void FreeBuffer();

    bool lineMode_ = false;
    std::string lineEnd_ = "\r\n";
    std::string buffer_;  // held bytes start at head_
    size_t head_ = 0;
    size_t pendingLine_ = 0;   // bytes of the current line not yet read, end included
    size_t searchFrom_ = 0;    // where the search for the next line end resumes
    bool delivering_ = false;  // a handler is running under DeliverLines
    bool rescanPosted_ = false;
};

}  // namespace mv
