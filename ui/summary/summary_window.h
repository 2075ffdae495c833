// The summary window ("&Summary..." in the "&Tools" menu): what the list's
// results add up to, counted when the window opens. Charts by verdict, by
// reason, of the ten domains with the most addresses and, when the address
// lists could be read, of the flags and mail providers; and the same counts
// as a table, each on a page of its own; "Save &Chart..." writes the chart shown
// as a PNG picture, "Save &Table..." the table as a CSV file.
#pragma once

#include <QDialog>
#include <QString>

#include "project/summary/list_summary.h"

class QChart;
class QChartView;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace mv::ui {

class FileDialog;

class TSummaryWindow final : public QDialog {
    Q_OBJECT
  public:
    // `files` chooses where the chart and the table are saved.
    TSummaryWindow(ListSummary summary, FileDialog& files, QWidget* parent);

    // Writes the chart of the page shown as a PNG picture; false, after
    // telling the user, when the file cannot be written.
    bool SaveChart(const QString& fileName);
    // Writes the table as CSV; false, after telling the user, when the file
    // cannot be written.
    bool SaveTable(const QString& fileName);

  private:
    QChartView* AddChartPage(const QString& caption, const char* name, QChart* chart);
    QTableWidget* MakeTable();
    QChartView* ShownChart() const;
    QString ChooseFileToSave(const QString& title, const QString& filter, const QString& suffix);
    void SaveChartExecute();
    void SaveTableExecute();
    void UpdateButtons();

    ListSummary summary_;
    FileDialog& files_;
    QTabWidget* pages_ = nullptr;
    QPushButton* btSaveChart = nullptr;
    QPushButton* btSaveTable = nullptr;
};

}  // namespace mv::ui
