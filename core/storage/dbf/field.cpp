#include "storage/dbf/field.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "storage/dbf/data_set.h"
#include "storage/dbf/dbf_values.h"

namespace mv {

namespace {

std::string_view TrimText(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') {
        s.remove_suffix(1);
    }
    return s;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Days since 1970-01-01 of a proleptic Gregorian date.
long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153L * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

template <typename T>
bool ParseWhole(std::string_view text, T& value) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

}  // namespace

TField::TField(TDataSet& dataSet, std::string fieldName, TFieldType type, int size, int fieldNo)
    : dataSet_(dataSet),
      fieldName_(std::move(fieldName)),
      type_(type),
      size_(size),
      fieldNo_(fieldNo) {}

TFieldValue TField::GetData() const {
    return dataSet_.GetFieldData(*this);
}

void TField::SetData(const TFieldValue& value) {
    dataSet_.SetFieldData(*this, value);
}

bool TField::IsNull() const {
    return std::holds_alternative<std::monostate>(GetData());
}

void TField::Clear() {
    SetData(std::monostate{});
}

std::string TStringField::AsString() const {
    TFieldValue value = GetData();
    if (auto* text = std::get_if<std::string>(&value)) {
        return std::move(*text);
    }
    return {};
}

void TStringField::SetAsString(std::string_view text) {
    SetData(std::string(text));
}

std::int32_t TIntegerField::AsInteger() const {
    const TFieldValue value = GetData();
    const auto* number = std::get_if<std::int32_t>(&value);
    return number ? *number : 0;
}

std::string TIntegerField::AsString() const {
    const TFieldValue value = GetData();
    const auto* number = std::get_if<std::int32_t>(&value);
    return number ? std::to_string(*number) : std::string();
}

void TIntegerField::SetAsString(std::string_view text) {
    const std::string_view trimmed = TrimText(text);
    if (trimmed.empty()) {
        return Clear();
    }
    std::int32_t number = 0;
    if (!ParseWhole(trimmed, number)) {
        throw EDatabaseError("'" + std::string(text) + "' is not a valid integer value");
    }
    SetAsInteger(number);
}

TFloatField::TFloatField(TDataSet& dataSet, std::string fieldName, int fieldNo, int precision)
    : TField(dataSet, std::move(fieldName), TFieldType::ftFloat, 0, fieldNo), precision_(15) {
    SetPrecision(precision);
}

void TFloatField::SetPrecision(int precision) {
    precision_ = std::clamp(precision, 1, 15);
}

double TFloatField::AsFloat() const {
    const TFieldValue value = GetData();
    const auto* number = std::get_if<double>(&value);
    return number ? *number : 0.0;
}

std::string TFloatField::AsString() const {
    const TFieldValue value = GetData();
    const auto* number = std::get_if<double>(&value);
    return number ? FormatFloatGeneral(*number, precision_) : std::string();
}

void TFloatField::SetAsString(std::string_view text) {
    const std::string_view trimmed = TrimText(text);
    if (trimmed.empty()) {
        return Clear();
    }
    double number = 0;
    if (!ParseWhole(trimmed, number) || !std::isfinite(number)) {
        throw EDatabaseError("'" + std::string(text) + "' is not a valid floating point value");
    }
    SetAsFloat(number);
}

std::optional<TDate> TDateField::AsDate() const {
    const TFieldValue value = GetData();
    if (const auto* date = std::get_if<TDate>(&value)) {
        return *date;
    }
    return std::nullopt;
}

std::string TDateField::AsString() const {
    const TFieldValue value = GetData();
    const auto* date = std::get_if<TDate>(&value);
    return date ? FormatShortDate(*date) : std::string();
}

void TDateField::SetAsString(std::string_view text) {
    const std::string trimmed(TrimText(text));
    if (trimmed.empty()) {
        return Clear();
    }
    TDate date;
    std::tm tm{};
    const char* end = nullptr;
    if (std::sscanf(trimmed.c_str(), "%4d-%2d-%2d", &date.year, &date.month, &date.day) != 3 ||
        trimmed.size() != 10) {
        end = strptime(trimmed.c_str(), "%x", &tm);
        if (end == nullptr || *end != '\0') {
            throw EDatabaseError("'" + std::string(text) + "' is not a valid date");
        }
        date = TDate{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
    }
    if (!dbf::IsValidDate(date.year, date.month, date.day)) {
        throw EDatabaseError("'" + std::string(text) + "' is not a valid date");
    }
    SetAsDate(date);
}

bool TBooleanField::AsBoolean() const {
    const TFieldValue value = GetData();
    const auto* flag = std::get_if<bool>(&value);
    return flag != nullptr && *flag;
}

std::string TBooleanField::AsString() const {
    const TFieldValue value = GetData();
    const auto* flag = std::get_if<bool>(&value);
    if (flag == nullptr) {
        return {};
    }
    return *flag ? "True" : "False";
}

void TBooleanField::SetAsString(std::string_view text) {
    const std::string_view trimmed = TrimText(text);
    if (trimmed.empty()) {
        return Clear();
    }
    for (std::string_view yes : {"True", "T", "Yes", "Y"}) {
        if (EqualNoCase(trimmed, yes)) {
            return SetAsBoolean(true);
        }
    }
    for (std::string_view no : {"False", "F", "No", "N"}) {
        if (EqualNoCase(trimmed, no)) {
            return SetAsBoolean(false);
        }
    }
    throw EDatabaseError("'" + std::string(text) + "' is not a valid boolean value");
}

std::string FormatFloatGeneral(double value, int precision) {
    precision = std::clamp(precision, 1, 17);
    if (value == 0) {
        return "0";
    }
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "INF" : "-INF";
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::scientific, precision - 1);
    std::string_view s(buffer, static_cast<std::size_t>(result.ptr - buffer));
    std::string out;
    if (s.front() == '-') {
        out += '-';
        s.remove_prefix(1);
    }
    const std::size_t e = s.find('e');
    std::string digits(1, s.front());
    if (e > 2) {
        digits.append(s.substr(2, e - 2));
    }
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }
    const int exponent = std::atoi(std::string(s.substr(e + 1)).c_str());
    const auto count = static_cast<int>(digits.size());
    if (exponent >= precision || exponent < -5) {
        out += digits.front();
        if (count > 1) {
            out += '.' + digits.substr(1);
        }
        out += 'E' + std::to_string(exponent);
    } else if (exponent < 0) {
        out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
    } else if (count <= exponent + 1) {
        out += digits + std::string(static_cast<std::size_t>(exponent + 1 - count), '0');
    } else {
        const auto point = static_cast<std::size_t>(exponent) + 1;
        out += digits.substr(0, point) + '.' + digits.substr(point);
    }
    return out;
}

std::string FormatShortDate(const TDate& date) {
    std::tm tm{};
    tm.tm_year = date.year - 1900;
    tm.tm_mon = date.month - 1;
    tm.tm_mday = date.day;
    const long days = DaysFromCivil(date.year, date.month, date.day);
    tm.tm_wday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    tm.tm_yday = static_cast<int>(days - DaysFromCivil(date.year, 1, 1));
    char buffer[64];
    const std::size_t n = std::strftime(buffer, sizeof buffer, "%x", &tm);
    return std::string(buffer, n);
}

}  // namespace mv
