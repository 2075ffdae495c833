// Reads the input as a dBase memo file: every block the file could hold,
// as raw bytes and as text; then stores a text and reads it back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "storage/dbf/dbf_memo.h"
#include "storage/dbf/table_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    mv::dbf::DbfMemo memo(std::make_unique<mv::dbf::MemoryStream>(bytes), "fuzz.dbt");
    const std::uint32_t blocks = static_cast<std::uint32_t>(size / 512 + 2);
    for (std::uint32_t block = 0; block < blocks && block < 256; ++block) {
        try {
            (void)memo.ReadText(block, mv::CodePage::Oem());
        } catch (const mv::ETableError&) {
            // A block that points nowhere is reported, never read past.
        }
    }
    try {
        const std::string text = "Stored text \xC3\xBC";
        const std::uint32_t block = memo.WriteText(text, mv::CodePage::Oem());
        if (memo.ReadText(block, mv::CodePage::Oem()) != text) {
            std::abort();
        }
    } catch (const mv::ETableError&) {
        // Only a memo file grown to 2^32 blocks refuses a new text.
    }
    return 0;
}
