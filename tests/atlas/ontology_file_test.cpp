#include "atlas/Ontology.h"
#include "support/ErrorText.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>

using namespace volumira;

namespace {

// A tree whose lines are deliberately not in index order:
//   root (1) ─┬─ fiber tracts (5)
//             └─ Grey (8) ─┬─ Brain stem (9)
//                          └─ Cerebrum (20) ── Isocortex (30)
// Line numbers (orders): root 1, Grey 2, Cerebrum 3, Brain stem 4, Isocortex 5, fiber tracts 6.
const char* const kTree = "root,root,,255,254,253,1,997,x,10,20,30\n"
                          "Grey,GRY,root,10,20,30,8,8,x,1.5,2.5,3.5\n"
                          "Cerebrum,CH,GRY,176,240,255,20,567,x,0,0,0\n"
                          "Brain stem,BS,GRY,255,112,128,9,343,x,0,0,0\n"
                          "Isocortex,ISO,CH,112,255,113,30,315,x,0,0,0\n"
                          "fiber tracts,fib,root,204,204,204,5,1009,x,0,0,0\n";

std::vector<int> bits(const StructureSet& set) {
    std::vector<int> result;
    for (int b = 0; b < StructureSet::kBitCount; ++b)
        if (set.contains(b)) result.push_back(b);
    return result;
}

std::vector<int> indices(const std::vector<const Structure*>& structures) {
    std::vector<int> result;
    for (const Structure* s : structures)
        result.push_back(s->index);
    return result;
}

// Every field of every slot, so that two readings of one file can be compared whole.
std::string summary(const Ontology& o) {
    std::ostringstream text;
    text << "count " << o.count() << " names";
    for (int i : o.nameOrder())
        text << ' ' << i;
    text << '\n';
    for (int i = 0; i < Ontology::kSlotCount; ++i) {
        const Structure& s = o.structureAt(i);
        text << i << ' ' << s.name << '|' << s.acronym << '|' << int(s.red) << ',' << int(s.green) << ','
             << int(s.blue) << '|' << int(s.index) << '|' << s.id << '|'
             << (s.parent ? int(s.parent->index) : -1) << '|' << s.order << '|' << s.centre[0] << ','
             << s.centre[1] << ',' << s.centre[2] << "| children";
        for (const Structure* c : s.children)
            text << ' ' << int(c->index);
        for (const StructureSet* set : {&s.selfSet, &s.ancestorSet, &s.subtreeSet, &s.childSet}) {
            text << " |";
            for (int b : bits(*set))
                text << ' ' << b;
        }
        text << '\n';
    }
    return text.str();
}

void expectNoAnnotation(const Structure& s) {
    EXPECT_EQ(s.name, "No Annotation");
    EXPECT_EQ(s.acronym, "NA");
    EXPECT_EQ(s.red, 220);
    EXPECT_EQ(s.green, 220);
    EXPECT_EQ(s.blue, 220);
    EXPECT_EQ(s.index, 0);
    EXPECT_EQ(s.id, -1);
    EXPECT_EQ(s.parent, nullptr);
}

class OntologyFile : public ::testing::Test {
  protected:
    std::string write(const std::string& content) {
        const std::string path = dir.file("ontology" + std::to_string(++files) + ".csv");
        test::writeBytes(path, content);
        return path;
    }
    Ontology load(const std::string& content) { return Ontology(write(content)); }

    test::TempDir dir;
    int files = 0;
};

// n lines, line k naming slot k under the root (slot 1).
std::string flatFile(int n) {
    std::string text;
    for (int k = 1; k <= n; ++k)
        text += "S" + std::to_string(1000 + k) + ",A" + std::to_string(k) + "," + (k == 1 ? "" : "A1") +
                ",1,2,3," + std::to_string(k) + "," + std::to_string(k * 10) + "\n";
    return text;
}

} // namespace

