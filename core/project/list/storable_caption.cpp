#include "project/list/storable_caption.h"

#include "address/address_syntax.h"
#include "address/idna.h"
#include "project/run/address_text.h"

namespace mv {

std::optional<std::string> StorableCaption(std::string_view caption) {
    if (FitsWindows1252(caption)) return std::string(caption);
    const std::string address = ExtractAddress(caption);
    const AddressParts parts = SplitAddress(address);
    if (!FitsWindows1252(parts.local)) return std::nullopt;
    if (FitsWindows1252(parts.domain)) return std::string(caption);
    const std::optional<std::string> ascii = DomainToAscii(parts.domain);
    if (!ascii) return std::string(caption);  // no ASCII form: the check finds it broken
    // The address is a stretch of the caption; its domain ends it.
    const size_t at = caption.find(address) + parts.local.size() + 1;
    std::string stored(caption.substr(0, at));
    stored += *ascii;
    stored += caption.substr(at + parts.domain.size());
    return stored;
}

}  // namespace mv
