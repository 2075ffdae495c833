// The data set over one dBase table: record buffer, field objects built from
// the table's descriptors, and the conversion between the bytes of a record
// and field values (TTbDataSet); and the properties common to tables
// (TTbCDataSet).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "storage/dbf/data_set.h"
#include "storage/dbf/dbf_engine.h"
#include "storage/dbf/dbf_table.h"

namespace mv {

// The date field of a table: its edit mask follows the system's short date
// format ("99/99/99;1; ", or "99/99/9999;1; " with four-digit years; the year
// first when the short date format begins with it).
class TTbDateField : public TDateField {
  public:
    TTbDateField(TDataSet& dataSet, std::string fieldName, int fieldNo);
    const std::string& EditMask() const { return editMask_; }
    void SetEditMask(std::string mask) { editMask_ = std::move(mask); }

  private:
    std::string editMask_;
};

class TTbDataSet : public TDataSet {
  public:
    using TDataSet::TDataSet;
    ~TTbDataSet() override;

    TFieldValue GetFieldData(const TField& field) const override;
    void SetFieldData(const TField& field, const TFieldValue& value) override;

  protected:
    // Takes over an opened table and creates its field objects: one per
    // field with a non-empty name, in file order.
    void AttachTable(std::unique_ptr<dbf::DbfTable> table);
    // Closes the table (writing its header when it changed) and forgets it.
    void DetachTable();
    dbf::DbfTable* Table() const { return table_.get(); }

    // Selects the table's work area and copies HideDeletedRecs and
    // TableLanguage into the engine settings, as every operation does first.
    void SelectArea() const;

    bool InternalFirst() override;
    bool InternalNext() override;
    bool InternalPrior() override;
    bool InternalLast() override;
    void InternalInsert() override;
    void InternalEdit() override;
    void InternalPost(bool inserting) override;
    void InternalCancel() override;
    // "Database is not open [<name>.<operation>]", error 1103.
    void RaiseNotOpen(const char* operation) const override;

    int workArea_ = 0;
    bool hideDeleted_ = false;
    TTableLanguage language_ = TTableLanguage::tlOem;
    std::uint32_t recNo_ = 0;  // 0: no current record
    bool inserting_ = false;

  private:
    // Walks from record `from` by `step` to the first record the navigation
    // shows; false (with the current record kept) when there is none.
    bool Seek(std::int64_t from, int step);
    std::unique_ptr<TField> MakeField(const dbf::TDbfFieldProps& props, int fieldNo);
    void CheckChangesAllowed() const;

    std::unique_ptr<dbf::DbfTable> table_;
};

class TTbCDataSet : public TTbDataSet {
  public:
    using TTbDataSet::TTbDataSet;

    // Skip records marked deleted in all navigation (default false).
    bool HideDeletedRecs() const { return hideDeleted_; }
    void SetHideDeletedRecs(bool hide) { hideDeleted_ = hide; }
    // tlOem (default): character data and memos are code page 437;
    // tlAnsi: Windows-1252.
    TTableLanguage TableLanguage() const { return language_; }
    void SetTableLanguage(TTableLanguage language);

    // Records of the table, deleted ones included.
    std::int64_t RecCount() const;
    // Number of the current record (1-based), 0 when there is none.
    std::uint32_t RecNo() const;
    // Whether the current record is marked deleted.
    bool Deleted() const;
    // The table's fields as its descriptors give them (empty when closed).
    const std::vector<dbf::TDbfFieldProps>& DbfFieldProps() const;
};

}  // namespace mv
