// Windows that fit the screen they open on. A laptop's 768 pixels at a
// scale of 1.5 leave about 510 for a window: a record window, a frame
// remembered from a larger screen, or a drop-down's list would run past
// the screen's edge, out of the clerk's reach.
#pragma once

#include <QRect>

class QWidget;

namespace officerecords::app {

// Where a window whose frame takes `wanted` goes on a screen whose free
// area is `available`: no wider and no higher than that area, and moved
// (as little as possible) to lie within it. A window that fits keeps its
// place and size.
QRect fitted_into(const QRect& wanted, const QRect& available);

// The most rows a drop-down's list may show on a screen of that free
// height, its rows `row_height` high: at most half the screen, so that
// the list fits below the field or above it wherever the field is; never
// fewer than 5 nor more than 30.
int drop_down_rows(int available_height, int row_height);

// Shrinks and moves a top-level window into the free area of its screen,
// its frame included, and limits the lists of its drop-downs to what that
// screen can show. A dialog not yet shown keeps its place to Qt, which
// centres it over its parent within the screen; a window that fits is left
// as it is.
void fit_to_screen(QWidget& window);

}  // namespace officerecords::app
