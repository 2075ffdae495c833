#include "project/journal/unsaved_projects.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "platform/file/atomic_file.h"
#include "platform/file/user_folders.h"
#include "project/findings/findings_file.h"

namespace mv {

namespace {

constexpr std::string_view kPrefix = "unsaved-";
constexpr std::string_view kExtension = ".mlt";

bool IsUnsavedProjectName(const std::string& name) {
    return name.size() > kPrefix.size() + kExtension.size() && name.rfind(kPrefix, 0) == 0 &&
           name.compare(name.size() - kExtension.size(), kExtension.size(), kExtension) == 0;
}

}  // namespace

std::filesystem::path UnsavedProjectsFolder() {
    return UserFolder("XDG_STATE_HOME", ".local/state") / "Corvane" / "Mailvetter";
}

std::filesystem::path NewUnsavedProjectPath(std::time_t when) {
    const std::filesystem::path folder = UnsavedProjectsFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) throw EFCreateError(folder, error.value());
    std::tm local{};
    char name[64] = "unsaved.mlt";
    if (localtime_r(&when, &local) != nullptr)
        std::strftime(name, sizeof name, "unsaved-%Y%m%d-%H%M%S.mlt", &local);
    return folder / name;
}

std::vector<InterruptedProject> FindInterruptedUnsavedProjects() {
    std::vector<InterruptedProject> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(UnsavedProjectsFolder(), error)) {
        if (!IsUnsavedProjectName(entry.path().filename().string())) continue;
        ProjectJournal journal;
        if (journal.Look(entry.path()).pending) found.push_back({entry.path(), journal.Facts()});
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.facts.written > b.facts.written; });
    return found;
}

void RemoveUnsavedProject(const std::filesystem::path& project) {
    std::error_code error;
    for (const std::filesystem::path& file :
         {JournalPathOf(project), FindingsPathOf(project), project})
        std::filesystem::remove(file, error);
}

}  // namespace mv
