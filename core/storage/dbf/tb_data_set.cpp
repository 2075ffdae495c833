#include "storage/dbf/tb_data_set.h"

#include "storage/dbf/dbf_values.h"
#include "storage/dbf/table_error.h"

namespace mv {

namespace {

std::string DateEditMask() {
    const std::string year = dbf::DbfEngine::Instance().Settings().fourDigitYear ? "9999" : "99";
    // A date whose year cannot be mistaken for its month or day.
    const std::string sample = FormatShortDate(TDate{2033, 11, 22});
    if (sample.rfind("33", 0) == 0 || sample.rfind("2033", 0) == 0) {
        return year + "/99/99;1; ";
    }
    return "99/99/" + year + ";1; ";
}

[[noreturn]] void RangeError(const TField& field) {
    dbf::RaiseTableError(dbf::kRangeCheck, "Range check error [" + field.FieldName() + "]");
}

const std::vector<dbf::TDbfFieldProps> kNoFields;

}  // namespace

TTbDateField::TTbDateField(TDataSet& dataSet, std::string fieldName, int fieldNo)
    : TDateField(dataSet, std::move(fieldName), fieldNo), editMask_(DateEditMask()) {}

TTbDataSet::~TTbDataSet() = default;

void TTbDataSet::SelectArea() const {
    dbf::DbfEngine& engine = dbf::DbfEngine::Instance();
    engine.SelectWorkArea(workArea_);
    engine.Settings().hideDeleted = hideDeleted_;
    engine.Settings().language = language_;
    if (table_) {
        table_->SetLanguage(language_);
    }
}

std::unique_ptr<TField> TTbDataSet::MakeField(const dbf::TDbfFieldProps& props, int fieldNo) {
    switch (props.FieldType) {
        case 'C':
            return std::make_unique<TStringField>(*this, props.FieldName, props.FieldLen, fieldNo);
        case 'N':
        case 'F':
            if (props.FieldDec == 0) {
                return std::make_unique<TIntegerField>(*this, props.FieldName, fieldNo);
            }
            return std::make_unique<TFloatField>(*this, props.FieldName, fieldNo, props.FieldLen);
        case 'D':
            return std::make_unique<TTbDateField>(*this, props.FieldName, fieldNo);
        case 'L':
            return std::make_unique<TBooleanField>(*this, props.FieldName, fieldNo);
        default:  // 'M'; the header reader lets no other letter through
            return std::make_unique<TMemoField>(*this, props.FieldName, fieldNo);
    }
}

void TTbDataSet::AttachTable(std::unique_ptr<dbf::DbfTable> table) {
    table_ = std::move(table);
    recNo_ = 0;
    inserting_ = false;
    SelectArea();
    const auto& props = table_->Fields();
    for (std::size_t i = 0; i < props.size(); ++i) {
        if (!props[i].FieldName.empty()) {
            AddField(MakeField(props[i], static_cast<int>(i)));
        }
    }
}

void TTbDataSet::DetachTable() {
    recNo_ = 0;
    inserting_ = false;
    std::unique_ptr<dbf::DbfTable> table = std::move(table_);
    if (table) {
        table->Close();
    }
}

bool TTbDataSet::Seek(std::int64_t from, int step) {
    SelectArea();
    const std::int64_t count = table_->RecCount();
    for (std::int64_t n = from; n >= 1 && n <= count; n += step) {
        table_->ReadRecord(static_cast<std::uint32_t>(n));
        if (!hideDeleted_ || !table_->Deleted()) {
            recNo_ = static_cast<std::uint32_t>(n);
            return true;
        }
    }
    // The buffer may hold a skipped record now; put the current one back.
    if (recNo_ != 0) {
        table_->ReadRecord(recNo_);
    }
    return false;
}

bool TTbDataSet::InternalFirst() {
    recNo_ = 0;
    return Seek(1, 1);
}

bool TTbDataSet::InternalNext() {
    return recNo_ != 0 && Seek(std::int64_t{recNo_} + 1, 1);
}

bool TTbDataSet::InternalPrior() {
    return recNo_ != 0 && Seek(std::int64_t{recNo_} - 1, -1);
}

bool TTbDataSet::InternalLast() {
    return Seek(table_->RecCount(), -1);
}

void TTbDataSet::CheckChangesAllowed() const {
    if (table_->ReadOnly()) {
        dbf::RaiseTableError(dbf::kAccessDenied,
                             "File:  " + table_->FileName() + " [Replace/Append/PutDbfRecord]");
    }
}

void TTbDataSet::InternalInsert() {
    SelectArea();
    CheckChangesAllowed();
    table_->BlankRecord();
    inserting_ = true;
}

void TTbDataSet::InternalEdit() {
    SelectArea();
    CheckChangesAllowed();
}

void TTbDataSet::InternalPost(bool inserting) {
    SelectArea();
    const std::uint32_t n =
        inserting ? static_cast<std::uint32_t>(table_->RecCount() + std::uint64_t{1}) : recNo_;
    table_->WriteRecord(n);
    recNo_ = n;
    inserting_ = false;
}

void TTbDataSet::InternalCancel() {
    inserting_ = false;
    if (recNo_ != 0) {
        table_->ReadRecord(recNo_);
    } else {
        table_->BlankRecord();
    }
}

void TTbDataSet::RaiseNotOpen(const char* operation) const {
    dbf::RaiseTableError(dbf::kInvalidOperation,
                         "Database is not open [" + Name() + "." + operation + "]");
}

TFieldValue TTbDataSet::GetFieldData(const TField& field) const {
    if (!table_ || (recNo_ == 0 && !inserting_)) {
        return {};
    }
    const auto index = static_cast<std::size_t>(field.FieldNo());
    const dbf::TDbfFieldProps& props = table_->Fields()[index];
    const std::string_view raw = table_->RawField(index);
    switch (props.FieldType) {
        case 'C':
            return dbf::DecodeCharacter(raw, table_->Page());
        case 'N':
        case 'F':
            if (props.FieldDec == 0) {
                if (const auto value = dbf::DecodeInteger(raw)) {
                    return *value;
                }
            } else if (const auto value = dbf::DecodeFloat(raw)) {
                return *value;
            }
            return {};
        case 'D':
            if (const auto date = dbf::DecodeDate(raw)) {
                return TDate{date->year, date->month, date->day};
            }
            return {};
        case 'L':
            return dbf::DecodeLogical(raw);
        default: {
            const auto block = dbf::DecodeMemoBlock(raw);
            if (!block) {
                dbf::RaiseTableError(dbf::kInvalidMemoAddress,
                                     "Memo field " + props.FieldName + " of " + table_->FileName() +
                                         " holds no block number [GetMemo]");
            }
            return table_->ReadMemo(*block);
        }
    }
}

void TTbDataSet::SetFieldData(const TField& field, const TFieldValue& value) {
    CheckActive("SetFieldData");
    CheckEditing();
    const auto index = static_cast<std::size_t>(field.FieldNo());
    const dbf::TDbfFieldProps& props = table_->Fields()[index];
    char* out = table_->MutableRecord().data() + props.FieldPos;
    const auto width = static_cast<std::size_t>(props.FieldLen);
    const bool none = std::holds_alternative<std::monostate>(value);
    bool fits = true;
    if (none) {
        dbf::EncodeBlank(out, width);
    } else if (const auto* text = std::get_if<std::string>(&value)) {
        if (props.FieldType == 'M') {
            const std::uint32_t block = table_->WriteMemo(*text);
            if (block == 0) {
                dbf::EncodeBlank(out, width);
            } else {
                fits = dbf::EncodeInteger(block, out, width);
            }
        } else {
            dbf::EncodeCharacter(*text, table_->Page(), out, width);
        }
    } else if (const auto* whole = std::get_if<std::int32_t>(&value)) {
        fits = dbf::EncodeInteger(*whole, out, width);
    } else if (const auto* real = std::get_if<double>(&value)) {
        fits = dbf::EncodeFloat(*real, props.FieldDec, out, width);
    } else if (const auto* date = std::get_if<TDate>(&value)) {
        dbf::EncodeDate(dbf::DbfDate{date->year, date->month, date->day}, out, width);
    } else if (const auto* flag = std::get_if<bool>(&value)) {
        dbf::EncodeLogical(*flag, out, width);
    }
    if (!fits) {
        RangeError(field);
    }
}

void TTbCDataSet::SetTableLanguage(TTableLanguage language) {
    language_ = language;
    if (Table() != nullptr) {
        Table()->SetLanguage(language);
    }
}

std::int64_t TTbCDataSet::RecCount() const {
    CheckActive("RecCount");
    SelectArea();
    return Table()->RecCount();
}

std::uint32_t TTbCDataSet::RecNo() const {
    return Active() ? recNo_ : 0;
}

bool TTbCDataSet::Deleted() const {
    CheckActive("Deleted");
    return recNo_ != 0 && !inserting_ && Table()->Deleted();
}

const std::vector<dbf::TDbfFieldProps>& TTbCDataSet::DbfFieldProps() const {
    return Table() != nullptr ? Table()->Fields() : kNoFields;
}

}  // namespace mv
