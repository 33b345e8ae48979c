#pragma once

#include <string>
#include <vector>

namespace zep {

class frmDatabase;

/**
 * The main windows of the process, each on its database: every window registers itself for its life,
 * and a window opens others beside itself (drops between windows find their source here).
 */
class DatabaseWindows {
public:
    static void add(frmDatabase* window);
    static void remove(frmDatabase* window);
    /** every main window, oldest first */
    static const std::vector<frmDatabase*>& all();

    /**
     * A new window on connectionString, 24 pixels down and right of from; null, with the reason shown
     * through from's interaction, when the database cannot be opened.
     */
    static frmDatabase* openBeside(frmDatabase& from, const std::string& connectionString);
};

} // namespace zep