TEST_F(OntologyFile, ReadsFieldsOrdersAndLookups) {
    const Ontology o = load(kTree);
    EXPECT_EQ(o.count(), 7);

    const Structure& grey = o.structureAt(8);
    EXPECT_EQ(grey.name, "Grey");
    EXPECT_EQ(grey.acronym, "GRY");
    EXPECT_EQ(grey.index, 8);
    EXPECT_EQ(grey.id, 8);
    EXPECT_EQ(grey.order, 2);
    EXPECT_EQ((std::array<int, 3>{grey.red, grey.green, grey.blue}), (std::array<int, 3>{10, 20, 30}));
    EXPECT_EQ(grey.centre, (std::array<float, 3>{1.5f, 2.5f, 3.5f}));
    EXPECT_EQ(&o.root(), &o.structureAt(1));
    EXPECT_EQ(o.root().centre, (std::array<float, 3>{10, 20, 30}));
    EXPECT_EQ(o.root().red, 255);
    EXPECT_EQ(o.root().blue, 253);

    EXPECT_EQ(&o.structureById(567), &o.structureAt(20));
    EXPECT_EQ(o.structureByAcronym("ISO"), &o.structureAt(30));
    EXPECT_EQ(o.structureByAcronym("NA"), nullptr) << "only lines of the file are looked up by acronym";
    EXPECT_EQ(o.structureByAcronym("missing"), nullptr);

    // By file order: orders 1..6 are the lines, 0 and anything from count() on is "No Annotation".
    const std::vector<std::pair<int, int>> byOrder = {{1, 1}, {2, 8}, {3, 20}, {4, 9},   {5, 30},
                                                      {6, 5}, {0, 0}, {7, 0},  {300, 0}, {-1, 0}};
    for (const auto& [order, index] : byOrder)
        EXPECT_EQ(o.structureByOrder(order).index, index) << "order " << order;

    // Bytewise name order, "No Annotation" last although lower-case names sort after it.
    EXPECT_EQ(o.nameOrder(), (std::vector<std::uint8_t>{9, 20, 8, 30, 5, 1, 0}));
    EXPECT_EQ(o.structureByNamePosition(0).name, "Brain stem");
    EXPECT_EQ(o.structureByNamePosition(5).name, "root");
    EXPECT_EQ(&o.structureByNamePosition(6), &o.structureAt(0));
    EXPECT_EQ(&o.structureByNamePosition(7), &o.structureAt(0));
    EXPECT_EQ(&o.structureByNamePosition(-1), &o.structureAt(0));
}

TEST_F(OntologyFile, UnknownIdsAndUnusedSlotsAreNoAnnotation) {
    const Ontology o = load(kTree);
    expectNoAnnotation(o.structureAt(0));
    expectNoAnnotation(o.structureById(12345));
    EXPECT_EQ(&o.structureById(-1), &o.structureAt(0));
    EXPECT_EQ(&o.structureById(0), &o.structureAt(0));

    const Structure& unused = o.structureAt(100);
    expectNoAnnotation(unused);
    EXPECT_EQ(unused.order, 0);
    EXPECT_TRUE(unused.selfSet.empty() && unused.ancestorSet.empty() && unused.subtreeSet.empty());

    EXPECT_THROW(o.structureAt(256), std::invalid_argument);
    EXPECT_THROW(o.structureAt(-1), std::invalid_argument);
}

TEST_F(OntologyFile, ChildrenAscendByIndexWhateverTheLineOrder) {
    const Ontology o = load(kTree);
    EXPECT_EQ(indices({o.root().children.begin(), o.root().children.end()}), (std::vector<int>{5, 8}));
    const Structure& grey = o.structureAt(8);
    EXPECT_EQ(indices({grey.children.begin(), grey.children.end()}), (std::vector<int>{9, 20}));
    EXPECT_EQ(grey.parent, &o.root());
    EXPECT_EQ(o.structureAt(30).parent, &o.structureAt(20));
    EXPECT_EQ(o.root().parent, nullptr);
}

TEST_F(OntologyFile, SetsFollowTheTree) {
    const Ontology o = load(kTree);
    struct Expected {
        int index;
        std::vector<int> self, ancestors, subtree, children;
    };
    const std::vector<Expected> table = {
        {1, {1}, {1}, {1, 2, 3, 4, 5, 6}, {2, 6}},
        {8, {2}, {1, 2}, {2, 3, 4, 5}, {3, 4}},
        {20, {3}, {1, 2, 3}, {3, 5}, {5}},
        {9, {4}, {1, 2, 4}, {4}, {}},
        {30, {5}, {1, 2, 3, 5}, {5}, {}},
        {5, {6}, {1, 6}, {6}, {}},
        // "No Annotation" takes the order after the last line and stays out of the tree.
        {0, {7}, {7}, {7}, {}},
    };
    for (const Expected& e : table) {
        const Structure& s = o.structureAt(e.index);
        EXPECT_EQ(bits(s.selfSet), e.self) << s.name;
        EXPECT_EQ(bits(s.ancestorSet), e.ancestors) << s.name;
        EXPECT_EQ(bits(s.subtreeSet), e.subtree) << s.name;
        EXPECT_EQ(bits(s.childSet), e.children) << s.name;
    }
    EXPECT_EQ(o.structureAt(0).order, 0) << "the field keeps its default; only the set carries the bit";

    std::vector<const Structure*> found = {&o.root()};
    o.structuresIn(o.structureAt(8).subtreeSet, found);
    EXPECT_EQ(indices(found), (std::vector<int>{8, 9, 20, 30})) << "cleared first, then in index order";
    o.structuresIn(o.structureAt(0).selfSet, found);
    EXPECT_EQ(indices(found), (std::vector<int>{0}));
    o.structuresIn(StructureSet{}, found);
    EXPECT_TRUE(found.empty());
}

