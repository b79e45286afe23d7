#pragma once

// The version check: reads the data server's versions file and tells whether a newer build of the program
// exists, whether the server no longer supports this program's search interface, and whether a newer list
// of search domains is published.

#include "net/NetEventListener.h"
#include "net/NetFile.h"
#include "xml/XMLParser.h"

#include <string>

namespace volumira {

class VersionQuery;

class VersionQueryListener {
  public:
    virtual ~VersionQueryListener();
    // The final report; the owner may destroy the query from inside the call.
    virtual void versionChecked(VersionQuery* query) = 0;
    virtual void versionCheckFailed(VersionQuery* query, const std::string& message) = 0;
};

// Owned by its creator, who may destroy it at any time: a running transfer is then cancelled.
class VersionQuery : public NetEventListener, public XMLElementHandler {
  public:
    // The search interface version this program speaks.
    static constexpr int kSearchApiVersion = 1;

    // Starts the download of the preferences' versions file at once; the domains are compared with the
    // process-wide search configuration's version and the "windows" build with the preferences' build.
    explicit VersionQuery(VersionQueryListener* listener);
    // The same with the versions file's address, the version of the search domains in use and this
    // program's build number.
    // A versions file longer than maxBytes fails the check.
    VersionQuery(VersionQueryListener* listener, const std::string& versionsUrl, int domainsVersion,
                 int programBuild, std::uint64_t maxBytes = kMaxXmlBytes);
    // Cancels a running transfer.
    ~VersionQuery() override;
    VersionQuery(const VersionQuery&) = delete;
    VersionQuery& operator=(const VersionQuery&) = delete;

    void transferComplete(const std::uint8_t* data, std::size_t length) override;
    void transferFailed(const std::string& message) override;
    void headersReceived(const std::string&, std::uint64_t) override {}
    void dataReceived(const std::uint8_t* data, std::size_t length) override;

    // Stops the check: no report follows.
    virtual void abort();
    // A newer build exists or the site has been upgraded.
    virtual bool newVersionAvailable() const;
    virtual bool domainsOutdated() const;
    virtual const std::string& infoUrl() const;
    // The upgrade message, else the new-version message, else "".
    virtual std::string message() const;

    void startElement(const char* name, const char** attributes) override;
    void endElement(const char* name) override;
    void characterData(const char* text, std::size_t length) override;

  private:
    TransferHandle transfer_;
    std::string infoUrl_;
    VersionQueryListener* listener_;
    XMLParser parser_;
    std::string text_;
    int domainsVersion_;
    int programBuild_;
    bool versionFound_ = false;
    bool newerBuild_ = false;
    bool siteUpgraded_ = false;
    bool domainsOutdated_ = false;
};

} // namespace volumira
