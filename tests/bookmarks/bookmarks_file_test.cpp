#include "bookmarks/BookmarksFile.h"
#include "bookmarks/BookmarksReader.h"
#include "support/ErrorText.h"
#include "BookmarkTestData.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace volumira {
namespace {

using test::BookmarkOntology;
using test::TempDir;

BookmarkTree readText(const std::string& text, const Ontology& ontology) {
    TempDir dir;
    test::writeBytes(dir.file("Bookmarks.xml"), text);
    BookmarkTree tree;
    BookmarkTreeAdapter adapter(tree);
    BookmarksReader reader(dir.file("Bookmarks.xml"), &adapter, ontology);
    return tree;
}

// A tree that uses every part of the grammar.
BookmarkTree sampleTree(const BookmarkOntology& o) {
    BookmarkTree tree;
    BookmarkNode& group = tree.root.addGroup("Mine & \"yours\"", true);
    Bookmark full("<All>", Bookmark::AllSettings);
    full.expressionFilter.unite(o.byAcronym("TH").selfSet);
    full.expressionFilter.unite(o.byAcronym("A&B").selfSet);
    full.rotation = {0.0f, 0.70710677f, 0.0f, 0.70710677f};
    full.origin = {1.5f, -2.0f, 0.0f};
    full.zoom = 80.0f;
    full.sliceVisible = {1, 0, 1};
    full.sliceLocation = {66.5f, 40.0f, -1.0f};
    full.clipping = {1, 131, 0, 80, 10, 100};
    full.scoreUpper = 120.0f;
    full.countLower = 5.0f;
    group.addBookmark(full);
    group.addGroup("Empty", false);
    Bookmark zoom("Zoom only", Bookmark::ViewZoom);
    zoom.zoom = 33.25f;
    tree.root.addBookmark(zoom);
    return tree;
}

const char* const kSampleText = R"(<?xml version="1.0" encoding="utf-8"?>
<Bookmarks>
    <BookmarkGroup name="Mine &amp; &quot;yours&quot;" expanded="true">
        <Bookmark name="&lt;All&gt;">
            <ExpressionFilter>
                <Structure id="1234" name="A&amp;B"/>
                <Structure id="549" name="TH"/>
            </ExpressionFilter>
            <AtlasStructures>
            </AtlasStructures>
            <Rotation>0 0.707107 0 0.707107</Rotation>
            <Origin>1.5 -2 0</Origin>
            <Zoom>80</Zoom>
            <NisslSlice orientation="coronal" location="66.5"/>
            <ClippingPlane orientation="coronal" lower="1" upper="131"/>
            <ClippingPlane orientation="horizontal" lower="0" upper="80"/>
            <ClippingPlane orientation="sagittal" lower="10" upper="100"/>
            <ExpressionScoreThreshold upper="120"/>
            <NumberOfExpressorsThreshold lower="5"/>
        </Bookmark>
        <BookmarkGroup name="Empty">
        </BookmarkGroup>
    </BookmarkGroup>
    <Bookmark name="Zoom only">
        <Zoom>33.25</Zoom>
    </Bookmark>
</Bookmarks>
)";

TEST(BookmarksWriter, WritesTheExactGrammar) {
    BookmarkOntology o;
    EXPECT_EQ(bookmarksText(sampleTree(o), o.ontology), kSampleText);
}

