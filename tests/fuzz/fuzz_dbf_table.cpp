// Reads the input as a dBase data file through the table component: opens
// it, walks every record forward and a few backward, and reads every field
// as text. The memo file beside it is fixed, so memo fields read real text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "storage/dbf/table_error.h"
#include "storage/dbf/tb_dbf.h"

namespace {

volatile std::size_t g_sink = 0;

std::string FixedMemo() {
    std::string memo(512, '\0');
    memo[0] = 3;
    std::string first = std::string("\xFF\xFF\x08\x00\x0F\x00\x00\x00", 8) + "seven\r\n";
    first.resize(512, '\0');
    std::string second = "M\x81nchen\x8D\r\nend\x1A\x1A";
    second.resize(512, '\0');
    return memo + first + second;
}

class FuzzTable : public mv::TTbDbf {
  public:
    explicit FuzzTable(std::string data) : TTbDbf("tbFuzz"), data_(std::move(data)) {
        SetDbfFileName("fuzz.dbf");
        SetCreateIfNotFound(false);
    }

  protected:
    std::unique_ptr<mv::dbf::DbfTable> OpenTable(const std::string& fileName,
                                                 const mv::dbf::DbfOpenOptions& options) override {
        static const std::string memo = FixedMemo();
        return mv::dbf::DbfTable::OpenStreams(
            fileName, std::make_unique<mv::dbf::MemoryStream>(data_),
            std::make_unique<mv::dbf::MemoryStream>(memo), options);
    }

  private:
    std::string data_;
};

void ReadFields(FuzzTable& table, std::size_t& sink) {
    for (int i = 0; i < table.FieldCount(); ++i) {
        sink += table.Fields(i).AsString().size();
    }
    sink += table.Deleted() ? 1 : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzTable table(std::string(reinterpret_cast<const char*>(data), size));
    // The size picks the options, so that every input keeps its meaning.
    table.SetAutoFixRecCount((size & 1) != 0);
    table.SetTableLanguage((size & 2) != 0 ? mv::TTableLanguage::tlAnsi
                                           : mv::TTableLanguage::tlOem);
    table.SetHideDeletedRecs((size & 4) != 0);
    std::size_t sink = 0;
    try {
        table.SetActive(true);
        sink += static_cast<std::size_t>(table.RecCount());
        for (table.First(); !table.Eof(); table.Next()) {
            ReadFields(table, sink);
        }
        table.Last();
        for (int i = 0; i < 3 && !table.Bof(); ++i, table.Prior()) {
            ReadFields(table, sink);
        }
    } catch (const mv::ETableError&) {
        // A damaged table is reported, which is all that is asked of it.
    }
    g_sink = sink;
    return 0;
}
