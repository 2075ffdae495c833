// The generic data set: open and closed state, field objects, navigation
// over records, and the edit cycle (append or edit, then post or cancel).
// A table component derives from it and supplies the records.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "storage/dbf/field.h"

namespace mv {

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

class TDataSet {
  public:
    explicit TDataSet(std::string name = {});
    virtual ~TDataSet() = default;
    TDataSet(const TDataSet&) = delete;
    TDataSet& operator=(const TDataSet&) = delete;

    // The component's name (messages name the data set by it).
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    bool Active() const { return state_ != TDataSetState::dsInactive; }
    void SetActive(bool active);
    // Opens and moves to the first record (or to the end of an empty set).
    void Open();
    // Closes; fields are destroyed, so pointers to them end here.
    void Close();
    TDataSetState State() const { return state_; }

    // The fields in the order of the data set's columns.
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    TField& Fields(int index) const;
    // The field of that name without regard to case, or nullptr.
    TField* FindField(std::string_view fieldName) const;
    TField& FieldByName(std::string_view fieldName) const;

    void First();
    void Next();
    void Prior();
    void Last();
    // Past the last record (at once for an empty data set).
    bool Eof() const { return eof_; }
    // Before the first record.
    bool Bof() const { return bof_; }

    // Starts a new record, filled by the fields and stored by Post().
    void Append();
    // Starts changing the current record.
    void Edit();
    void Post();
    void Cancel();

    std::function<void(TDataSet&)> BeforeOpen;
    std::function<void(TDataSet&)> AfterOpen;
    std::function<void(TDataSet&)> BeforeClose;
    std::function<void(TDataSet&)> AfterClose;
    std::function<void(TDataSet&)> AfterScroll;

    // The value of `field` in the current (or new) record.
    virtual TFieldValue GetFieldData(const TField& field) const = 0;
    // Changes it; the data set must be in edit or insert state.
    virtual void SetFieldData(const TField& field, const TFieldValue& value) = 0;

  protected:
    // Opens the source and creates the fields with AddField.
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    // Each moves to the record named and returns false when there is none
    // (the current record then stays where it was).
    virtual bool InternalFirst() = 0;
    virtual bool InternalNext() = 0;
    virtual bool InternalPrior() = 0;
    virtual bool InternalLast() = 0;
    virtual void InternalInsert() = 0;
    virtual void InternalEdit() = 0;
    virtual void InternalPost(bool inserting) = 0;
    virtual void InternalCancel() = 0;
    // Raises the data set's error for an operation on a closed data set.
    virtual void RaiseNotOpen(const char* operation) const;

    void CheckActive(const char* operation) const;
    void CheckEditing() const;
    void AddField(std::unique_ptr<TField> field);
    void SetPosition(bool bof, bool eof);

  private:
    void EndEditing();

    std::string name_;
    TDataSetState state_ = TDataSetState::dsInactive;
    std::vector<std::unique_ptr<TField>> fields_;
    bool bof_ = true;
    bool eof_ = true;
};

}  // namespace mv
