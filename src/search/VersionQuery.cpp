#include "search/VersionQuery.h"

#include "net/NetFile.h"
#include "preferences/UserPreferences.h"
#include "search/SearchConfig.h"
#include "search/TextValues.h"

#include <cstring>
#include <stdexcept>

namespace volumira {

VersionQueryListener::~VersionQueryListener() = default;

VersionQuery::VersionQuery(VersionQueryListener* listener)
    : VersionQuery(listener, UserPreferences::instance().versionsUrl(), SearchConfig::instance().version(),
                   UserPreferences::instance().build()) {}

VersionQuery::VersionQuery(VersionQueryListener* listener, const std::string& versionsUrl, int domainsVersion,
                           int programBuild, std::uint64_t maxBytes)
    : listener_(listener), parser_(this), domainsVersion_(domainsVersion), programBuild_(programBuild) {
    constexpr const char* kInvalidAddress = "Version check failed: invalid server address.";
    if (versionsUrl.empty()) throw std::runtime_error(kInvalidAddress);
    try {
        transfer_ = openUrl(versionsUrl, this, false, maxBytes);
    } catch (const std::exception&) {
        transfer_.cancel();
    }
    if (!transfer_) throw std::runtime_error(kInvalidAddress);
}

VersionQuery::~VersionQuery() = default;

void VersionQuery::abort() {
    transfer_.cancel();
}

bool VersionQuery::newVersionAvailable() const {
    return newerBuild_ || siteUpgraded_;
}

bool VersionQuery::domainsOutdated() const {
    return domainsOutdated_;
}

const std::string& VersionQuery::infoUrl() const {
    return infoUrl_;
}

std::string VersionQuery::message() const {
    if (siteUpgraded_)
        return "The Tessaly Brain Atlas website has been upgraded significantly and portions of the site can "
               "no "
               "longer be accessed by this version of Volumira. Please upgrade this copy of Volumira.";
    if (newerBuild_) return "A new version of Volumira is available.";
    return "";
}

void VersionQuery::dataReceived(const std::uint8_t* data, std::size_t length) {
    // A malformed file is not an error of its own: what was read before the fault counts.
    if (data != nullptr) parser_.parse(reinterpret_cast<const char*>(data), length, false);
}

// The listener call comes last: the owner may destroy the query inside it.
void VersionQuery::transferComplete(const std::uint8_t*, std::size_t) {
    transfer_.cancel();
    parser_.parse(nullptr, 0, true);
    // No domain update is offered to a program the server no longer supports.
    if (siteUpgraded_) domainsOutdated_ = false;
    if (listener_) {
        if (versionFound_)
            listener_->versionChecked(this);
        else
            listener_->versionCheckFailed(this, "Version data not found on the server.");
    }
}

void VersionQuery::transferFailed(const std::string& message) {
    transfer_.cancel();
    parser_.parse(nullptr, 0, true);
    if (listener_) listener_->versionCheckFailed(this, message);
}

void VersionQuery::startElement(const char* name, const char** attributes) {
    text_.clear();
    const bool windows = std::strcmp(name, "windows") == 0;
    const bool searchApi = std::strcmp(name, "searchAPI") == 0;
    if (!windows && !searchApi) return;
    bool buildSeen = false;
    for (const char** a = attributes; a && a[0] && a[1]; a += 2) {
        const int value = leadingInteger(a[1]);
        if (windows && !buildSeen && std::strcmp(a[0], "build") == 0) {
            buildSeen = true;
            versionFound_ = true;
            newerBuild_ = value > programBuild_;
        } else if (searchApi && std::strcmp(a[0], "oldest") == 0) {
            siteUpgraded_ = value > kSearchApiVersion;
        } else if (searchApi && std::strcmp(a[0], "domains") == 0) {
            domainsOutdated_ = value > domainsVersion_;
        }
    }
}

void VersionQuery::endElement(const char* name) {
    if (std::strcmp(name, "infoUrl") == 0) infoUrl_ = text_;
}

void VersionQuery::characterData(const char* text, std::size_t length) {
    text_.append(text, length);
}

} // namespace volumira
