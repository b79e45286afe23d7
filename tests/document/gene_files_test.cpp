#include "document/GeneFiles.h"
#include "expression/GeneExpression.h"
#include "expression/TestModel.h"
#include "preferences/MemorySettingsStore.h"
#include "support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <stdexcept>

namespace volumira {
namespace {

// Opens "files" by name without reading them: a path containing "bad" fails like a damaged file.
class FileModel : public test::TestModel {
  public:
    void addGeneFromFile(const std::string& path) override {
        if (path.find("bad") != std::string::npos) throw std::runtime_error("Unexpected file format.");
        addGene(std::make_unique<GeneExpression>(path, path));
    }
};

// Answers the save dialogs from a list; an empty answer cancels.
class ScriptedChooser : public SaveLocationChooser {
  public:
    std::optional<std::string> chooseSavePath(const GeneExpression& gene) override {
        offered.push_back(gene.symbol());
        events.push_back("dialog");
        if (answers.empty() || answers.front().empty()) return std::nullopt;
        std::string path = answers.front();
        answers.erase(answers.begin());
        return path;
    }
    std::vector<std::string> answers, offered, events;
};

class GeneFilesTest : public ::testing::Test {
  protected:
    std::vector<std::string> symbols() const {
        std::vector<std::string> result;
        for (int i = 0; i < model.geneCount(); ++i) result.push_back(model.geneAt(i).symbol());
        return result;
    }

