#include "FaultServer.h"
#include "tools/ToolRun.h"

#include <gtest/gtest.h>

namespace volumira::test {
namespace {

TEST(FetchCommand, PrintsEachReportOnItsOwnLine) {
    FaultServer server;
    server.route("/ok", reply(response("200 OK", {"Content-Type: text/plain", "Content-Length: 5000"},
                                       std::string(5000, 'g'))));
    server.route("/missing", reply(response("404 Not Found", {"Content-Type: text/plain"}, "")));

    const ToolResult kept = runTool({"fetch", server.url("/ok"), "--keep"});
    EXPECT_EQ(kept.status, 0) << kept.err;
    EXPECT_EQ(kept.out.substr(0, kept.out.find('\n')), "headers text/plain 5000");
    EXPECT_EQ(kept.out.substr(kept.out.rfind('\n', kept.out.size() - 2) + 1), "complete 5000 bytes\n");
    EXPECT_NE(kept.out.find("\ndata "), std::string::npos);

    const ToolResult streamed = runTool({"fetch", server.url("/ok")});
    EXPECT_EQ(streamed.status, 0) << streamed.err;
    EXPECT_EQ(streamed.out.substr(streamed.out.rfind('\n', streamed.out.size() - 2) + 1),
              "complete 0 bytes\n");

    const ToolResult failed = runTool({"fetch", server.url("/missing")});
    EXPECT_NE(failed.status, 0);
    EXPECT_EQ(failed.out, "failed Could not complete request. Server returned error 404\n");
    EXPECT_EQ(failed.err, "volumira-tool: error: Could not complete request. Server returned error 404\n");

    const ToolResult noUrl = runTool({"fetch"});
    EXPECT_NE(noUrl.status, 0);
}

TEST(FetchCommand, SmallBodyGivesOneDataLine) {
    FaultServer server;
    server.route("/small",
                 reply(response("200 OK", {"Content-Type: application/xml", "Content-Length: 3"}, "<a>")));
    const ToolResult result = runTool({"fetch", server.url("/small"), "--keep"});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "headers application/xml 3\ndata 3 bytes\ncomplete 3 bytes\n");
}

} // namespace
} // namespace volumira::test