TEST_F(OntologyFile, ByteOrderMarkAndCarriageReturnsReadLikeThePlainFile) {
    const std::string plain = summary(load(kTree));
    EXPECT_EQ(summary(load(std::string("\xEF\xBB\xBF") + kTree)), plain);

    std::string crlf;
    for (const char* c = kTree; *c; ++c)
        crlf += *c == '\n' ? std::string("\r\n") : std::string(1, *c);
    EXPECT_EQ(summary(load(crlf)), plain);
    EXPECT_EQ(summary(load("\xEF\xBB\xBF" + crlf)), plain);

    std::string lastLineUnterminated = kTree;
    lastLineUnterminated.pop_back();
    EXPECT_EQ(summary(load(lastLineUnterminated)), plain);
}

TEST_F(OntologyFile, EmptyFileKeepsDefaultsAndAByteOrderMarkAloneIsNoAnnotationOnly) {
    const Ontology empty = load("");
    EXPECT_EQ(empty.count(), 0);
    EXPECT_TRUE(empty.nameOrder().empty());
    EXPECT_TRUE(empty.structureAt(0).selfSet.empty());
    expectNoAnnotation(empty.root());
    EXPECT_TRUE(empty.root().subtreeSet.empty()) << "no line for slot 1, so no tree to walk";

    const Ontology bomOnly = load("\xEF\xBB\xBF");
    EXPECT_EQ(bomOnly.count(), 1);
    EXPECT_EQ(bomOnly.nameOrder(), (std::vector<std::uint8_t>{0}));
    EXPECT_EQ(bits(bomOnly.structureAt(0).selfSet), (std::vector<int>{1}));
}

TEST_F(OntologyFile, AtMost255LinesAndTheOrderWraps) {
    const Ontology full = load(flatFile(255));
    EXPECT_EQ(full.count(), 256);
    EXPECT_EQ(full.structureAt(255).order, 255);
    EXPECT_EQ(bits(full.structureAt(255).selfSet), (std::vector<int>{255}));
    EXPECT_EQ(bits(full.structureAt(0).selfSet), (std::vector<int>{0})) << "256 kept in one byte";
    EXPECT_EQ(full.root().children.size(), 254u);
    EXPECT_EQ(bits(full.root().subtreeSet).size(), 255u);
    EXPECT_EQ(full.nameOrder().size(), 256u);
    EXPECT_EQ(full.nameOrder().back(), 0);

    const std::string path = write(flatFile(255) + "One too many,X,,1,2,3,7,7\n");
    EXPECT_EQ(test::errorOf([&] { Ontology{path}; }),
              "Expected number of structures exceeded while reading ontology file: " + path);
}

TEST_F(OntologyFile, BadLinesAreRejected) {
    const std::string good = "root,root,,1,2,3,1,997\n";
    struct Case {
        const char* what;
        std::string content;
    };
    const std::vector<Case> cases = {
        {"empty line between structures", good + "\nGrey,GRY,root,1,2,3,8,8\n"},
        {"empty first line", "\n" + good},
        {"blank line with a carriage return", good + "\r\n"},
        {"seven fields", good + "Grey,GRY,root,1,2,3,8\n"},
        {"structure is its own parent", "root,root,root,1,2,3,1,997\n"},
        {"parents in a circle", "root,root,GRY,1,2,3,1,997\nGrey,GRY,root,1,2,3,8,8\n"},
        {"circle away from the root", good + "A,A,B,1,2,3,2,2\nB,B,A,1,2,3,3,3\n"},
    };
    for (const Case& c : cases) {
        const std::string path = write(c.content);
        EXPECT_EQ(test::errorOf([&] { Ontology{path}; }),
                  "Unexpected line while reading ontology file: " + path)
            << c.what;
    }

    const std::string orphan = write(good + "Grey,GRY,XYZ,1,2,3,8,8\n");
    EXPECT_EQ(test::errorOf([&] { Ontology{orphan}; }),
              "Unknown parent structure \"XYZ\" in ontology file: " + orphan);

    for (const std::string& path : {dir.file("missing.csv"), dir.path()})
        EXPECT_EQ(test::errorOf([&] { Ontology{path}; }), "Error while opening ontology file: " + path);
}

