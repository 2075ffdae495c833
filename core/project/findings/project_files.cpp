#include "project/findings/project_files.h"

#include "project/findings/findings_file.h"

namespace mv {

void SaveProject(const RecipientList& list, const std::filesystem::path& path,
                 const ListBounds& bounds) {
    SaveProjectFile(list, path, bounds);
    try {
        SaveFindingsFile(list, path);
    } catch (const Exception& e) {
        throw EFindingsSaveError("The project was saved, but not its findings file " +
                                 FindingsPathOf(path).string() + ": " + e.what());
    }
}

std::string OpenProject(RecipientList& list, const std::filesystem::path& path,
                        ListBounds* bounds) {
    LoadProjectFile(list, path, bounds);
    return LoadFindingsFile(list, path);
}

}  // namespace mv
