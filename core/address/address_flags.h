// The flags an address can carry: role (the local part names a function, not
// a person: info@, sales@), disposable (a throw-away mail service) and free
// (a free-mail provider). They never change a result; they tell the user
// what kind of contact the address is, and an export can leave flagged rows
// out.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace mv {

enum class AddressFlag : unsigned { kRole = 1, kDisposable = 2, kFree = 4 };

// Every flag, in the order in which they are written.
inline constexpr std::array<AddressFlag, 3> kAddressFlags = {
    AddressFlag::kRole, AddressFlag::kDisposable, AddressFlag::kFree};

// "role", "disposable", "free".
std::string_view AddressFlagName(AddressFlag flag);
// The inverse, ignoring ASCII case; none for another text.
std::optional<AddressFlag> ParseAddressFlag(std::string_view text);

class AddressFlags {
  public:
    void Add(AddressFlag flag) { bits_ |= static_cast<unsigned>(flag); }
    bool Has(AddressFlag flag) const { return (bits_ & static_cast<unsigned>(flag)) != 0; }
    bool Empty() const { return bits_ == 0; }
    // Whether the two share a flag.
    bool Meets(AddressFlags other) const { return (bits_ & other.bits_) != 0; }
    bool operator==(const AddressFlags&) const = default;

  private:
    unsigned bits_ = 0;
};

// The names of the flags that are set, in kAddressFlags order, joined by
// `separator`: "role;free" (CSV), "role,disposable" (a setting).
std::string AddressFlagsText(AddressFlags flags, char separator);
// A list of flag names separated by commas, blanks around them ignored. None
// when an item is not a flag name; `bad` then holds it.
std::optional<AddressFlags> ParseAddressFlags(std::string_view text, std::string* bad = nullptr);

}  // namespace mv