// Each annotation value names one structure, and 0 is the outside of the brain: a line that reuses a
// slot is refused with a message that names it, rather than overwriting what an earlier line said.
TEST_F(OntologyFile, IndexZeroRepeatedAndOutOfRangeIndicesNameTheirLine) {
    const std::string lines = "root,root,,1,2,3,1,997\nGrey,GRY,root,1,2,3,8,8\nCH,CH,GRY,1,2,3,20,567\n";
    struct Case {
        std::string content, message;
    };
    const std::vector<Case> cases = {
        {lines + "Outside,OUT,root,1,2,3,0,5\n", "Structure index 0 on line 4 is kept for \"No Annotation\""},
        {"\xEF\xBB\xBFOutside,OUT,,1,2,3,0,5\n" + lines,
         "Structure index 0 on line 1 is kept for \"No Annotation\""},
        {lines + "Iso,ISO,CH,1,2,3, 8,315\n", "Structure index 8 on line 4 was already given on line 2"},
        {lines + "Iso,ISO,CH,1,2,3,20,315\r\n", "Structure index 20 on line 4 was already given on line 3"},
        {lines + "Root again,root,,1,2,3,1,998\n", "Structure index 1 on line 4 was already given on line 1"},
        {lines + "Iso,ISO,CH,1,2,3,256,315\n", "Structure index \"256\" on line 4 is not a number from 1 to 255"},
        {lines + "Iso,ISO,CH,1,2,3,-1,315\n", "Structure index \"-1\" on line 4 is not a number from 1 to 255"},
        {lines + "Iso,ISO,CH,1,2,3,abc,315\n", "Structure index \"abc\" on line 4 is not a number from 1 to 255"},
        {lines + "Iso,ISO,CH,1,2,3,,315\n", "Structure index \"\" on line 4 is not a number from 1 to 255"},
    };
    for (const Case& c : cases) {
        const std::string path = write(c.content);
        EXPECT_EQ(test::errorOf([&] { Ontology{path}; }), c.message + " in ontology file: " + path);
    }
    // The same lines with distinct indices read, so it is the index alone that is refused.
    EXPECT_EQ(load(lines + "Iso,ISO,CH,1,2,3,30,315\n").count(), 5);
}

TEST_F(OntologyFile, NumbersReadLikeTheStandardConversionsWithoutOverflow) {
    const Ontology o = load("A,A,,300,-1, 7x,1,  -42junk\n"
                            "B,B,A,0,0,0,+2,99999999999,x, 2.5e1xyz,abc,+1.5\n"
                            "C,C,A,0,0,0, 3,-99999999999,x,1e999,nan,-0.25\n"
                            "D,D,A,0,0,0,4,70000\n"
                            "E,E,A,0,0,0,5,4464,x,7\n"
                            "F,F,A,0,0,0,6,\t12,x,7,8\n"
                            "G,G,A,0,0,0,7,,x,1,2,3,ignored,also ignored\n");
    const Structure& a = o.structureAt(1);
    EXPECT_EQ((std::array<int, 3>{a.red, a.green, a.blue}), (std::array<int, 3>{44, 255, 7})) << "low bytes";
    EXPECT_EQ(a.id, -42);
    EXPECT_EQ(o.structureAt(2).id, 2147483647);
    EXPECT_EQ(o.structureAt(2).centre, (std::array<float, 3>{25.0f, 0.0f, 1.5f}));
    EXPECT_EQ(o.structureAt(3).id, -2147483647 - 1);
    EXPECT_EQ(o.structureAt(3).centre, (std::array<float, 3>{0.0f, 0.0f, -0.25f})) << "non-finite reads as 0";
    // Lines of 8 to 11 fields: the missing centre coordinates are 0.
    EXPECT_EQ(o.structureAt(4).centre, (std::array<float, 3>{0, 0, 0}));
    EXPECT_EQ(o.structureAt(5).centre, (std::array<float, 3>{7, 0, 0}));
    EXPECT_EQ(o.structureAt(6).centre, (std::array<float, 3>{7, 8, 0}));
    EXPECT_EQ(o.structureAt(6).id, 12);
    EXPECT_EQ(o.structureAt(7).centre, (std::array<float, 3>{1, 2, 3}));
    EXPECT_EQ(o.structureAt(7).id, 0);
    // IDs are looked up whole: 70000 and 4464 share their low 16 bits but are different structures.
    EXPECT_EQ(o.structureById(70000).index, 4);
    EXPECT_EQ(o.structureById(4464).index, 5);
}

TEST_F(OntologyFile, MovingKeepsTheTreeIntact) {
    Ontology first = load(kTree);
    const Structure* grey = &first.structureAt(8);
    Ontology moved = std::move(first);
    EXPECT_EQ(&moved.structureAt(8), grey);
    EXPECT_EQ(moved.structureAt(30).parent->parent, grey);
    EXPECT_EQ(moved.structureByAcronym("GRY"), grey);
}
