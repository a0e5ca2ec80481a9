#pragma once

#include <QApplication>

namespace lithora::gui {

// The wait cursor for as long as the guard lives, so that an early return cannot leave it up.
class BusyCursor {
  public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace lithora::gui
