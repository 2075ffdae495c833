#include "address/address_flags.h"

#include <strings.h>

#include "platform/text/text_trim.h"

namespace mv {

std::string_view AddressFlagName(AddressFlag flag) {
    switch (flag) {
        case AddressFlag::kRole:
            return "role";
        case AddressFlag::kDisposable:
            return "disposable";
        case AddressFlag::kFree:
            return "free";
    }
    return "";
}

std::optional<AddressFlag> ParseAddressFlag(std::string_view text) {
    for (AddressFlag flag : kAddressFlags) {
        const std::string_view name = AddressFlagName(flag);
        if (text.size() == name.size() && strncasecmp(text.data(), name.data(), name.size()) == 0)
            return flag;
    }
    return std::nullopt;
}

std::string AddressFlagsText(AddressFlags flags, char separator) {
    std::string text;
    for (AddressFlag flag : kAddressFlags) {
        if (!flags.Has(flag)) continue;
        if (!text.empty()) text += separator;
        text += AddressFlagName(flag);
    }
    return text;
}

std::optional<AddressFlags> ParseAddressFlags(std::string_view text, std::string* bad) {
    AddressFlags flags;
    while (!text.empty()) {
        const size_t comma = text.find(',');
        const std::string_view item = TrimBlanksAndControls(text.substr(0, comma));
        const std::optional<AddressFlag> flag = ParseAddressFlag(item);
        if (!flag) {
            if (bad != nullptr) *bad = std::string(item);
            return std::nullopt;
        }
        flags.Add(*flag);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    }
    return flags;
}

}  // namespace mv
