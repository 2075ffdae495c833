#include "summary/summary_window.h"

#include <QChartView>
#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QPushButton>
#include <QSaveFile>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "common/error_display.h"
#include "common/file_dialog.h"
#include "summary/summary_charts.h"

namespace mv::ui {

namespace {

constexpr QSize kInitialSize(760, 520);

QString Cell(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

TSummaryWindow::TSummaryWindow(ListSummary summary, FileDialog& files, QWidget* parent)
    : QDialog(parent), summary_(std::move(summary)), files_(files) {
    setObjectName(QStringLiteral("SummaryWindow"));
    setWindowTitle(QStringLiteral("Summary"));
    setSizeGripEnabled(true);

    pages_ = new QTabWidget(this);
    pages_->setObjectName(QStringLiteral("Pages"));
    AddChartPage(QStringLiteral("&Verdicts"), "VerdictChart", MakeVerdictChart(summary_));
    AddChartPage(QStringLiteral("&Reasons"), "ReasonChart", MakeReasonChart(summary_));
    AddChartPage(QStringLiteral("&Domains"), "DomainChart", MakeDomainChart(summary_));
    if (summary_.told)
        AddChartPage(QStringLiteral("&Flags and providers"), "FlagChart", MakeFlagChart(summary_));
    pages_->addTab(MakeTable(), QStringLiteral("T&able"));
    connect(pages_, &QTabWidget::currentChanged, this, &TSummaryWindow::UpdateButtons);

    auto* buttons = new QDialogButtonBox(this);
    btSaveChart =
        buttons->addButton(QStringLiteral("Save &Chart..."), QDialogButtonBox::ActionRole);
    btSaveChart->setObjectName(QStringLiteral("btSaveChart"));
    btSaveTable =
        buttons->addButton(QStringLiteral("Save &Table..."), QDialogButtonBox::ActionRole);
    btSaveTable->setObjectName(QStringLiteral("btSaveTable"));
    QPushButton* close = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    close->setDefault(true);
    connect(btSaveChart, &QPushButton::clicked, this, &TSummaryWindow::SaveChartExecute);
    connect(btSaveTable, &QPushButton::clicked, this, &TSummaryWindow::SaveTableExecute);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    layout->addWidget(buttons);
    resize(kInitialSize);
    UpdateButtons();
}

QChartView* TSummaryWindow::AddChartPage(const QString& caption, const char* name, QChart* chart) {
    auto* view = new QChartView(chart, pages_);
    view->setObjectName(QString::fromLatin1(name));
    view->setRenderHint(QPainter::Antialiasing);
    pages_->addTab(view, caption);
    return view;
}

QTableWidget* TSummaryWindow::MakeTable() {
    const std::vector<std::string> header = SummaryTableHeader();
    const std::vector<std::vector<std::string>> rows = SummaryTableRows(summary_);
    auto* table =
        new QTableWidget(static_cast<int>(rows.size()), static_cast<int>(header.size()), pages_);
    table->setObjectName(QStringLiteral("SummaryTable"));
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    for (size_t c = 0; c < header.size(); ++c)
        table->setHorizontalHeaderItem(static_cast<int>(c), new QTableWidgetItem(Cell(header[c])));
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < rows[r].size(); ++c) {
            auto* item = new QTableWidgetItem(Cell(rows[r][c]));
            if (c >= 2) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);  // counts
            table->setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
    }
    table->resizeColumnsToContents();
    return table;
}

QChartView* TSummaryWindow::ShownChart() const {
    return qobject_cast<QChartView*>(pages_->currentWidget());
}

void TSummaryWindow::UpdateButtons() {
    btSaveChart->setEnabled(ShownChart() != nullptr);
}

bool TSummaryWindow::SaveChart(const QString& fileName) {
    QChartView* view = ShownChart();
    if (view == nullptr) return false;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || !view->grab().save(&file, "PNG") || !file.commit()) {
        ShowErrorBox(this, "The chart could not be saved to " +
                               QDir::toNativeSeparators(fileName).toStdString() + ": " +
                               file.errorString().toStdString());
        return false;
    }
    return true;
}

bool TSummaryWindow::SaveTable(const QString& fileName) {
    const std::string csv = SummaryCsv(summary_);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(csv.data(), static_cast<qint64>(csv.size())) !=
            static_cast<qint64>(csv.size()) ||
        !file.commit()) {
        ShowErrorBox(this, "The table could not be saved to " +
                               QDir::toNativeSeparators(fileName).toStdString() + ": " +
                               file.errorString().toStdString());
        return false;
    }
    return true;
}

QString TSummaryWindow::ChooseFileToSave(const QString& title, const QString& filter,
                                         const QString& suffix) {
    FileDialogSpec spec;
    spec.purpose = FilePurpose::kSummary;
    spec.title = title;
    spec.filter = filter;
    spec.defaultSuffix = suffix;
    return files_.SaveFile(this, spec);
}

void TSummaryWindow::SaveChartExecute() {
    const QString fileName =
        ChooseFileToSave(QStringLiteral("Save Chart"), QStringLiteral("PNG pictures (*.png)"),
                         QStringLiteral("png"));
    if (!fileName.isEmpty()) SaveChart(fileName);
}

void TSummaryWindow::SaveTableExecute() {
    const QString fileName = ChooseFileToSave(QStringLiteral("Save Table"),
                                              QStringLiteral("CSV (*.csv)"), QStringLiteral("csv"));
    if (!fileName.isEmpty()) SaveTable(fileName);
}

}  // namespace mv::ui
