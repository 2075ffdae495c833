#include "import/import_dialog.h"

#include <QAbstractListModel>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <climits>

#include "common/confirm.h"
#include "import/elided_path_label.h"

namespace mv::ui {

namespace {

std::filesystem::path ToPath(const QString& fileName) {
    return std::filesystem::path(QFile::encodeName(fileName).toStdString());
}

// The source columns as the e-mail column's choices, turned into texts only
// when shown: a first line may hold a great many fields, and a combo box's
// own items would make an object of each.
class ColumnChoices final : public QAbstractListModel {
  public:
    ColumnChoices(std::vector<std::string> names, QObject* parent)
        : QAbstractListModel(parent), names_(std::move(names)) {}

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(std::min<size_t>(names_.size(), INT_MAX));
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
        const std::string& name = names_.at(static_cast<size_t>(index.row()));
        return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }

  private:
    std::vector<std::string> names_;
};

QRadioButton* AddRadio(QGroupBox* group, const char* caption, const char* name) {
    auto* button = new QRadioButton(QString::fromUtf8(caption), group);
    button->setObjectName(QString::fromLatin1(name));
    group->layout()->addWidget(button);
    return button;
}

QGroupBox* RadioGroup(QWidget* parent, const char* caption, const char* name) {
    auto* group = new QGroupBox(QString::fromUtf8(caption), parent);
    group->setObjectName(QString::fromLatin1(name));
    new QVBoxLayout(group);
    return group;
}

}  // namespace

TImportDialog::TImportDialog(RecipientList& list, const QString& fileName, QWidget* parent)
    : QDialog(parent), list_(list), import_(ToPath(fileName)) {
    setObjectName(QStringLiteral("ImportDialog"));
    CreateControls();
    lbFileName->SetPath(fileName);
    slice_.setSingleShot(true);
    slice_.setInterval(0);
    connect(&slice_, &QTimer::timeout, this, &TImportDialog::ImportSlice);
    previewSlice_.setSingleShot(true);
    previewSlice_.setInterval(0);
    connect(&previewSlice_, &QTimer::timeout, this, &TImportDialog::PreviewSlice);
}

TImportDialog::~TImportDialog() {
    // FormDestroy: the file or table closes with the import.
    SetBusyCursor(false);
}

void TImportDialog::CreateControls() {
    setWindowTitle(QStringLiteral("Import Recipient List"));
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed dialog frame
    QFont bold = font();
    bold.setBold(true);

    layout->addWidget(new QLabel(QStringLiteral("Filename:"), this));
    lbFileName = new ElidedPathLabel(this);
    lbFileName->setObjectName(QStringLiteral("lbFileName"));
    lbFileName->setFont(bold);
    layout->addWidget(lbFileName);

    auto* kindRow = new QHBoxLayout;
    kindRow->addWidget(new QLabel(QStringLiteral("File Kind:"), this));
    lbFileKind = new QLabel(this);
    lbFileKind->setObjectName(QStringLiteral("lbFileKind"));
    lbFileKind->setFont(bold);
    kindRow->addWidget(lbFileKind, 1);
    layout->addLayout(kindRow);

    auto* emailLabel =
        new QLabel(QStringLiteral("Which column contains the &e-mail address?"), this);
    cbEmail = new QComboBox(this);  // a drop-down list: no free text
    cbEmail->setObjectName(QStringLiteral("cbEmail"));
    // Its width and its list must not measure every choice.
    cbEmail->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbEmail->setMinimumContentsLength(24);
    if (auto* view = qobject_cast<QListView*>(cbEmail->view())) view->setUniformItemSizes(true);
    emailLabel->setBuddy(cbEmail);
    layout->addWidget(emailLabel);
    layout->addWidget(cbEmail);

    gbFirstLine = RadioGroup(this, "First Line is:", "gbFirstLine");
    rbData = AddRadio(gbFirstLine, "&Data", "rbData");
    rbHeader = AddRadio(gbFirstLine, "&Header", "rbHeader");
    rbData->setChecked(true);
    gbMode = RadioGroup(this, "Mode:", "gbMode");
    rbAppend = AddRadio(gbMode, "&Append", "rbAppend");
    rbReplace = AddRadio(gbMode, "&Replace", "rbReplace");
    rbAppend->setChecked(true);
    auto* groups = new QHBoxLayout;
    groups->addWidget(gbFirstLine, 1);
    groups->addWidget(gbMode, 1);
    layout->addLayout(groups);

    PBar = new QProgressBar(this);
    PBar->setObjectName(QStringLiteral("PBar"));
    PBar->setRange(0, 1);
    PBar->setValue(0);
    layout->addWidget(PBar);

    auto* buttons = new QDialogButtonBox(this);
    btImport = buttons->addButton(QStringLiteral("&Import"), QDialogButtonBox::AcceptRole);
    btImport->setObjectName(QStringLiteral("btImport"));
    btImport->setDefault(true);
    btCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    connect(btImport, &QPushButton::clicked, this, &TImportDialog::btImportClick);
    connect(btCancel, &QPushButton::clicked, this, &TImportDialog::reject);
    layout->addWidget(buttons);
}

