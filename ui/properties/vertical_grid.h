// The name/value grid of the properties dialog (TVerticalGrid): one row per
// item, its title in a fixed cell on the left and its text in an editable
// cell on the right, written in navy. Items are addressed by position.
//
// The grid starts with one empty placeholder item that the first AddItem
// takes over, so after n additions it holds exactly n items (and before any,
// the one empty item).
#pragma once

#include <QString>
#include <QTableWidget>

namespace mv::ui {

class TVerticalGrid final : public QTableWidget {
    Q_OBJECT
  public:
    static constexpr int kTitleWidth = 112;
    static constexpr int kValueWidth = 125;
    static const QColor kValueColour;  // navy

    explicit TVerticalGrid(QWidget* parent = nullptr);

    int Count() const { return rowCount(); }
    // Adds an item titled `title` with an empty text; returns its position.
    int AddItem(const QString& title);
    QString Title(int item) const;
    // The text as typed so far, even while its editor is still open.
    QString Text(int item) const;
    void SetText(int item, const QString& text);

  private:
    bool placeholder_ = true;
};

}  // namespace mv::ui
