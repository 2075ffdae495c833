// The SMTP client component: the protocol of _TCustomSmtpClient plus MIME
// attachments for transmitted messages.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "net/smtp/custom_smtp_client.h"

namespace mv {

class _TSmtpCli : public _TCustomSmtpClient {
  public:
    using _TCustomSmtpClient::_TCustomSmtpClient;

    const std::vector<std::string>& EmailFiles() const { return emailFiles_; }
    // Trims each entry and skips empty ones; raises "File not found '…'" for a
    // file that does not exist.
    void SetEmailFiles(const std::vector<std::string>& files);

    void Data() override;

  protected:
    bool FireGetData(int lineNum, std::string& line, int maxLen) override;
    void FireHeaderLine(std::string& line, int size) override;

  private:
    enum class Phase { kPreamble, kOwner, kFileHeader, kFileBody, kClosing, kDone };
    bool NextAttachmentLine(std::string& line, int maxLen);
    bool OpenAttachmentFile();
    bool EncodeNextLine(std::string& line);
    void CloseAttachmentFile();

    std::vector<std::string> emailFiles_;
    std::string boundary_;
    Phase phase_ = Phase::kDone;
    size_t partLine_ = 0;
    int ownerLine_ = 0;
    size_t fileIndex_ = 0;
    std::ifstream file_;
};

}  // namespace mv
