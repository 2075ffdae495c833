// Any bytes as a text file to import, from the raw bytes on: the choice of
// encoding, lines read across blocks, splitting, the column choice, and the
// address cut out of each caption. Reading in tiny blocks gives the same
// lines as reading in large ones; a file is refused as no text exactly when
// it has no UTF-16 mark and a NUL byte within its first 4 KiB; an imported
// list holds only valid UTF-8, and importing it again in Append mode doubles
// the rows and adds no column.
//
// The first input byte chooses the small block size and the first-line
// setting; the rest is the file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/code_page.h"
#include "project/import_export/import_export_error.h"
#include "project/import_export/recipient_import.h"
#include "project/import_export/text_line_reader.h"
#include "project/run/address_text.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The bytes as a file in memory, reachable by a path.
class MemoryFile {
  public:
    explicit MemoryFile(std::string_view bytes) : fd_(memfd_create("import", MFD_CLOEXEC)) {
        Check(fd_ >= 0);
        Check(write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()));
    }
    ~MemoryFile() { close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    std::string Path() const { return "/proc/self/fd/" + std::to_string(fd_); }

  private:
    int fd_;
};

std::vector<std::string> Lines(const std::string& path, size_t blockSize, bool& holdsNul) {
    mv::TextLineReader reader(path, blockSize);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.ReadLine(line)) {
        lines.emplace_back(line);
    }
    holdsNul = reader.HoldsNul();
    return lines;
}

void CheckAddress(std::string_view caption) {
    const std::string address = mv::ExtractAddress(caption);
    if (address.empty()) {
        return;
    }
    Check(address.find('@') != std::string::npos);
    Check(caption.find(address) != std::string_view::npos);
    // Non-ASCII letters stay as well-formed UTF-8.
    Check(mv::IsValidUtf8(address));
    for (const char c : address) {
        Check(std::string_view("#-.@[]_!$%&'*+/=?^`{|}~").find(c) != std::string_view::npos ||
              (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
              static_cast<unsigned char>(c) >= 0x80);
    }
}

void CheckList(const mv::RecipientList& list) {
    std::vector<std::string_view> texts;
    for (size_t row = 0; row < list.RowCount(); ++row) {
        list.Texts(row, texts);
        for (const std::string_view text : texts) {
            Check(mv::IsValidUtf8(text));
        }
        CheckAddress(list.Caption(row));
    }
    for (const mv::ListColumn& column : list.Columns()) {
        Check(mv::IsValidUtf8(column.caption));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const MemoryFile file(bytes);

    bool holdsNul = false;
    bool holdsNulInBlocks = false;
    const auto lines = Lines(file.Path(), mv::TextLineReader::kDefaultBlockSize, holdsNul);
    Check(Lines(file.Path(), data[0] % 16 + 1, holdsNulInBlocks) == lines);
    const bool utf16 = bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
    const bool nul =
        bytes.substr(0, mv::TextLineReader::kNulScanSize).find('\0') != std::string_view::npos;
    Check(holdsNul == (!utf16 && nul) && holdsNulInBlocks == holdsNul);

    mv::RecipientImport import(file.Path());
    try {
        import.Open();
    } catch (const mv::EImportError&) {
        Check(holdsNul);
        return 0;
    }
    Check(!holdsNul);
    Check(import.ProgressMax() == std::max<int64_t>(static_cast<int64_t>(lines.size()), 1));
    import.SetFirstLine((data[0] & 0x40) != 0 ? mv::ImportFirstLine::Header
                                              : mv::ImportFirstLine::Data);
    mv::RecipientList list;
    const mv::ImportResult first = import.Import(list);
    Check(first.rows <= lines.size() && !first.stopped);
    CheckList(list);
    const size_t columns = list.ColumnCount();
    const mv::ImportResult second = import.Import(list);
    Check(second.rows == first.rows && list.ColumnCount() == columns);
    return 0;
}
