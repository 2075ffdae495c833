// Field objects of a data set: one per column of the open data set, each
// reading and writing its value through the data set's current record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "platform/error/exception.h"

namespace mv {

class TDataSet;

// Misuse of a data set or a field (wrong state, a value of the wrong kind).
class EDatabaseError : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "EDatabaseError"; }
};

enum class TFieldType { ftString, ftInteger, ftFloat, ftDate, ftBoolean, ftMemo };

struct TDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

// A field's value as the data set hands it over; monostate means no value.
using TFieldValue = std::variant<std::monostate, std::string, std::int32_t, double, TDate, bool>;

class TField {
  public:
    TField(TDataSet& dataSet, std::string fieldName, TFieldType type, int size, int fieldNo);
    virtual ~TField() = default;
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    const std::string& FieldName() const { return fieldName_; }
    TFieldType DataType() const { return type_; }
    int Size() const { return size_; }
    // The data set's own number of the column behind this field.
    int FieldNo() const { return fieldNo_; }
    TDataSet& DataSet() const { return dataSet_; }

    bool IsNull() const;
    // Sets the value to none; the data set must be in edit or insert state.
    void Clear();
    // The value as text; empty when there is none.
    virtual std::string AsString() const = 0;
    virtual void SetAsString(std::string_view text) = 0;

  protected:
    TFieldValue GetData() const;
    void SetData(const TFieldValue& value);

  private:
    TDataSet& dataSet_;
    std::string fieldName_;
    TFieldType type_;
    int size_;
    int fieldNo_;
};

class TStringField : public TField {
  public:
    TStringField(TDataSet& dataSet, std::string fieldName, int size, int fieldNo,
                 TFieldType type = TFieldType::ftString)
        : TField(dataSet, std::move(fieldName), type, size, fieldNo) {}
    std::string AsString() const override;
    void SetAsString(std::string_view text) override;
};

class TMemoField : public TStringField {
  public:
    TMemoField(TDataSet& dataSet, std::string fieldName, int fieldNo)
        : TStringField(dataSet, std::move(fieldName), 0, fieldNo, TFieldType::ftMemo) {}
};

class TIntegerField : public TField {
  public:
    TIntegerField(TDataSet& dataSet, std::string fieldName, int fieldNo)
        : TField(dataSet, std::move(fieldName), TFieldType::ftInteger, 0, fieldNo) {}
    std::int32_t AsInteger() const;
    void SetAsInteger(std::int32_t value) { SetData(value); }
    std::string AsString() const override;
    void SetAsString(std::string_view text) override;
};

class TFloatField : public TField {
  public:
    TFloatField(TDataSet& dataSet, std::string fieldName, int fieldNo, int precision);
    double AsFloat() const;
    void SetAsFloat(double value) { SetData(value); }
    // Significant digits of the text form (1 to 15).
    int Precision() const { return precision_; }
    void SetPrecision(int precision);
    std::string AsString() const override;
    void SetAsString(std::string_view text) override;

  private:
    int precision_;
};

class TDateField : public TField {
  public:
    TDateField(TDataSet& dataSet, std::string fieldName, int fieldNo)
        : TField(dataSet, std::move(fieldName), TFieldType::ftDate, 0, fieldNo) {}
    std::optional<TDate> AsDate() const;
    void SetAsDate(const TDate& date) { SetData(date); }
    // The system's short date format (strftime "%x" of the LC_TIME locale;
    // MM/DD/YY in the "C" locale); empty when there is no date.
    std::string AsString() const override;
    // Empty text clears the date; otherwise the short date format or
    // YYYY-MM-DD.
    void SetAsString(std::string_view text) override;
};

class TBooleanField : public TField {
  public:
    TBooleanField(TDataSet& dataSet, std::string fieldName, int fieldNo)
        : TField(dataSet, std::move(fieldName), TFieldType::ftBoolean, 0, fieldNo) {}
    bool AsBoolean() const;
    void SetAsBoolean(bool value) { SetData(value); }
    // "True" or "False".
    std::string AsString() const override;
    // "True"/"T"/"Yes"/"Y" or "False"/"F"/"No"/"N" without regard to case.
    void SetAsString(std::string_view text) override;
};

// `value` in general format with up to `precision` significant digits:
// fixed notation ("12.5") unless the number needs more integer digits than
// that or is below 0.00001, then scientific ("1.5E20", "1E-7").
std::string FormatFloatGeneral(double value, int precision);

// `date` in the system's short date format (strftime "%x").
std::string FormatShortDate(const TDate& date);

}  // namespace mv
