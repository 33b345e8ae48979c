#include "ZEPDatabaseView.h"

#include "Session.h"
#include "database/ConnectionString.h"
#include "frmDatabase.h"
#include "text/Documents.h"

namespace zep {

void ZEPDatabaseView::load(const std::string& baseLocation, const std::string& language) {
    baseUrl_ = baseLocation;
    Session& session = Session::instance();
    session.baseUrl = baseLocation;
    session.languageFile = baseLocation + "/lang/ZEPViewer.xml";
    loadDocuments(baseLocation, language);
    initialised_ = true;
}

void ZEPDatabaseView::InitUserControl(const std::string& baseLocation, const std::string& language) {
    try {
        load(baseLocation, language);
    } catch (const std::exception&) {
        // A client that asks for documents that cannot be read gets the default texts.
    }
}

void ZEPDatabaseView::setConnectionString(const std::string& connectionString) {
    if (!initialised_)
        load(defaultBaseLocation(), "en");
    show(connectionString);
}

void ZEPDatabaseView::setFilename(const std::string& path) {
    show(ConnectionString::forFile(path));
    filename_ = path;
}

void ZEPDatabaseView::show(const std::string& connectionString) {
    const bool first = !window_;
    if (first)
        window_ = new frmDatabase;
    try {
        window_->setConnectionName(connectionString);
    } catch (const std::exception&) {
        // The window shows itself as invalid.
    }
    if (first)
        window_->load();
    window_->show();
}

} // namespace zep