TEST(BookmarksReader, ReadsWhatTheWriterWroteBackToTheSameTree) {
    BookmarkOntology o;
    const BookmarkTree tree = readText(kSampleText, o.ontology);
    EXPECT_EQ(bookmarksText(tree, o.ontology), kSampleText);

    ASSERT_EQ(tree.root.children.size(), 2u);
    const BookmarkNode& group = *tree.root.children[0];
    EXPECT_TRUE(group.isGroup());
    EXPECT_EQ(group.name, "Mine & \"yours\"");
    EXPECT_TRUE(group.expanded);
    const Bookmark& full = *group.children[0]->bookmark;
    EXPECT_EQ(full.name(), "<All>");
    // The sagittal section was hidden, so only the coronal one came back.
    EXPECT_EQ(full.sliceVisible, (std::array<std::uint8_t, 3>{1, 0, 0}));
    EXPECT_EQ(full.scoreLower, 0.0f);
    EXPECT_EQ(full.scoreUpper, 120.0f);
    EXPECT_EQ(full.countUpper, -1.0f);
    EXPECT_EQ(full.settings, 0x7F);
    EXPECT_FALSE(group.children[1]->expanded);
    EXPECT_EQ(tree.root.children[1]->bookmark->settings, Bookmark::ViewZoom);
}

TEST(BookmarkTree, FeedingATreeToAnAdapterRebuildsIt) {
    BookmarkOntology o;
    const BookmarkTree original = sampleTree(o);
    BookmarkTree copy;
    BookmarkTreeAdapter adapter(copy);
    feedTree(original, adapter);
    EXPECT_EQ(bookmarksText(copy, o.ontology), kSampleText);
}

TEST(BookmarksReader, AcceptsLooseFilesAndSkipsWhatItCannotUse) {
    BookmarkOntology o;
    const BookmarkTree tree = readText(R"(<?xml version="1.0"?>
<Whatever>
  <Unknown><BookmarkGroup expanded="yes"><Bookmark name="first">
    <AtlasStructures><Structure id="315"/><Structure id="0"/><Structure id="999999"/><Structure id="x"/>
      <Structure id="698" name="ignored"/></AtlasStructures>
    <Rotation>1 2 3</Rotation>
    <Zoom>  55.5</Zoom>
    <NisslSlice orientation="oblique" location="10"/>
    <NisslSlice location="-1" orientation="coronal"/>
    <ClippingPlane orientation="sagittal" lower="4"/>
    <ExpressionScoreThreshold lower="abc"/>
    <Mystery><Zoom>60</Zoom></Mystery>
  </Bookmark></BookmarkGroup></Unknown>
  <BookmarkGroup name=""/>
  <Bookmark><Origin>7 8 9 10</Origin></Bookmark>
</Whatever>)",
                                       o.ontology);
    ASSERT_EQ(tree.root.children.size(), 3u);
    const BookmarkNode& unnamed = *tree.root.children[0];
    EXPECT_EQ(unnamed.name, "Bookmark Group");
    EXPECT_FALSE(unnamed.expanded);
    ASSERT_EQ(unnamed.children.size(), 1u);
    const Bookmark& b = *unnamed.children[0]->bookmark;
    EXPECT_EQ(b.name(), "first");
    StructureSet expected = o.byAcronym("Isocortex").selfSet;
    expected.unite(o.byAcronym("OLF").selfSet);
    EXPECT_EQ(b.atlasStructures, expected);
    // Too few pieces leave the rotation alone but still mark the view angle as held.
    EXPECT_EQ(b.rotation, (std::array<float, 4>{0, 0, 0, 0}));
    EXPECT_EQ(b.zoom, 60.0f);
    EXPECT_EQ(b.sliceVisible, (std::array<std::uint8_t, 3>{0, 0, 0}));
    EXPECT_EQ(b.clipUpper(2), 114.0f);
    EXPECT_EQ(b.scoreLower, 0.0f);
    EXPECT_EQ(b.settings, Bookmark::AtlasStructures | Bookmark::ViewAngle | Bookmark::ViewZoom |
                              Bookmark::ExpressionThresholds);
    EXPECT_EQ(tree.root.children[1]->name, "Bookmark Group");
    const Bookmark& top = *tree.root.children[2]->bookmark;
    EXPECT_EQ(top.name(), "");
    EXPECT_EQ(top.origin, (std::array<float, 3>{7, 8, 9}));
}

