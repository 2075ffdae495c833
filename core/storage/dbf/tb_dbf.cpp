#include "storage/dbf/tb_dbf.h"

#include <unistd.h>

#include "storage/dbf/dbf_create.h"
#include "storage/dbf/dbf_names.h"
#include "storage/dbf/table_error.h"

namespace mv {

TTbFileDataSet::~TTbFileDataSet() = default;

std::unique_ptr<dbf::DbfTable> TTbFileDataSet::OpenTable(const std::string& fileName,
                                                         const dbf::DbfOpenOptions& options) {
    return dbf::DbfTable::OpenFile(fileName, options);
}

void TTbFileDataSet::OpenTableFile(const std::string& fileName,
                                   const dbf::DbfOpenOptions& options) {
    workArea_ = dbf::DbfEngine::Instance().AllocateWorkArea();
    SelectArea();
    AttachTable(OpenTable(fileName, options));
}

void TTbFileDataSet::InternalClose() {
    // The work area is given back even when the header cannot be written.
    const int area = workArea_;
    workArea_ = 0;
    struct Release {
        int area;
        ~Release() { dbf::DbfEngine::Instance().ReleaseWorkArea(area); }
    } release{area};
    DetachTable();
}

void TTbFileDataSet::SetMark(bool deleted, const char* operation) {
    CheckActive(operation);
    SelectArea();
    if (recNo_ == 0 || inserting_) {
        throw EDatabaseError(Name() + ": Cannot perform this operation on an empty dataset");
    }
    Table()->SetDeleted(recNo_, deleted);
    Table()->ReadRecord(recNo_);
}

void TTbFileDataSet::Delete() {
    SetMark(true, "Delete");
}

void TTbFileDataSet::Restore() {
    SetMark(false, "Restore");
}

TTbDbf::TTbDbf(std::string name) : TTbFileDataSet(std::move(name)) {}

TTbDbf::~TTbDbf() {
    try {
        Close();
    } catch (const Exception&) {
        // Recorded as the engine's last error; a destructor cannot report it.
    }
}

void TTbDbf::Reopen(const std::function<void()>& change) {
    const bool wasActive = Active();
    Close();
    change();
    if (wasActive) {
        Open();
    }
}

void TTbDbf::SetDbfFileName(const std::string& fileName) {
    Reopen([&] { dbfFileName_ = dbf::DefaultExtension(dbf::TrimBlanks(fileName), "DBF"); });
}

void TTbDbf::SetReadOnly(bool readOnly) {
    if (readOnly != readOnly_) {
        Reopen([&] { readOnly_ = readOnly; });
    }
}

void TTbDbf::SetExclusive(bool exclusive) {
    if (exclusive != exclusive_) {
        Reopen([&] { exclusive_ = exclusive; });
    }
}

void TTbDbf::Warn(const std::string& text) {
    if (OnWarning) {
        OnWarning(*this, text);
    }
}

void TTbDbf::CreateTable() {
    if (!dbf::CreateDbf(dbfFileName_, dbfFields_, language_)) {
        throw EDatabaseError("Could not create '" + dbfFileName_ + "'");
    }
}

void TTbDbf::CreateMissingTable() {
    if (dbfFields_.empty()) {
        Warn("FieldList.Count is <= 0 trying to create a database");
    }
    bool created = false;
    try {
        created = dbf::CreateDbf(dbfFileName_, dbfFields_, language_);
    } catch (const ETableError&) {
        // Kept as the engine's last error; the open below reports the missing file.
    }
    if (!created) {
        Warn("Could not create '" + dbfFileName_ + "'");
    }
}

void TTbDbf::InternalOpen() {
    dbf::DbfEngine::Instance().ClearLastError();
    if (dbfFileName_.empty()) {
        dbf::RaiseTableError(dbf::kInvalidOperation,
                             "DBF file name has not been specified for " + Name());
    }
    if (createIfNotFound_ && ::access(dbf::DiskPath(dbfFileName_).c_str(), F_OK) != 0) {
        CreateMissingTable();
    }
    if (!indexList_.empty()) {
        dbf::RaiseTableError(
            dbf::kFormatNotSupported,
            "Index files are not supported: " + indexList_.front() + " [" + Name() + ".Open]");
    }
    dbf::DbfOpenOptions options;
    options.mode = readOnly_    ? dbf::OpenMode::kReadOnly
                   : exclusive_ ? dbf::OpenMode::kExclusive
                                : dbf::OpenMode::kShared;
    options.autoFixRecCount = autoFixRecCount_;
    options.language = language_;
    OpenTableFile(dbfFileName_, options);
}

}  // namespace mv
