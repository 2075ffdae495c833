// Answers the modal dialogs a test provokes, as a user would. Each Expect()
// queues what to do with the next modal dialog that appears; the driver
// notices the dialog when Qt shows it and acts from inside the dialog's own
// event loop. A dialog that nobody expected is recorded and rejected, so a
// test fails instead of hanging.
#pragma once

#include <QDialog>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

namespace mv::test {

// What a dialog showed when the driver met it.
struct SeenDialog {
    QString className;
    QString title;
    QString text;  // a message box's text
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

class ModalDriver final : public QObject {
  public:
    using Action = std::function<void(QDialog*)>;

    ModalDriver();
    ~ModalDriver() override;

    void Expect(Action action) { actions_.push_back(std::move(action)); }
    size_t Pending() const { return actions_.size(); }
    const std::vector<SeenDialog>& Seen() const { return seen_; }
    const QStringList& Unexpected() const { return unexpected_; }
    // Forgets what was seen (the expectations stay).
    void ClearSeen() { seen_.clear(); }

    // Actions for Expect().
    static Action Press(QMessageBox::StandardButton button);
    static Action ChooseFile(const QString& path);  // in a QFileDialog
    static Action Reject();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Handle(QDialog* dialog);

    std::deque<Action> actions_;
    std::vector<SeenDialog> seen_;
    QStringList unexpected_;
};

}  // namespace mv::test
