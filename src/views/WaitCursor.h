#pragma once

#include <QGuiApplication>

namespace zep {

/** The wait pointer over the whole application while a command works: until restore() or the end of scope. */
class WaitCursor {
public:
    explicit WaitCursor(Qt::CursorShape shape = Qt::WaitCursor) { QGuiApplication::setOverrideCursor(shape); }
    ~WaitCursor() { restore(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

    /** the normal pointer again, before a message or question; only once */
    void restore() {
        if (on_)
            QGuiApplication::restoreOverrideCursor();
        on_ = false;
    }

private:
    bool on_ = true;
};

} // namespace zep
