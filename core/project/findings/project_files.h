// Saving and opening a project the way both front ends do it: the project
// file, and beside it the findings file that keeps each row's verdict and
// reason (findings_file.h).
#pragma once

#include <filesystem>
#include <string>

#include "platform/error/exception.h"
#include "project/list/recipient_list.h"
#include "project/stream/project_stream.h"

namespace mv {

// The project file was saved, but its findings file was not. The project is
// complete; only the verdicts beyond the result codes would be lost on
// opening it.
class EFindingsSaveError : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const override { return "EFindingsSaveError"; }
};

// Saves the project file `path` (SaveProjectFile), then its findings file,
// each atomically. Throws what SaveProjectFile throws (nothing else is then
// written), or EFindingsSaveError.
void SaveProject(const RecipientList& list, const std::filesystem::path& path,
                 const ListBounds& bounds = {});

// Reads the project file `path` (LoadProjectFile, whose errors pass on), then
// its findings file into the rows. Returns the notice about a findings file
// that cannot be read or is damaged; empty when there is none to give.
std::string OpenProject(RecipientList& list, const std::filesystem::path& path,
                        ListBounds* bounds = nullptr);

}  // namespace mv
