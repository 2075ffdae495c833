// The table component: one dBase file opened as a data set.
//
// Reading a table:
//
//   TTbDbf table("tbDbase");
//   table.SetDbfFileName(path);
//   table.SetActive(true);                      // ETableError when it cannot be read
//   for (int i = 0; i < table.FieldCount(); ++i) names.push_back(table.Fields(i).FieldName());
//   for (table.First(); !table.Eof(); table.Next())
//       use(table.Fields(i).AsString());        // deleted records too, unless hidden
//   table.Close();
//
// Writing one: SetDbfFields({"email,C,50,0"}), CreateTable() (or open with
// CreateIfNotFound), then Append(), Fields(i).SetAsString(text), Post() for
// each record, and Close().
//
// Every engine error is raised as ETableError with the full error text; the
// warnings of an open go to OnWarning. Index files and record locks are not
// supported: IndexList must stay empty.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "storage/dbf/tb_data_set.h"

namespace mv {

// The data set over a table file: opening and closing the file in a work
// area, and the deletion mark.
class TTbFileDataSet : public TTbCDataSet {
  public:
    using TTbCDataSet::TTbCDataSet;
    ~TTbFileDataSet() override;

    // Marks the current record deleted, or clears the mark; the record stays
    // in the file and is written at once.
    void Delete();
    void Restore();

  protected:
    // Opens `fileName` in a new work area and makes it the data set's table.
    void OpenTableFile(const std::string& fileName, const dbf::DbfOpenOptions& options);
    void InternalClose() override;
    // Where the table's bytes come from; a file on disk unless overridden.
    virtual std::unique_ptr<dbf::DbfTable> OpenTable(const std::string& fileName,
                                                     const dbf::DbfOpenOptions& options);

  private:
    void SetMark(bool deleted, const char* operation);
};

enum class TCreateIndex { ciNotFound, ciAlways, ciVerifyHeader, ciNever };

class TTbDbf : public TTbFileDataSet {
  public:
    explicit TTbDbf(std::string name = {});
    ~TTbDbf() override;

    // The table file: trimmed; "DBF" is added when it has no extension (a
    // name ending in "." keeps none). Changing it reopens an open table.
    const std::string& DbfFileName() const { return dbfFileName_; }
    void SetDbfFileName(const std::string& fileName);

    // Field definitions ("email,C,50,0") for creating the table.
    const std::vector<std::string>& DbfFields() const { return dbfFields_; }
    void SetDbfFields(std::vector<std::string> lines) { dbfFields_ = std::move(lines); }

    // Open for reading only; the table refuses changes (default false).
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool readOnly);
    // Open with no sharing (default false). Changing it reopens an open table.
    bool Exclusive() const { return exclusive_; }
    void SetExclusive(bool exclusive);
    // Count the records from the file size instead of the header.
    bool AutoFixRecCount() const { return autoFixRecCount_; }
    void SetAutoFixRecCount(bool fix) { autoFixRecCount_ = fix; }
    // Create a missing table from DbfFields when opening (default true).
    bool CreateIfNotFound() const { return createIfNotFound_; }
    void SetCreateIfNotFound(bool create) { createIfNotFound_ = create; }

    // Index files to open with the table. Not supported: a table with any
    // entry here does not open.
    std::vector<std::string>& IndexList() { return indexList_; }
    TCreateIndex CreateIndex() const { return createIndex_; }
    void SetCreateIndex(TCreateIndex mode) { createIndex_ = mode; }
    bool ShowProgress() const { return showProgress_; }
    void SetShowProgress(bool show) { showProgress_ = show; }

    // Creates (or empties) the table file from DbfFields. Raises ETableError
    // when the definitions are wrong or the file cannot be written, and
    // EDatabaseError when they give no table.
    void CreateTable();

    // Receives the warnings of an open ("FieldList.Count is <= 0 trying to
    // create a database", "Could not create '<file>'"); the open goes on.
    std::function<void(TTbDbf& sender, const std::string& text)> OnWarning;

  protected:
    void InternalOpen() override;

  private:
    void CreateMissingTable();
    void Warn(const std::string& text);
    void Reopen(const std::function<void()>& change);

    std::string dbfFileName_;
    std::vector<std::string> dbfFields_;
    std::vector<std::string> indexList_;
    bool readOnly_ = false;
    bool exclusive_ = false;
    bool autoFixRecCount_ = false;
    bool createIfNotFound_ = true;
    TCreateIndex createIndex_ = TCreateIndex::ciNotFound;
    bool showProgress_ = true;
};

}  // namespace mv
