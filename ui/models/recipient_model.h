// The recipient list as a Qt item model: a thin adapter over the core's
// RecipientList that reads every text in place (no row is copied) and
// forwards the list's changes one to one. Changes of row contents are
// gathered and sent once per frame: during a check run thousands of rows
// change every second, and the view needs one repaint per frame, not one per
// change.
//
// Column 0 is the address with its check mark and result icon (the verdict's
// icon once the row has a result), column 1 the result text with what it
// means as its tool tip, further columns the imported values. Check marks are shown,
// never toggled through the model: the main window decides when a press
// toggles one.
#pragma once

#include <QAbstractTableModel>
#include <QTimer>

#include "project/list/recipient_list.h"

namespace mv::ui {

class RecipientModel final : public QAbstractTableModel, private RecipientListObserver {
    Q_OBJECT
  public:
    // The interval at which changed rows are sent to the views.
    static constexpr int kFrameMs = 16;

    explicit RecipientModel(RecipientList& list, QObject* parent = nullptr);
    ~RecipientModel() override;

    RecipientList& List() const { return list_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Sends the row changes that wait for the next frame at once.
    void FlushChanges();
    bool ChangesPending() const { return dirtyEnd_ > dirtyFirst_; }

  private:
    void RowsAboutToBeInserted(size_t first, size_t count) override;
    void RowsInserted(size_t first, size_t count) override;
    void RowsAboutToBeRemoved(size_t first, size_t count) override;
    void RowsRemoved(size_t first, size_t count) override;
    void RowsChanged(size_t first, size_t count) override;
    void ColumnsAboutToBeInserted(size_t first, size_t count) override;
    void ColumnsInserted(size_t first, size_t count) override;
    void ColumnChanged(size_t column) override;
    void AboutToBeReset() override;
    void Reset() override;

    RecipientList& list_;
    QTimer frame_;
    size_t dirtyFirst_ = 0;  // rows changed since the last frame: [first, end)
    size_t dirtyEnd_ = 0;
};

}  // namespace mv::ui
