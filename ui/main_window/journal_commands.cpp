// The journal of an interrupted check, as the window meets it: the question
// when a project that has one is opened, the question about a declined one
// when the project is saved, and at start-up the offer of an unsaved project
// whose check was interrupted. The project (TProject) keeps the journal.
#include <QDateTime>

#include "common/confirm.h"
#include "common/error_display.h"
#include "common/wait_cursor.h"
#include "main_window/main_form.h"
#include "main_window/status_panels.h"

namespace mv::ui {

bool TMainForm::AskAboutJournal(const QString& fileName) {
    const JournalFacts left = TProject::JournalLeftBeside(fileName);
    if (!left.pending) return false;
    const QString question = QStringLiteral(
                                 "The last check of this project was interrupted. Apply the %1 "
                                 "results it had found?")
                                 .arg(left.results);
    switch (ConfirmYesNoCancel(this, question)) {
        case Answer::kYes:
            return true;
        case Answer::kNo:
            return false;
        case Answer::kCancel:
            Abort();
    }
    return false;
}

void TMainForm::TakeJournal(bool apply) {
    const JournalFacts& found = project_.JournalFound();
    if (!found.problem.empty()) StatusBar1->ShowNote(QString::fromStdString(found.problem));
    if (!found.pending) return;
    if (!apply) {
        project_.DeclineJournal();
        return;
    }
    try {
        WaitCursor wait;
        project_.ApplyJournal();
    } catch (const EJournalError&) {
        project_.DeclineJournal();  // kept: a save asks what becomes of it
        throw;
    }
    if (found.damagedTail)
        StatusBar1->ShowNote(QStringLiteral("The damaged end of the journal was left out"));
    UpdateCommandStates();
}

void TMainForm::SettleJournalAfterSave(const QString& fileName) {
    bool discard = true;
    if (const size_t declined = project_.DeclinedResultsOf(fileName); declined > 0) {
        const QString question =
            QStringLiteral("Discard the %1 results of the interrupted check?").arg(declined);
        discard = ConfirmYesNo(this, question) == Answer::kYes;
    }
    project_.JournalSaved(fileName, discard);
}

void TMainForm::OfferInterruptedUnsavedProject() {
    for (const InterruptedProject& left : FindInterruptedUnsavedProjects()) {
        const QString date = QDateTime::fromSecsSinceEpoch(left.facts.written)
                                 .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        const QString question =
            QStringLiteral(
                "A check of an unsaved project was interrupted on %1 (%2 results). "
                "Open it?")
                .arg(date, QString::number(left.facts.results));
        if (ConfirmYesNo(this, question) == Answer::kNo) {
            RemoveUnsavedProject(left.project);
            continue;
        }
        {
            WaitCursor wait;
            project_.OpenUnsaved(left.project);
        }
        UpdateCaption();
        ResetStatusBar();
        UpdateCommandStates();
        return;
    }
}

}  // namespace mv::ui
