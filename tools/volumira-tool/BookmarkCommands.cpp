#include "atlas/Ontology.h"
#include "bookmarks/BookmarksReader.h"
#include "platform/DataLocations.h"
#include "platform/FileUtils.h"
#include "volumira-tool/Tool.h"

#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <stdexcept>
#include <vector>

namespace volumira::tool {

namespace {

struct BookmarkOptions {
    std::string input, output, dataDir;
    bool json = false;
};

Ontology openOntology(const BookmarkOptions& o) {
    const std::string dataDir = dataDirectoryOption(o.dataDir);
    return fromDataDirectory(dataDir, [&] { return Ontology(dataDir + "ontology.csv"); });
}

// The file as read, without the fallback to the default bookmarks that the viewer applies.
BookmarkTree readTree(const BookmarkOptions& o, const Ontology& ontology) {
    BookmarkTree tree;
    BookmarkTreeAdapter adapter(tree);
    BookmarksReader reader(o.input, &adapter, ontology);
    return tree;
}

nlohmann::json structureIds(const StructureSet& set, const Ontology& ontology) {
    std::vector<const Structure*> structures;
    ontology.structuresIn(set, structures);
    nlohmann::json ids = nlohmann::json::array();
    for (const Structure* s : structures)
        ids.push_back(s->id);
    return ids;
}

nlohmann::json bookmarkJson(const Bookmark& b, const Ontology& ontology) {
    nlohmann::json visible = nlohmann::json::array();
    for (std::uint8_t v : b.sliceVisible)
        visible.push_back(v != 0);
    return {{"name", b.name()},
            {"settings", b.settings},
            {"expressionFilter", structureIds(b.expressionFilter, ontology)},
            {"atlasStructures", structureIds(b.atlasStructures, ontology)},
            {"sliceLocation", b.sliceLocation},
            {"sliceVisible", std::move(visible)},
            {"clipLower", {b.clipLower(0), b.clipLower(1), b.clipLower(2)}},
            {"clipUpper", {b.clipUpper(0), b.clipUpper(1), b.clipUpper(2)}},
            {"rotation", b.rotation},
            {"origin", b.origin},
            {"scoreLower", b.scoreLower},
            {"scoreUpper", b.scoreUpper},
            {"countLower", b.countLower},
            {"countUpper", b.countUpper},
            {"zoom", b.zoom}};
}

nlohmann::json itemsJson(const BookmarkNode& parent, const Ontology& ontology) {
    nlohmann::json items = nlohmann::json::array();
    for (const auto& child : parent.children) {
        if (child->isGroup())
            items.push_back({{"name", child->name},
                             {"expanded", child->expanded},
                             {"children", itemsJson(*child, ontology)}});
        else
            items.push_back(bookmarkJson(*child->bookmark, ontology));
    }
    return items;
}

void printText(std::ostream& out, const BookmarkNode& parent, int depth) {
    for (const auto& child : parent.children) {
        out << std::string(static_cast<std::size_t>(depth) * 2, ' ');
        if (child->isGroup()) {
            out << "[" << child->name << "]" << (child->expanded ? "" : " (collapsed)") << '\n';
            printText(out, *child, depth + 1);
        } else {
            char settings[16];
            std::snprintf(settings, sizeof settings, "0x%X", static_cast<unsigned>(child->bookmark->settings));
            out << child->name << "  settings " << settings << '\n';
        }
    }
}

void dump(std::ostream& out, const BookmarkOptions& o) {
    const Ontology ontology = openOntology(o);
    const BookmarkTree tree = readTree(o, ontology);
    if (o.json)
        out << itemsJson(tree.root, ontology).dump(2) << '\n';
    else
        printText(out, tree.root, 0);
}

void rewrite(std::ostream& out, const BookmarkOptions& o) {
    const Ontology ontology = openOntology(o);
    const BookmarkTree tree = readTree(o, ontology);
    const std::string text = bookmarksText(tree, ontology);
    UniqueFile file = openFile(o.output, "wb");
    if (!file) throw std::runtime_error("Could not create " + o.output + ".");
    const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    if (std::fclose(file.release()) != 0 || !written) throw std::runtime_error("Could not write " + o.output + ".");
    out << "Wrote " << o.output << " (" << text.size() << " bytes).\n";
}

} // namespace

void addBookmarkCommands(CLI::App& app, std::ostream& out) {
    CLI::App* bookmarks = app.add_subcommand("bookmarks", "Inspect and rewrite bookmarks files");
    bookmarks->require_subcommand(1);
    auto options = std::make_shared<BookmarkOptions>();

    CLI::App* dumpCommand = bookmarks->add_subcommand("dump", "The tree of groups and bookmarks of a file");
    dumpCommand->add_option("file", options->input, "Bookmarks file")->required();
    dumpCommand->add_flag("--json", options->json, "Print JSON");
    dumpCommand->add_option("--data", options->dataDir, "Data directory whose ontology names the structures");
    dumpCommand->callback([&out, options] { dump(out, *options); });

    CLI::App* rewriteCommand =
        bookmarks->add_subcommand("rewrite", "Read a bookmarks file and write it with the program's writer");
    rewriteCommand->add_option("input", options->input, "Bookmarks file to read")->required();
    rewriteCommand->add_option("output", options->output, "Bookmarks file to write")->required();
    rewriteCommand->add_option("--data", options->dataDir, "Data directory whose ontology names the structures");
    rewriteCommand->callback([&out, options] { rewrite(out, *options); });
}

} // namespace volumira::tool