TEST(BookmarksReader, ThresholdsWithoutBoundsReadAsNone) {
    BookmarkOntology o;
    Bookmark plain("Plain", Bookmark::ExpressionThresholds);
    BookmarkTree tree;
    tree.root.addBookmark(plain);
    const std::string text = bookmarksText(tree, o.ontology);
    EXPECT_NE(text.find("        <ExpressionScoreThreshold/>\n"), std::string::npos);
    const BookmarkTree read = readText(text, o.ontology);
    const Bookmark& back = *read.root.children[0]->bookmark;
    EXPECT_EQ(back.scoreLower, 0.0f);
    EXPECT_EQ(back.scoreUpper, -1.0f);
    EXPECT_EQ(back.countUpper, -1.0f);
}

TEST(BookmarksReader, ReportsItsErrors) {
    BookmarkOntology o;
    TempDir dir;
    BookmarkTree tree;
    BookmarkTreeAdapter adapter(tree);
    test::writeBytes(dir.file("bad.xml"), "<Bookmarks><Bookmark name=\"a\"></Bookmarks>");
    const std::string big(5000, ' ');
    test::writeBytes(dir.file("long.xml"), "<Bookmarks>" + big + "<Bookmark name=\"x\">" + big + "</Bookmarks>");
    struct Case {
        std::string path;
        BookmarksIOAdapter* adapter;
        std::string message;
    };
    const Case cases[] = {
        {dir.file("bad.xml"), nullptr, "A bookmark adapter is required to read bookmarks."},
        {"", &adapter, "Bookmark file name not specified."},
        {dir.file("missing.xml"), &adapter, "Bookmarks file could not be opened."},
        {dir.file("bad.xml"), &adapter, "Error parsing bookmarks file."},
        {dir.file("long.xml"), &adapter, "Error parsing bookmarks file."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(test::errorOf([&] { BookmarksReader(c.path, c.adapter, o.ontology); }), c.message) << c.path;
}

TEST(BookmarksFile, MissingOrDamagedFilesGiveTheDefaults) {
    BookmarkOntology o;
    TempDir dir;
    const BookmarksFile file(dir.path() + "/", o.ontology);
    const std::string defaults = bookmarksText(defaultBookmarks(o.ontology), o.ontology);
    EXPECT_EQ(bookmarksText(file.load(), o.ontology), defaults);

    test::writeBytes(file.path(), "<Bookmarks><BookmarkGroup name=\"half\"><Bookmark name=\"b\">");
    EXPECT_EQ(bookmarksText(file.load(), o.ontology), defaults);
    // The damaged file stays until a save replaces it.
    EXPECT_TRUE(std::filesystem::exists(file.path()));
}

TEST(BookmarksFile, ASaveStoppedBetweenItsMovesLeavesTheTreeInTheBackup) {
    BookmarkOntology o;
    TempDir dir;
    const BookmarksFile file(dir.path() + "/", o.ontology);
    const std::string defaults = bookmarksText(defaultBookmarks(o.ontology), o.ontology);
    ASSERT_TRUE(file.save(sampleTree(o)));
    // The first move of the next save done, the second not: only ".bak" and ".new" are there.
    test::writeBytes(file.newPath(), "<Bookmarks><BookmarkGroup name=\"newer\"/></Bookmarks>\n");
    std::filesystem::rename(file.path(), file.backupPath());
    EXPECT_EQ(bookmarksText(file.load(), o.ontology), kSampleText);

    // A damaged backup gives the defaults, and a present "Bookmarks.xml" always wins over it.
    test::writeBytes(file.backupPath(), "<Bookmarks><Bookmark");
    EXPECT_EQ(bookmarksText(file.load(), o.ontology), defaults);
    ASSERT_TRUE(file.save(sampleTree(o)));
    test::writeBytes(file.backupPath(), "<Bookmarks/>\n");
    EXPECT_EQ(bookmarksText(file.load(), o.ontology), kSampleText);
}

TEST(BookmarksFile, DefaultBookmarks) {
    BookmarkOntology o;
    const BookmarkTree tree = defaultBookmarks(o.ontology);
    ASSERT_EQ(tree.root.children.size(), 2u);
    const BookmarkNode& views = *tree.root.children[0];
    EXPECT_EQ(views.name, "Views");
    EXPECT_TRUE(views.expanded);
    ASSERT_EQ(views.children.size(), 6u);
    EXPECT_EQ(views.children[0]->name, "Coronal - Caudal to Rostral");
    EXPECT_EQ(views.children[0]->bookmark->rotation, (std::array<float, 4>{0, 0.707107f, 0, 0.707107f}));
    EXPECT_EQ(views.children[5]->name, "Sagittal - Right to Left");
    EXPECT_EQ(views.children[5]->bookmark->rotation, (std::array<float, 4>{0, 1, 0, 0}));
    for (const auto& view : views.children)
        EXPECT_EQ(view->bookmark->settings, Bookmark::ViewAngle);
    const BookmarkNode& structures = *tree.root.children[1];
    EXPECT_EQ(structures.name, "Atlas Structures");
    ASSERT_EQ(structures.children.size(), 2u);
    StructureSet searchable = o.byAcronym("Isocortex").selfSet;
    searchable.unite(o.byAcronym("OLF").selfSet);
    searchable.unite(o.byAcronym("TH").selfSet);
    EXPECT_EQ(structures.children[0]->bookmark->atlasStructures, searchable);
    EXPECT_TRUE(structures.children[1]->bookmark->atlasStructures.empty());
    EXPECT_EQ(structures.children[1]->name, "None");
}

TEST(BookmarksFile, SaveKeepsThePreviousFileAsBackup) {
    BookmarkOntology o;
    TempDir dir;
    const BookmarksFile file(dir.path() + "/", o.ontology);
    BookmarkTree first = sampleTree(o);
    ASSERT_TRUE(file.save(first));
    EXPECT_EQ(test::readBytes(file.path()), kSampleText);
    EXPECT_FALSE(std::filesystem::exists(file.backupPath()));
    EXPECT_FALSE(std::filesystem::exists(file.newPath()));

    // Deleting the "Views" group and saving leaves it out for good.
    BookmarkTree second = file.load();
    second.root.children.erase(second.root.children.begin());
    ASSERT_TRUE(file.save(second));
    EXPECT_EQ(test::readBytes(file.backupPath()), kSampleText);
    EXPECT_EQ(bookmarksText(file.load(), o.ontology), bookmarksText(second, o.ontology));
}

TEST(BookmarksFile, AFailedSaveLeavesTheLastGoodCopy) {
    if (geteuid() == 0) GTEST_SKIP() << "root ignores directory permissions";
    BookmarkOntology o;
    TempDir dir;
    const BookmarksFile file(dir.path() + "/", o.ontology);
    ASSERT_TRUE(file.save(sampleTree(o)));
    ASSERT_EQ(chmod(dir.path().c_str(), 0500), 0);
    EXPECT_FALSE(file.save(defaultBookmarks(o.ontology)));
    chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(test::readBytes(file.path()), kSampleText);
    EXPECT_FALSE(std::filesystem::exists(file.newPath()));
}

TEST(BookmarksFile, AFailedMoveRemovesTheNewFile) {
    BookmarkOntology o;
    TempDir dir;
    const BookmarksFile file(dir.path() + "/", o.ontology);
    ASSERT_TRUE(file.save(sampleTree(o)));
    // A directory where the backup must go makes the move fail, whoever runs the test.
    std::filesystem::create_directories(file.backupPath() + "/occupied");
    EXPECT_FALSE(file.save(defaultBookmarks(o.ontology)));
    EXPECT_EQ(test::readBytes(file.path()), kSampleText);
    EXPECT_FALSE(std::filesystem::exists(file.newPath()));
}

} // namespace
} // namespace volumira
