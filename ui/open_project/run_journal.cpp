// The journal of the open project's check runs: where it lies, when a run
// writes it, and what saving, discarding and opening a project do with it.
#include <QFile>
#include <ctime>

#include "open_project/project.h"
#include "project/findings/project_files.h"

namespace mv::ui {

void TProject::UseJournalOf(const std::filesystem::path& project, bool unsaved) {
    EndJournal();
    journal_ = std::make_unique<ProjectJournal>();
    journalOf_ = project;
    unsaved_ = unsaved;
    journaled_ = false;
    declined_ = 0;
    if (!project.empty()) journal_->Look(project);
}

void TProject::StartJournal(const ListBounds& bounds) {
    try {
        if (journalOf_.empty()) UseJournalOf(NewUnsavedProjectPath(std::time(nullptr)), true);
        if (unsaved_) {
            // The copy holds the list as it stands, the journal what comes after.
            journal_->Remove();
            mv::SaveProject(list_, journalOf_, bounds);
        }
    } catch (const Exception& e) {
        emit JournalFailed(QString::fromStdString(e.what()));
        return;
    }
    BeginWriting();
}

void TProject::BeginWriting() {
    // A journal left behind goes on after its good part; one that cannot be
    // read is kept as it is rather than written over.
    if (const std::string& problem = journal_->Look(journalOf_).problem; !problem.empty()) {
        emit JournalFailed(QString::fromStdString(problem));
        return;
    }
    JournalWriter& writer = journal_->StartWriting(SmtpRelayServer1.Loop());
    writer.OnFailed = [this](const std::string& message) {
        emit JournalFailed(QString::fromStdString(message));
    };
    run_.SetJournal(&writer);
    journaled_ = true;
}

void TProject::EndJournal() {
    run_.SetJournal(nullptr);
    journal_->EndWriting();
}

JournalFacts TProject::JournalLeftBeside(const QString& fileName) {
    ProjectJournal journal;
    return journal.Look(ToPath(fileName));
}

size_t TProject::ApplyJournal() {
    const size_t applied = journal_->Apply(list_);
    SetModified(true);
    return applied;
}

size_t TProject::DeclinedResultsOf(const QString& fileName) const {
    return ToPath(fileName) == journalOf_ ? declined_ : 0;
}

void TProject::JournalSaved(const QString& fileName, bool discardDeclined) {
    const std::filesystem::path saved = ToPath(fileName);
    if (saved == journalOf_) {
        if (declined_ > 0 && !discardDeclined) {
            journal_->KeepAcrossSave();
        } else {
            journal_->Remove();  // a run under way starts it again
            declined_ = 0;
        }
        return;
    }
    // A first save or Save As: the journal moves with the project. The old
    // file keeps only a journal its user declined; it is unchanged.
    const bool writing = journal_->Writer() != nullptr;
    EndJournal();
    if (unsaved_)
        RemoveUnsavedProject(journalOf_);
    else if (declined_ == 0)
        journal_->Remove();
    UseJournalOf(saved, false);
    if (writing) BeginWriting();
}

void TProject::DiscardJournal() {
    EndJournal();
    if (unsaved_) {
        RemoveUnsavedProject(journalOf_);
        UseJournalOf({}, false);
    } else if (journaled_ && declined_ == 0) {
        journal_->Remove();
    }
}

void TProject::OpenUnsaved(const std::filesystem::path& project) {
    try {
        mv::OpenProject(list_, project);
        UseJournalOf(project, true);
        ApplyJournal();
    } catch (...) {
        Clear();  // the files stay for another try
        throw;
    }
    SetProjectFileName(QString());
    SetModified(true);
}

}  // namespace mv::ui
