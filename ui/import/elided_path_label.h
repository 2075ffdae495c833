// A label for a file path that does not widen its dialog: a path longer
// than the room it has is shortened in the middle with an ellipsis, so that
// its start (the folder's root) and its end (the file name) stay readable.
// The whole path is its tool tip.
#pragma once

#include <QString>
#include <QWidget>

namespace mv::ui {

class ElidedPathLabel final : public QWidget {
  public:
    explicit ElidedPathLabel(QWidget* parent = nullptr);

    const QString& Path() const { return path_; }
    void SetPath(const QString& path);
    // The text as shown in the label's present width.
    QString ShownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString path_;
};

}  // namespace mv::ui
