#include "storage/dbf/data_set.h"

#include <algorithm>
#include <cctype>

namespace mv {

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

void Notify(const std::function<void(TDataSet&)>& event, TDataSet& sender) {
    if (event) {
        event(sender);
    }
}

}  // namespace

TDataSet::TDataSet(std::string name) : name_(std::move(name)) {}

void TDataSet::SetActive(bool active) {
    if (active == Active()) {
        return;
    }
    if (active) {
        Open();
    } else {
        Close();
    }
}

void TDataSet::Open() {
    if (Active()) {
        return;
    }
    Notify(BeforeOpen, *this);
    try {
        InternalOpen();
        state_ = TDataSetState::dsBrowse;
        const bool found = InternalFirst();
        SetPosition(true, !found);
    } catch (...) {
        state_ = TDataSetState::dsInactive;
        fields_.clear();
        SetPosition(true, true);
        try {
            InternalClose();
        } catch (...) {
            // The failure to open is the one to report.
        }
        throw;
    }
    Notify(AfterOpen, *this);
}

void TDataSet::Close() {
    if (!Active()) {
        return;
    }
    Notify(BeforeClose, *this);
    state_ = TDataSetState::dsInactive;
    fields_.clear();
    SetPosition(true, true);
    InternalClose();
    Notify(AfterClose, *this);
}

TField& TDataSet::Fields(int index) const {
    if (index < 0 || index >= FieldCount()) {
        throw EDatabaseError("List index out of bounds (" + std::to_string(index) + ")");
    }
    return *fields_[static_cast<std::size_t>(index)];
}

TField* TDataSet::FindField(std::string_view fieldName) const {
    for (const auto& field : fields_) {
        if (EqualNoCase(field->FieldName(), fieldName)) {
            return field.get();
        }
    }
    return nullptr;
}

TField& TDataSet::FieldByName(std::string_view fieldName) const {
    TField* field = FindField(fieldName);
    if (field == nullptr) {
        throw EDatabaseError(name_ + ": Field '" + std::string(fieldName) + "' not found");
    }
    return *field;
}

void TDataSet::First() {
    CheckActive("First");
    EndEditing();
    const bool found = InternalFirst();
    SetPosition(true, !found);
    Notify(AfterScroll, *this);
}

void TDataSet::Next() {
    CheckActive("Next");
    EndEditing();
    if (eof_) {
        return;
    }
    const bool found = InternalNext();
    SetPosition(false, !found);
    Notify(AfterScroll, *this);
}

void TDataSet::Prior() {
    CheckActive("Prior");
    EndEditing();
    if (bof_) {
        return;
    }
    const bool found = InternalPrior();
    SetPosition(!found, false);
    Notify(AfterScroll, *this);
}

void TDataSet::Last() {
    CheckActive("Last");
    EndEditing();
    const bool found = InternalLast();
    SetPosition(!found, true);
    Notify(AfterScroll, *this);
}

void TDataSet::Append() {
    CheckActive("Append");
    EndEditing();
    InternalInsert();
    state_ = TDataSetState::dsInsert;
}

void TDataSet::Edit() {
    CheckActive("Edit");
    if (state_ != TDataSetState::dsBrowse) {
        return;
    }
    if (eof_ && bof_) {
        throw EDatabaseError(name_ + ": Cannot perform this operation on an empty dataset");
    }
    InternalEdit();
    state_ = TDataSetState::dsEdit;
}

void TDataSet::Post() {
    CheckActive("Post");
    if (state_ == TDataSetState::dsBrowse) {
        return;
    }
    InternalPost(state_ == TDataSetState::dsInsert);
    state_ = TDataSetState::dsBrowse;
    SetPosition(false, false);
}

void TDataSet::Cancel() {
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) {
        return;
    }
    state_ = TDataSetState::dsBrowse;
    InternalCancel();
}

void TDataSet::EndEditing() {
    // Moving away from a changed record stores it first.
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
        Post();
    }
}

void TDataSet::RaiseNotOpen(const char* operation) const {
    throw EDatabaseError(name_ + ": Cannot perform this operation on a closed dataset [" +
                         operation + "]");
}

void TDataSet::CheckActive(const char* operation) const {
    if (!Active()) {
        RaiseNotOpen(operation);
    }
}

void TDataSet::CheckEditing() const {
    if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) {
        throw EDatabaseError(name_ + ": Dataset not in edit or insert mode");
    }
}

void TDataSet::AddField(std::unique_ptr<TField> field) {
    fields_.push_back(std::move(field));
}

void TDataSet::SetPosition(bool bof, bool eof) {
    bof_ = bof;
    eof_ = eof;
}

}  // namespace mv
