#include "DatabaseWindows.h"

#include "frmDatabase.h"

#include <algorithm>

namespace zep {

namespace {
std::vector<frmDatabase*>& windows() {
    static std::vector<frmDatabase*> list;
    return list;
}
} // namespace

void DatabaseWindows::add(frmDatabase* window) {
    windows().push_back(window);
}

void DatabaseWindows::remove(frmDatabase* window) {
    std::erase(windows(), window);
}

const std::vector<frmDatabase*>& DatabaseWindows::all() {
    return windows();
}

frmDatabase* DatabaseWindows::openBeside(frmDatabase& from, const std::string& connectionString) {
    auto* window = new frmDatabase;
    try {
        window->setConnectionName(connectionString);
    } catch (const std::exception& e) {
        from.interaction().critical(e.what());
        delete window;
        return nullptr;
    }
    window->load();
    window->move(from.pos() + QPoint(24, 24));
    window->show();
    return window;
}

} // namespace zep
