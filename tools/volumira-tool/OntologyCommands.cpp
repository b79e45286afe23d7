#include "atlas/Ontology.h"
#include "volumira-tool/Tool.h"

#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

namespace volumira::tool {

namespace {

struct OntologyOptions {
    std::string input;
    bool json = false;
};

std::vector<int> orderNumbers(const StructureSet& set) {
    std::vector<int> bits;
    for (int b = 0; b < StructureSet::kBitCount; ++b)
        if (set.contains(b)) bits.push_back(b);
    return bits;
}

nlohmann::json describe(const Structure& s) {
    std::vector<int> children;
    for (const Structure* c : s.children)
        children.push_back(c->index);
    return {{"index", s.index},
            {"id", s.id},
            {"name", s.name},
            {"acronym", s.acronym},
            {"parent", s.parent ? nlohmann::json(s.parent->index) : nlohmann::json(nullptr)},
            {"children", children},
            {"order", s.order},
            {"colour", {s.red, s.green, s.blue}},
            {"centre", s.centre},
            {"selfSet", orderNumbers(s.selfSet)},
            {"ancestorSet", orderNumbers(s.ancestorSet)},
            {"subtreeSet", orderNumbers(s.subtreeSet)},
            {"childSet", orderNumbers(s.childSet)}};
}

void printTree(std::ostream& out, const Structure& s, int depth) {
    out << std::string(static_cast<std::size_t>(depth) * 2, ' ') << s.name << " (" << s.acronym << ")  index "
        << int(s.index) << ", id " << s.id << '\n';
    for (const Structure* c : s.children)
        printTree(out, *c, depth + 1);
}

void dump(std::ostream& out, const OntologyOptions& o) {
    const Ontology ontology(o.input);
    // Slot 0 always, and every slot that a line of the file names (those have a line number).
    std::vector<const Structure*> used;
    for (int i = 0; i < Ontology::kSlotCount; ++i) {
        const Structure& s = ontology.structureAt(i);
        if (i == 0 || s.order != 0) used.push_back(&s);
    }
    if (o.json) {
        nlohmann::json structures = nlohmann::json::array();
        for (const Structure* s : used)
            structures.push_back(describe(*s));
        out << nlohmann::json{{"count", ontology.count()},
                              {"nameOrder", ontology.nameOrder()},
                              {"structures", structures}}
                   .dump(2)
            << '\n';
        return;
    }
    out << ontology.count() << " structures (\"No Annotation\" included)\n";
    // Every top-level structure with its subtree: the root, "No Annotation", and any other line without
    // a parent.
    for (const Structure* s : used)
        if (!s->parent) printTree(out, *s, 0);
}

} // namespace

void addOntologyCommands(CLI::App& app, std::ostream& out) {
    CLI::App* ontology = app.add_subcommand("ontology", "Inspect a structure ontology file (ontology.csv)");
    ontology->require_subcommand(1);
    auto options = std::make_shared<OntologyOptions>();

    CLI::App* dumpCommand =
        ontology->add_subcommand("dump", "Print the structure tree, or all fields as JSON");
    dumpCommand->add_option("file", options->input, "Ontology file")->required()->check(CLI::ExistingFile);
    dumpCommand->add_flag("--json", options->json, "Print JSON");
    dumpCommand->callback([&out, options] { dump(out, *options); });
}

} // namespace volumira::tool
