#include "list_input.h"
#include "platform/exception.h"

namespace mv::cli {

void ImportFile(const std::string& path, RecipientList&, const ImportChoices&) {
    throw Exception("cannot import '" + path + "' yet");
}

}  // namespace mv::cli
