// A project that was never saved still gets a journal while it is checked:
// the window first writes its list to a file of its own in the user's state
// folder, $XDG_STATE_HOME/Corvane/Mailvetter (~/.local/state when the
// variable is not set), and journals beside it. A run that ends normally, or
// a save under a name of the user's, leaves nothing there; what is left is
// the list of a check that was interrupted, offered at the next start.
#pragma once

#include <ctime>
#include <filesystem>
#include <vector>

#include "project/journal/project_journal.h"

namespace mv {

// $XDG_STATE_HOME/Corvane/Mailvetter, or ~/.local/state/Corvane/Mailvetter.
std::filesystem::path UnsavedProjectsFolder();

// "unsaved-YYYYMMDD-HHMMSS.mlt" in that folder, for a check begun at `when`
// (local time). The folder is created when missing; throws EFileError when
// it cannot be.
std::filesystem::path NewUnsavedProjectPath(std::time_t when);

// An unsaved project whose check was interrupted, with what its journal holds.
struct InterruptedProject {
    std::filesystem::path project;
    JournalFacts facts;
};

// The unsaved projects of the state folder that have a pending journal,
// newest first.
std::vector<InterruptedProject> FindInterruptedUnsavedProjects();

// Removes an unsaved project with its findings file and journal.
void RemoveUnsavedProject(const std::filesystem::path& project);

}  // namespace mv
