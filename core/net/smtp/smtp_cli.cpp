#include "net/smtp/smtp_cli.h"

#include <strings.h>

#include <filesystem>

#include "net/smtp/smtp_message_format.h"
#include "platform/text/text_trim.h"

namespace mv {

void _TSmtpCli::SetEmailFiles(const std::vector<std::string>& files) {
    std::vector<std::string> kept;
    for (const std::string& entry : files) {
        const std::string name(TrimBlanksAndControls(entry));
        if (name.empty()) continue;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(name, ec))
            throw SmtpException("File not found '" + name + "'");
        kept.push_back(name);
    }
    emailFiles_ = std::move(kept);
}

void _TSmtpCli::Data() {
    CloseAttachmentFile();
    boundary_ = "= Multipart Boundary " + FormatBoundaryStamp(LocalNow());
    phase_ = emailFiles_.empty() ? Phase::kDone : Phase::kPreamble;
    partLine_ = 0;
    ownerLine_ = 0;
    fileIndex_ = 0;
    _TCustomSmtpClient::Data();
}

void _TSmtpCli::FireHeaderLine(std::string& line, int size) {
    if (!emailFiles_.empty() && line.size() >= 13 &&
        strncasecmp(line.c_str(), "CONTENT-TYPE:", 13) == 0)
        line = "Content-Type: multipart/mixed;\r\n\tboundary=\"" + boundary_ + "\"";
    _TCustomSmtpClient::FireHeaderLine(line, size);
}

bool _TSmtpCli::FireGetData(int lineNum, std::string& line, int maxLen) {
    if (emailFiles_.empty()) return _TCustomSmtpClient::FireGetData(lineNum, line, maxLen);
    return NextAttachmentLine(line, maxLen);
}

bool _TSmtpCli::NextAttachmentLine(std::string& line, int maxLen) {
    const std::string contentType =
        "Content-Type: " + std::string(ContentType() == smtpHTML ? "text/html" : "text/plain") +
        "; charset=\"" + CharSet() + "\"";
    for (;;) {
        switch (phase_) {
            case Phase::kPreamble: {
                const std::string lines[] = {
                    "This is a multipart MIME message.", "", "--" + boundary_, contentType,
                    "Content-Transfer-Encoding: 7bit",   ""};
                if (partLine_ < std::size(lines)) {
                    line = lines[partLine_++];
                    return true;
                }
                phase_ = Phase::kOwner;
                break;
            }
            case Phase::kOwner:
                if (_TCustomSmtpClient::FireGetData(++ownerLine_, line, maxLen)) return true;
                line.clear();
                phase_ = Phase::kFileHeader;
                partLine_ = 0;
                break;
            case Phase::kFileHeader: {
                if (fileIndex_ >= emailFiles_.size()) {
                    phase_ = Phase::kClosing;
                    partLine_ = 0;
                    break;
                }
                const std::string name =
                    std::filesystem::path(emailFiles_[fileIndex_]).filename().string();
                const std::string lines[] = {"--" + boundary_,
                                             "Content-Type: application/octet-stream;",
                                             "\tname=\"" + name + "\"",
                                             "Content-Transfer-Encoding: base64",
                                             "Content-Disposition: attachment;",
                                             "\tfilename=\"" + name + "\"",
                                             ""};
                if (partLine_ < std::size(lines)) {
                    line = lines[partLine_++];
                    return true;
                }
                phase_ = Phase::kFileBody;
                OpenAttachmentFile();
                break;
            }
            case Phase::kFileBody:
                if (EncodeNextLine(line)) return true;
                CloseAttachmentFile();
                ++fileIndex_;
                phase_ = Phase::kFileHeader;
                partLine_ = 0;
                break;
            case Phase::kClosing: {
                const std::string lines[] = {"", "--" + boundary_ + "--"};
                if (partLine_ < std::size(lines)) {
                    line = lines[partLine_++];
                    return true;
                }
                phase_ = Phase::kDone;
                break;
            }
            case Phase::kDone:
                return false;
        }
    }
}

bool _TSmtpCli::OpenAttachmentFile() {
    file_.open(emailFiles_[fileIndex_], std::ios::binary);  // for reading only
    return file_.is_open();
}

bool _TSmtpCli::EncodeNextLine(std::string& line) {
    if (!file_.is_open()) return false;
    char chunk[kBase64LineBytes];
    file_.read(chunk, sizeof chunk);
    const auto n = static_cast<size_t>(file_.gcount());
    if (n == 0) return false;
    line = Base64Encode(std::string_view(chunk, n));
    return true;
}

void _TSmtpCli::CloseAttachmentFile() {
    if (file_.is_open()) file_.close();
    file_.clear();
}

}  // namespace mv
