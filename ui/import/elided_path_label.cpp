#include "import/elided_path_label.h"

#include <QDir>
#include <QPainter>

namespace mv::ui {

namespace {

// The widest the label asks to be; a longer path is shortened.
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
    const int width = fontMetrics().horizontalAdvance(path_);
    return {std::min(width, kPreferredWidth), fontMetrics().height()};
}

QSize ElidedPathLabel::minimumSizeHint() const {
    return {fontMetrics().averageCharWidth() * 10, fontMetrics().height()};
}

void ElidedPathLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, ShownText());
}

}  // namespace mv::ui
