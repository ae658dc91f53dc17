#include "app/screen_fit.h"

#include <QComboBox>
#include <QScreen>
#include <QStyle>
#include <QWidget>
#include <algorithm>

namespace officerecords::app {

namespace {

constexpr int k_fewest_rows = 5;
constexpr int k_most_rows = 30;

// A frame not drawn yet is not measured: a title bar of the style's height
// and thin borders are assumed.
QMargins frame_of(const QWidget& w) {
    if (w.isVisible() && w.frameGeometry() != w.geometry()) {
        const QRect outer = w.frameGeometry(), inner = w.geometry();
        return {inner.left() - outer.left(), inner.top() - outer.top(),
                outer.right() - inner.right(), outer.bottom() - inner.bottom()};
    }
    const int title = w.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &w);
    return {2, title + 2, 2, 2};
}

}  // namespace

QRect fitted_into(const QRect& wanted, const QRect& available) {
    if (available.isEmpty()) return wanted;
    QRect r(wanted.topLeft(), wanted.size().boundedTo(available.size()));
    // Past the right or bottom edge first, so that a window too far left
    // or up is then brought to the left or top edge.
    if (r.right() > available.right()) r.moveRight(available.right());
    if (r.bottom() > available.bottom()) r.moveBottom(available.bottom());
    if (r.left() < available.left()) r.moveLeft(available.left());
    if (r.top() < available.top()) r.moveTop(available.top());
    return r;
}

int drop_down_rows(int available_height, int row_height) {
    if (row_height <= 0) return k_fewest_rows;
    // Half the screen: below the field or above it, one of them has room.
    return std::clamp(available_height / 2 / row_height - 1, k_fewest_rows, k_most_rows);
}

void fit_to_screen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (!screen) return;
    const QRect available = screen->availableGeometry();
    const QMargins frame = frame_of(window);
    const QRect outer = window.geometry().marginsAdded(frame);
    const QRect fitted = fitted_into(outer, available).marginsRemoved(frame);
    if (fitted != window.geometry()) {
        // A window not placed yet is placed by Qt (a dialog over its
        // parent, within the screen) or the window manager.
        if (window.isVisible() || window.testAttribute(Qt::WA_Moved))
            window.setGeometry(fitted);
        else
            window.resize(fitted.size());
    }
    for (QComboBox* combo : window.findChildren<QComboBox*>()) {
        const int row = std::max(combo->fontMetrics().height(), combo->sizeHint().height() / 2);
        combo->setMaxVisibleItems(drop_down_rows(available.height(), row + 4));
    }
}

}  // namespace officerecords::app
