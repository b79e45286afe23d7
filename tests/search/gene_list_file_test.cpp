#include "ListRecorder.h"
#include "search/GeneListFile.h"
#include "search/PagedGeneList.h"
#include "support/ErrorText.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace volumira {
namespace {

using Listener = PagedGeneListListener;
using Fields = std::vector<std::string>;
using test::errorOf;

TEST(GeneListFile, SplitsFieldsWithQuotedCommas) {
    EXPECT_EQ(splitGeneListLine("Gad1,79,\"glutamate decarboxylase 1, brain\""),
              (Fields{"Gad1", "79", "glutamate decarboxylase 1, brain"}));
    EXPECT_EQ(splitGeneListLine("a,,b,"), (Fields{"a", "", "b", ""}));
    EXPECT_EQ(splitGeneListLine(""), (Fields{""}));
    EXPECT_EQ(splitGeneListLine("x\"y,z\"w,v"), (Fields{"xy,zw", "v"}));
    // An unclosed quote keeps the rest of the line in one field.
    EXPECT_EQ(splitGeneListLine("\"a,b,c"), (Fields{"a,b,c"}));
}

TEST(GeneListFile, ColumnsFollowTheHeader) {
    const GeneListColumns idKind(Fields{"id", "geneName", "geneSymbol", "more"});
    EXPECT_TRUE(idKind.idKind());
    const auto byId = idKind.read(Fields{"14415", "glutamate decarboxylase 1", "Gad1"});
    ASSERT_TRUE(byId);
    EXPECT_EQ(byId->geneId, 14415);
    EXPECT_EQ(byId->name, "glutamate decarboxylase 1");
    EXPECT_EQ(byId->symbol, "Gad1");
    EXPECT_EQ(byId->experimentId + byId->imageSeriesId, 0);
    EXPECT_FALSE(idKind.read(Fields{"0", "no id", "X"}));

    const GeneListColumns experiments(Fields{"symbol", "exp", "GeneName", "GENEID"});
    EXPECT_FALSE(experiments.idKind());
    EXPECT_TRUE(experiments.experimentIds());
    const auto line = experiments.read(Fields{"Pvalb", "1234", "parvalbumin", "19293"});
    ASSERT_TRUE(line);
    EXPECT_EQ(line->experimentId, 1234);
    EXPECT_EQ(line->imageSeriesId, 0);
    EXPECT_EQ(line->name, "parvalbumin");
    EXPECT_EQ(line->geneId, 19293);
    // A short line gives what it has; a line with neither number is skipped.
    const auto shortLine = experiments.read(Fields{"Calb1", "77"});
    ASSERT_TRUE(shortLine);
    EXPECT_EQ(shortLine->name, "");
    EXPECT_FALSE(experiments.read(Fields{"Nothing", "x", "name", "0"}));

    EXPECT_TRUE(GeneListColumns(Fields{"symbol", ""}).experimentIds());
    EXPECT_FALSE(GeneListColumns(Fields{"symbol", "imageseries"}).experimentIds());
    EXPECT_FALSE(GeneListColumns(Fields{"symbol", "Experiment"}).experimentIds());
    // The id kind needs all three names exactly, and a third field.
    EXPECT_FALSE(GeneListColumns(Fields{"id", "geneName"}).idKind());
    EXPECT_FALSE(GeneListColumns(Fields{"id", "genename", "geneSymbol"}).idKind());
}

class GeneListImport : public testing::Test {
  protected:
    std::string write(const std::string& text) {
        const std::string path = dir_.file("My genes.csv");
        test::writeBytes(path, text);
        return path;
    }

