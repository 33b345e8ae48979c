#include "Session.h"

namespace zep {

Session& Session::instance() {
    static Session session;
    return session;
}

std::string programVersion() {
    return std::to_string(ZEP_VERSION_MAJOR) + "." + std::to_string(ZEP_VERSION_MINOR) + "." +
           std::to_string(ZEP_VERSION_PATCH);
}

std::string userConfigurationPath(const std::string& dataSource, bool central) {
    if (central)
        return {};
    const auto slash = dataSource.find_last_of("/\\");
    if (slash == std::string::npos)
        return {};
    return dataSource.substr(0, slash + 1) + "ZEPViewer.xml";
}

} // namespace zep
