#include "expression/GeneExpression.h"
#include "net/HeadlessUiDispatcher.h"
#include "net/ServerUrls.h"
#include "net/UiDispatcher.h"
#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"
#include "search/PagedGeneList.h"
#include "volumira-tool/Tool.h"

#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <stdexcept>
#include <string>

namespace volumira::tool {

namespace {

// How long one result page may take before the tool gives up.
constexpr std::chrono::seconds kPageTimeout{60};

struct SearchOptions {
    std::string server, text;
    bool anatomic = false;
    int geneId = 0, seriesId = 0, structureId = 0, planes = 3, page = 0;
    bool json = false;
};

// Counts the ends of the list's requests: completions and failures.
class RequestEnds : public PagedGeneListListener {
  public:
    void listChanged(int event, PagedGeneList&, int) override {
        if (event == kRequestComplete || event == kRequestFailed) ++count;
    }
    int count = 0;
};

// The dispatcher stays installed for the command's life; leaving, it shuts the network queue down.
class InstalledDispatcher {
  public:
    InstalledDispatcher() {
        if (uiDispatcher() != nullptr) throw std::runtime_error("A network dispatcher is already installed.");
        setUiDispatcher(&dispatcher_);
    }
    HeadlessUiDispatcher& get() { return dispatcher_; }

  private:
    HeadlessUiDispatcher dispatcher_;
};

nlohmann::json recordJson(int index, const GeneExpression& g) {
    return {{"index", index},
            {"symbol", g.symbol()},
            {"name", g.name()},
            {"imageSeriesId", g.imageSeriesId()},
            {"geneId", g.geneId()},
            {"plane", g.plane()},
            {"probeOrientation", g.probeOrientation()},
            {"score", g.score()},
            {"expressionFileUrl", g.expressionFileUrl()},
            {"fileSize", g.fileSize()},
            {"available", g.isAvailable()},
            {"condition", g.condition()}};
}

// The search service's address as the viewer derives it from its "HostName" setting.
std::string serviceUrl(const std::string& server) {
    MemorySettingsStore store;
    store.writeText(kSettingsSection, "HostName", server);
    const UserPreferences preferences(store, PreferencesEnvironment::ofProcess());
    return ServerUrls(preferences).searchService();
}

void search(std::ostream& out, const SearchOptions& o) {
    const int modes = (o.text.empty() ? 0 : 1) + (o.geneId > 0 ? 1 : 0) + (o.seriesId > 0 ? 1 : 0);
    if (modes != 1) throw std::runtime_error("Give exactly one of --text, --series and --similar.");
    if (o.anatomic && o.text.empty()) throw std::runtime_error("--anatomic goes with --text.");
    if (o.seriesId > 0 && o.structureId <= 0) throw std::runtime_error("--similar needs --structure.");

    // Declared first so that it is destroyed last: the list cancels its request before the queue shuts down.
    InstalledDispatcher dispatcher;
    PagedGeneList list(kProjectCode, 10);
    RequestEnds ends;
    list.addListener(&ends);
    const auto waitForEnd = [&](int before) {
        if (!dispatcher.get().pumpUntil([&] { return ends.count > before; }, kPageTimeout))
            throw std::runtime_error("The search did not finish within " +
                                     std::to_string(kPageTimeout.count()) + " seconds.");
    };

    const std::string url = serviceUrl(o.server);
    if (!o.text.empty())
        list.searchText(url, o.text, o.text, kProjectCode, o.anatomic);
    else if (o.geneId > 0)
        list.searchImageSeries(url, o.geneId, std::to_string(o.geneId) + " (all)", kProjectCode);
    else
        list.searchSimilar(url, o.seriesId, o.structureId, "Similar to " + std::to_string(o.seriesId),
                           kProjectCode, o.planes, 0);
    waitForEnd(0);
    if (o.page > 0 && ends.count == 1 && list.status().empty()) {
        const int before = ends.count;
        list.showPage(o.page);
        if (!list.status().empty()) waitForEnd(before);
    }
    list.removeListener(&ends);
    if (!list.status().empty()) throw std::runtime_error(list.statusText());

    const int first = list.currentPage() * list.pageSize();
    nlohmann::json records = nlohmann::json::array();
    for (int i = first; i < list.size() && i < first + list.pageSize(); ++i)
        if (const GeneExpression* g = list.result(i)) records.push_back(recordJson(i, *g));
    if (o.json) {
        out << nlohmann::json{{"status", list.statusText()},
                              {"total",
                               list.totalKnown() ? nlohmann::json(list.size()) : nlohmann::json(nullptr)},
                              {"totalKnown", list.totalKnown()},
                              {"page", list.currentPage()},
                              {"records", std::move(records)}}
                   .dump(2)
            << '\n';
        return;
    }
    out << list.title() << ":" << list.statusText() << '\n';
    for (const auto& r : records)
        out << "  " << r["index"].get<int>() << "  " << r["symbol"].get<std::string>() << "  series "
            << r["imageSeriesId"].get<int>() << "  " << r["name"].get<std::string>() << '\n';
}

} // namespace

void addSearchCommands(CLI::App& app, std::ostream& out) {
    auto o = std::make_shared<SearchOptions>();
    CLI::App* command = app.add_subcommand(
        "search", "Run a gene search on a data server the way the viewer does and print one result page");
    command->add_option("--server", o->server, "Data server address, e.g. http://127.0.0.1:8338")->required();
    command->add_option("--text", o->text, "Gene symbol or name, or with --anatomic an anatomic query");
    command->add_flag("--anatomic", o->anatomic, "The text is an anatomic query");
    command->add_option("--series", o->geneId, "List the image series of this gene id");
    command->add_option("--similar", o->seriesId, "Find genes expressed like this image series");
    command->add_option("--structure", o->structureId, "Structure id that bounds a similar-gene search");
    command->add_option("--planes", o->planes, "Planes compared: 1 sagittal, 2 coronal, 3 both")
        ->check(CLI::Range(1, 3));
    command->add_option("--page", o->page, "Result page, from 0")->check(CLI::NonNegativeNumber);
    command->add_flag("--json", o->json, "Print JSON");
    command->callback([&out, o] { search(out, *o); });
}

} // namespace volumira::tool