void TImportDialog::Preview() {
    import_.BeginOpen();
    lbFileKind->setText(QString::fromUtf8(FileKindText(import_.FileKind())));
    const auto firstEnd = RecipientImport::Clock::now() + std::chrono::milliseconds(firstPreviewMs);
    if (!import_.OpenSome(firstEnd)) {
        ShowChoices();
        return;
    }
    // Still reading: the bar shows it is busy; nothing can be chosen yet.
    for (QWidget* control : {static_cast<QWidget*>(cbEmail), static_cast<QWidget*>(gbFirstLine),
                             static_cast<QWidget*>(btImport)})
        control->setEnabled(false);
    PBar->setRange(0, 0);
    previewSlice_.start();
}

void TImportDialog::PreviewSlice() {
    if (!isVisible()) return;  // closed meanwhile
    bool more = false;
    try {
        more =
            import_.OpenSome(RecipientImport::Clock::now() + std::chrono::milliseconds(kSliceMs));
    } catch (...) {
        failure_ = std::current_exception();
        done(QDialog::Rejected);
        return;
    }
    if (more)
        previewSlice_.start();
    else
        ShowChoices();
}

void TImportDialog::ShowChoices() {
    cbEmail->setModel(new ColumnChoices(import_.ColumnNames(), cbEmail));
    if (import_.EmailColumn() >= 0) cbEmail->setCurrentIndex(import_.EmailColumn());
    (import_.FirstLine() == ImportFirstLine::Header ? rbHeader : rbData)->setChecked(true);
    cbEmail->setEnabled(true);
    // A table has no header line.
    gbFirstLine->setEnabled(import_.FirstLineApplies());
    btImport->setEnabled(true);
    progressScale_ = import_.ProgressMax() / INT_MAX + 1;
    // An empty table still gets a bar that can stand at 0 (a maximum of 0
    // would show it as busy).
    PBar->setRange(0, std::max(1, static_cast<int>(import_.ProgressMax() / progressScale_)));
    PBar->setValue(0);
}

void TImportDialog::RethrowFailure() const {
    if (failure_) std::rethrow_exception(failure_);
}

void TImportDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

void TImportDialog::btImportClick() {
    if (started_ || !Ready()) return;
    started_ = true;
    if (cbEmail->currentIndex() >= 0) import_.SetEmailColumn(cbEmail->currentIndex());
    if (import_.FirstLineApplies())
        import_.SetFirstLine(rbHeader->isChecked() ? ImportFirstLine::Header
                                                   : ImportFirstLine::Data);
    import_.SetMode(rbReplace->isChecked() ? ImportMode::Replace : ImportMode::Append);
    for (QWidget* control : {static_cast<QWidget*>(cbEmail), static_cast<QWidget*>(gbMode),
                             static_cast<QWidget*>(gbFirstLine), static_cast<QWidget*>(btImport)})
        control->setEnabled(false);
    btCancel->setFocus();
    SetBusyCursor(true);
    try {
        import_.BeginImport(list_);
    } catch (...) {
        failure_ = std::current_exception();
        FinishImport();
        return;
    }
    slice_.start();
}

void TImportDialog::ImportSlice() {
    if (asking_ || !import_.Importing()) return;
    bool more = false;
    try {
        const auto sliceEnd = RecipientImport::Clock::now() + std::chrono::milliseconds(kSliceMs);
        more = import_.ImportSome(sliceEnd);
    } catch (...) {
        failure_ = std::current_exception();  // the import has ended; its rows stay
    }
    ShowProgress();
    if (more)
        slice_.start();
    else
        FinishImport();
}

void TImportDialog::ShowProgress() {
    PBar->setValue(
        static_cast<int>(std::min(import_.Position(), import_.ProgressMax()) / progressScale_));
}

void TImportDialog::FinishImport() {
    slice_.stop();
    if (import_.Importing()) {
        try {
            refused_ = import_.EndImport().refused;
        } catch (...) {
            if (!failure_) failure_ = std::current_exception();
        }
    }
    ShowProgress();
    SetBusyCursor(false);
    done(failure_ ? QDialog::Rejected : QDialog::Accepted);
}

void TImportDialog::reject() {
    if (!import_.Importing()) {
        QDialog::reject();  // nothing imported
        return;
    }
    if (asking_) return;
    asking_ = true;
    SetBusyCursor(false);
    const Answer answer =
        ConfirmYesNo(this, QStringLiteral("Do you really want to cancel this operation?"));
    asking_ = false;
    if (answer == Answer::kYes) {
        import_.Stop();  // before the next line or record
        FinishImport();
        return;
    }
    SetBusyCursor(true);
    slice_.start();
}

void TImportDialog::SetBusyCursor(bool busy) {
    if (busy == busyCursor_) return;
    busyCursor_ = busy;
    if (busy)
        QGuiApplication::setOverrideCursor(Qt::BusyCursor);  // arrow with hourglass
    else
        QGuiApplication::restoreOverrideCursor();
}

}  // namespace mv::ui