    test::TempDir dir_;
    PagedGeneList list_{"0310", 10};
};

TEST_F(GeneListImport, ImportsExperimentsWithNamesAndSkipsLinesWithoutIds) {
    const std::string path = write("symbol,experiment,genename\r\n"
                                   "Gad1,1001,\"glutamate decarboxylase 1, brain\"\r\n"
                                   "Bad,zero,no ids here\r\n"
                                   "\r\n"
                                   "Pvalb,1002\r\n");
    list_.queryFailed(nullptr, "old error");
    test::ListRecorder recorder(list_);
    list_.loadFile(path);
    ASSERT_EQ(list_.size(), 2);
    EXPECT_EQ(list_.title(), "My genes.csv");
    EXPECT_TRUE(list_.geneResults());
    EXPECT_TRUE(list_.totalKnown());
    EXPECT_EQ(list_.status(), "");
    EXPECT_EQ(list_.pageCount(), 1);
    const GeneExpression* first = list_.result(0);
    EXPECT_EQ(first->symbol(), "Gad1");
    EXPECT_EQ(first->name(), "glutamate decarboxylase 1, brain");
    EXPECT_EQ(first->experimentId(), 1001);
    EXPECT_EQ(first->imageSeriesId(), 0);
    EXPECT_EQ(first->score(), -1.0f);
    EXPECT_EQ(list_.result(1)->experimentId(), 1002);
    EXPECT_EQ(recorder.events, (std::vector<std::pair<int, int>>{{Listener::kClearedForImport, 0},
                                                                 {Listener::kResultStored, 0},
                                                                 {Listener::kResultStored, 1},
                                                                 {Listener::kTotalKnown, 0}}));
}

TEST_F(GeneListImport, ImageSeriesKindAnnouncesOnlyTheFirstPage) {
    std::string text = "symbol,imageSeriesId,GeneID\n";
    for (int i = 1; i <= 25; ++i)
        text += "S" + std::to_string(i) + "," + std::to_string(100 + i) + "," + std::to_string(i) + "\n";
    test::ListRecorder recorder(list_);
    list_.loadFile(write(text));
    EXPECT_EQ(list_.size(), 25);
    EXPECT_EQ(list_.pageCount(), 3);
    EXPECT_EQ(list_.result(24)->imageSeriesId(), 125);
    EXPECT_EQ(list_.result(24)->geneId(), 25);
    EXPECT_EQ(recorder.count(Listener::kResultStored), 10);
}

TEST_F(GeneListImport, BadFilesFailAfterMarkingTheListFinal) {
    const std::string missing = dir_.file("absent.csv");
    test::ListRecorder recorder(list_);
    EXPECT_EQ(errorOf([&] { list_.loadFile(missing); }), "Gene list file could not be opened: " + missing);
    EXPECT_TRUE(list_.totalKnown());
    EXPECT_EQ(recorder.events.back(), std::make_pair(Listener::kTotalKnown, 0));

    for (const char* text : {"", "just one column\nGad1\n"}) {
        const std::string path = write(text);
        EXPECT_EQ(errorOf([&] { list_.loadFile(path); }),
                  "The gene list file is not in the expected format: " + path);
        EXPECT_EQ(list_.size(), 0);
        EXPECT_EQ(list_.status(), "");
        EXPECT_TRUE(list_.totalKnown());
    }
}

TEST_F(GeneListImport, AsksOnceAfterFiveThousandRecords) {
    std::string text = "id,geneName,geneSymbol\n";
    for (int i = 1; i <= 7000; ++i)
        text += std::to_string(i) + ",name,S\n";
    const std::string path = write(text);

    std::vector<std::string> asked;
    list_.setImportQuestion([&](const std::string& question) {
        asked.push_back(question);
        EXPECT_EQ(list_.size(), 5000);
        return true;
    });
    list_.loadFile(path);
    EXPECT_EQ(asked, std::vector<std::string>{PagedGeneList::kImportQuestion});
    EXPECT_EQ(list_.size(), 7000);
    EXPECT_EQ(list_.result(6999)->geneId(), 7000);

    list_.setImportQuestion([](const std::string&) { return false; });
    list_.loadFile(path);
    EXPECT_EQ(list_.size(), 5000);
    EXPECT_TRUE(list_.totalKnown());
    // Without anyone to ask, the preselected answer (No) ends the import.
    list_.setImportQuestion(nullptr);
    list_.loadFile(path);
    EXPECT_EQ(list_.size(), 5000);
}

} // namespace
} // namespace volumira
