#include "storage/dbf/dbf_memo.h"

#include <algorithm>

#include "storage/dbf/dbf_format.h"
#include "storage/dbf/table_error.h"

namespace mv::dbf {

namespace {

constexpr char kEndOfText = '\x1A';
constexpr std::size_t kScanChunk = 4096;

}  // namespace

DbfMemo::DbfMemo(std::unique_ptr<TableStream> stream, std::string name)
    : stream_(std::move(stream)), name_(std::move(name)) {}

void DbfMemo::Raise(int number, std::uint32_t block) const {
    RaiseTableError(number, "Memo block " + std::to_string(block) + " of " + name_ + " [GetMemo]");
}

std::string DbfMemo::ReadRaw(std::uint32_t block) {
    if (block == 0) {
        return {};
    }
    const std::uint64_t size = stream_->Size();
    const std::uint64_t offset = std::uint64_t{block} * kMemoBlockSize;
    if (offset + 1 >= size) {
        Raise(kInvalidMemoAddress, block);
    }

    unsigned char head[8] = {};
    const std::int64_t got = stream_->ReadAt(offset, head, sizeof head);
    if (got < 0) {
        Raise(stream_->LastErrorNumber(), block);
    }
    if (got == 8 && head[0] == 0xFF && head[1] == 0xFF && head[2] == 0x08 && head[3] == 0x00) {
        const std::uint32_t length = GetU32(head + 4);
        const std::uint64_t textLength = length < 8 ? 0 : length - 8;
        if (offset + 8 + textLength > size) {
            Raise(kInvalidMemoAddress, block);
        }
        std::string text(static_cast<std::size_t>(std::min(textLength, kMaxMemoLength)), '\0');
        if (stream_->ReadAt(offset + 8, text.data(), text.size()) !=
            static_cast<std::int64_t>(text.size())) {
            Raise(kInvalidMemoAddress, block);
        }
        return text;
    }

    std::string text;
    std::uint64_t at = offset;
    char chunk[kScanChunk];
    while (text.size() < kMaxMemoLength) {
        const std::size_t want = std::min<std::size_t>(sizeof chunk, kMaxMemoLength - text.size());
        const std::int64_t n = stream_->ReadAt(at, chunk, want);
        if (n < 0) {
            Raise(stream_->LastErrorNumber(), block);
        }
        const std::string_view part(chunk, static_cast<std::size_t>(n));
        const std::size_t end = part.find(kEndOfText);
        text.append(part.substr(0, end));
        if (end != std::string_view::npos || n < static_cast<std::int64_t>(want)) {
            break;
        }
        at += static_cast<std::uint64_t>(n);
    }
    return text;
}

std::string DbfMemo::ReadText(std::uint32_t block, const CodePage& page) {
    const std::string raw = ReadRaw(block);
    if (raw.find('\0') != std::string::npos) {
        return CodePage::Ansi().ToUtf8(raw);
    }
    return page.ToUtf8(raw);
}

std::string DbfMemo::NewFileHeader() {
    std::string header(kMemoBlockSize, '\0');
    PutU32(header, 0, 1);
    PutU16(header, 20, static_cast<std::uint16_t>(kMemoBlockSize));
    return header;
}

std::uint32_t DbfMemo::NextFreeBlock() {
    // New text goes after the last block in the file: the header's pointer
    // of a damaged file could point into other memos or far past the end.
    const std::uint64_t size = stream_->Size();
    const std::uint64_t next =
        std::max<std::uint64_t>(1, (size + kMemoBlockSize - 1) / kMemoBlockSize);
    if (next > 0xFFFFFFFFu) {
        Raise(kMemoWrite, 0);
    }
    return static_cast<std::uint32_t>(next);
}

std::uint32_t DbfMemo::WriteText(std::string_view utf8, const CodePage& page) {
    if (utf8.empty()) {
        return 0;
    }
    // Text with a zero byte is stored without conversion, as it is read back.
    const bool binary = utf8.find('\0') != std::string_view::npos;
    const std::string bytes = (binary ? CodePage::Ansi() : page).FromUtf8(utf8);
    const std::uint32_t block = NextFreeBlock();
    const std::uint64_t stored = 8 + std::uint64_t{bytes.size()};
    if (stored > 0xFFFFFFFFu) {
        Raise(kMemoWrite, block);
    }
    const std::uint64_t blocks = (stored + kMemoBlockSize - 1) / kMemoBlockSize;
    if (block + blocks > 0xFFFFFFFFu) {
        Raise(kMemoWrite, block);
    }

    std::string data(static_cast<std::size_t>(blocks * kMemoBlockSize), '\0');
    data[0] = '\xFF';
    data[1] = '\xFF';
    data[2] = '\x08';
    PutU32(data, 4, static_cast<std::uint32_t>(stored));
    std::copy(bytes.begin(), bytes.end(), data.begin() + 8);
    std::string next(4, '\0');
    PutU32(next, 0, static_cast<std::uint32_t>(block + blocks));
    if (!stream_->WriteAt(std::uint64_t{block} * kMemoBlockSize, data.data(), data.size()) ||
        !stream_->WriteAt(0, next.data(), next.size())) {
        Raise(kMemoWrite, block);
    }
    return block;
}

}  // namespace mv::dbf
