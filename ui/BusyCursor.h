#pragma once

#include <QGuiApplication>

namespace tavrenode {

// The busy cursor, for exactly as long as a command runs, whichever way it returns.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace tavrenode