    MemorySettingsStore store;
    FileModel model;
    GeneFiles files{model, store};
    test::TempDir dir;
};

TEST_F(GeneFilesTest, OpeningAddsTheGeneListsTheFileAndIgnoresTheSamePathUntilClose) {
    EXPECT_EQ(files.open("/a.xpr"), "");
    EXPECT_EQ(files.open("/b.xpr"), "");
    EXPECT_EQ(files.open("/b.xpr"), "") << "the same path again does nothing";
    EXPECT_EQ(symbols(), (std::vector<std::string>{"/a.xpr", "/b.xpr"}));
    EXPECT_EQ(files.recentFiles().paths(), (std::vector<std::string>{"/b.xpr", "/a.xpr"}));
    EXPECT_EQ(files.open("/a.xpr"), "") << "another path than the last one opens again";
    EXPECT_EQ(model.geneCount(), 3);

    const int row[] = {0};
    files.close(row);
    EXPECT_EQ(files.rememberedPath(), "");
    EXPECT_EQ(files.open("/a.xpr"), "");
    EXPECT_EQ(model.geneCount(), 3);
}

// The names a user may type or drop for one file, relative to the working directory, through a link or
// with "..", are one file: its gene is added once and the recent list holds the one absolute name, which
// still opens from any other directory.
TEST_F(GeneFilesTest, EveryNameOfOneFileAddsItsGeneOnceUnderItsAbsolutePath) {
    namespace fs = std::filesystem;
    const std::string base = fs::canonical(dir.path()).string();
    fs::create_directories(base + "/genes/sub");
    std::ofstream(base + "/genes/gene.xpr") << "x";
    fs::create_directory_symlink(base + "/genes", base + "/link");
    const std::string gene = base + "/genes/gene.xpr";
    struct WorkingDirectory {
        fs::path before = fs::current_path();
        ~WorkingDirectory() { fs::current_path(before); }
    } restore;
    fs::current_path(base + "/genes");

    for (const std::string& name : {std::string("gene.xpr"), gene, std::string("./sub/../gene.xpr"),
                                    base + "/link/gene.xpr", std::string("../link/gene.xpr")})
        EXPECT_EQ(files.open(name), "") << name;
    EXPECT_EQ(symbols(), std::vector<std::string>{gene});
    EXPECT_EQ(files.rememberedPath(), gene);
    EXPECT_EQ(files.recentFiles().paths(), std::vector<std::string>{gene});
    EXPECT_EQ(store.readText(RecentFileList::kSection, "File1", ""), gene);

    // A file that cannot be read is named in full in the message.
    fs::current_path(base);
    EXPECT_EQ(files.open("bad.xpr"), "Gene expression file " + base + "/bad.xpr could not be read.\n"
                                     "Unexpected file format.");
}

TEST_F(GeneFilesTest, AFileThatCannotBeReadLeavesTheModelAndTheListAlone) {
    EXPECT_EQ(files.open("/bad.xpr"), "Gene expression file /bad.xpr could not be read.\nUnexpected file format.");
    EXPECT_EQ(model.geneCount(), 0);
    EXPECT_TRUE(files.recentFiles().paths().empty());
    EXPECT_EQ(files.rememberedPath(), "");
}

TEST_F(GeneFilesTest, ClosingRemovesTheChosenRowsFromTheLastToTheFirst) {
    for (const char* path : {"/0", "/1", "/2"}) files.open(path);
    const int rows[] = {2, 0};
    files.close(rows);
    EXPECT_EQ(symbols(), (std::vector<std::string>{"/1"}));
}

TEST_F(GeneFilesTest, SavingOffersOneDialogPerGeneAndACancelEndsTheCommand) {
    for (const char* path : {"/0", "/1", "/2"}) files.open(path);
    ScriptedChooser chooser;
    chooser.answers = {dir.file("first.xpr"), ""};
    const int rows[] = {2, 0, 1};
    EXPECT_EQ(files.save(rows, chooser), "");
    EXPECT_EQ(chooser.offered, (std::vector<std::string>{"/0", "/1"}));
    EXPECT_TRUE(std::filesystem::exists(dir.file("first.xpr")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("second.xpr")));
}

TEST_F(GeneFilesTest, AFailedSaveEndsTheCommandWithItsMessage) {
    for (const char* path : {"/0", "/1"}) files.open(path);
    ScriptedChooser chooser;
    chooser.answers = {dir.file("missing/folder/g.xpr"), dir.file("g.xpr")};
    const int rows[] = {0, 1};
    const std::string message = files.save(rows, chooser);
    EXPECT_EQ(message.rfind("Could not save gene file.\n", 0), 0u) << message;
    EXPECT_GT(message.size(), std::string("Could not save gene file.\n").size());
    EXPECT_EQ(chooser.offered.size(), 1u);
}

TEST_F(GeneFilesTest, EachWriteAndOnlyTheWriteIsMarkedBusy) {
    for (const char* path : {"/0", "/1", "/2"}) files.open(path);
    ScriptedChooser chooser;
    chooser.answers = {dir.file("first.xpr"), dir.file("missing/folder/g.xpr")};
    const auto busy = [&](bool on) {
        chooser.events.push_back(on ? "busy" : "idle");
        if (!on) chooser.events.push_back(std::filesystem::exists(dir.file("first.xpr")) ? "written" : "not written");
    };
    const int rows[] = {0, 1, 2};
    EXPECT_NE(files.save(rows, chooser, busy), "");
    // The failed write is marked too, and its busy state ends before the message goes back.
    EXPECT_EQ(chooser.events, (std::vector<std::string>{"dialog", "busy", "idle", "written", "dialog", "busy", "idle",
                                                        "written"}));
}

TEST(RecentFileListTest, MenuLabelsNumberOneToNineThenTenAndShowAmpersands) {
    const struct {
        std::size_t index;
        const char* path;
        const char* label;
    } cases[] = {
        {0, "/a.xpr", "&1 /a.xpr"},
        {8, "/i.xpr", "&9 /i.xpr"},
        {9, "/j.xpr", "1&0 /j.xpr"},
        {0, "/R&D/g&.xpr", "&1 /R&&D/g&&.xpr"},
    };
    for (const auto& c : cases) EXPECT_EQ(RecentFileList::menuLabel(c.index, c.path), c.label) << c.path;
}

TEST(RecentFileListTest, KeepsTenNewestFirstAndStoresThemAsFile1To10) {
    MemorySettingsStore store;
    {
        RecentFileList list(store);
        for (int i = 0; i < 12; ++i) list.add("/gene" + std::to_string(i) + ".xpr");
        list.add("/gene5.xpr");
        EXPECT_EQ(list.paths().size(), 10u);
        EXPECT_EQ(list.paths().front(), "/gene5.xpr");
        EXPECT_EQ(list.paths()[1], "/gene11.xpr");
        EXPECT_EQ(list.paths().back(), "/gene2.xpr");
    }
    EXPECT_EQ(store.readText("Recent File List", "File1", ""), "/gene5.xpr");
    EXPECT_EQ(store.readText("Recent File List", "File10", ""), "/gene2.xpr");
    RecentFileList again(store);
    EXPECT_EQ(again.paths().size(), 10u);
    again.remove("/gene5.xpr");
    EXPECT_EQ(store.readText("Recent File List", "File1", ""), "/gene11.xpr");
    EXPECT_EQ(store.readText("Recent File List", "File10", ""), "");
}

} // namespace
} // namespace volumira
