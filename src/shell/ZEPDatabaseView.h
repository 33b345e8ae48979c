#pragma once

#include <QPointer>

#include <string>

namespace zep {

class frmDatabase;

/**
 * The public view object that client programs create: it loads the language and addressing
 * documents and shows one database in its main window.
 */
class ZEPDatabaseView {
public:
    ZEPDatabaseView() = default;
    ZEPDatabaseView(const ZEPDatabaseView&) = delete;
    ZEPDatabaseView& operator=(const ZEPDatabaseView&) = delete;

    /** loads the documents of baseLocation for language; errors are suppressed */
    void InitUserControl(const std::string& baseLocation, const std::string& language);
    /**
     * Shows the database of the connection string in this view's window (made on first use). An
     * uninitialised view first loads the documents of the default base location in English, and
     * raises the error of an unreadable language file.
     */
    void setConnectionString(const std::string& connectionString);
    /** the same for a local database file; the documents are not loaded */
    void setFilename(const std::string& path);
    const std::string& filename() const { return filename_; }
    const std::string& baseUrl() const { return baseUrl_; }

    /** the view's window, null before the first database */
    frmDatabase* window() const { return window_; }

private:
    void load(const std::string& baseLocation, const std::string& language);
    void show(const std::string& connectionString);

    std::string baseUrl_;
    std::string filename_;
    bool initialised_ = false;
    QPointer<frmDatabase> window_;
};

} // namespace zep
