#include "import/elided_path_label.h"

#include <QDir>
#include <QPainter>

namespace mv::ui {

namespace {

// The width the label asks for; a longer path is shortened.
constexpr int kPreferredWidth = 360;

}  // namespace

ElidedPathLabel::ElidedPathLabel(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ElidedPathLabel::SetPath(const QString& path) {
    path_ = QDir::toNativeSeparators(path);
    setToolTip(path_);
    setAccessibleName(path_);
    updateGeometry();
    update();
}

QString ElidedPathLabel::ShownText() const {
    return fontMetrics().elidedText(path_, Qt::ElideMiddle, contentsRect().width());
}

QSize ElidedPathLabel::sizeHint() const {
    // The same for every path, so that the dialog keeps its width.
    return {kPreferredWidth, fontMetrics().height()};
}

QSize ElidedPathLabel::minimumSizeHint() const {
    return {fontMetrics().averageCharWidth() * 10, fontMetrics().height()};
}

void ElidedPathLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, ShownText());
}

}  // namespace mv::ui
