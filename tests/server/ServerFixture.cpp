#include "ServerFixture.h"

#include "sample-data/SampleAtlas.h"
#include "xml/EscapeXml.h"
#include "xml/XMLParser.h"

#include <chrono>
#include <cstring>

namespace volumira::test {

namespace {

class AnswerReader : public XMLElementHandler {
  public:
    explicit AnswerReader(SearchAnswer& answer) : answer_(answer) {}
    void startElement(const char* name, const char**) override {
        text_.clear();
        const std::string n = name;
        if (n == "Gene" || n == "ImageSeries" || n == "Correlation") {
            inRecord_ = true;
            record_.clear();
        }
    }
    void endElement(const char* name) override {
        const std::string n = name;
        if (n == "totalResultsSize") answer_.total = std::stol(text_);
        if (n == "faultstring") answer_.fault = text_;
        if (n == "Gene" || n == "ImageSeries" || n == "Correlation") {
            answer_.records.push_back(record_);
            inRecord_ = false;
        } else if (inRecord_) {
            record_[n] = text_;
        }
        text_.clear();
    }
    void characterData(const char* text, std::size_t length) override { text_.append(text, length); }

  private:
    SearchAnswer& answer_;
    std::string text_;
    bool inRecord_ = false;
    std::map<std::string, std::string> record_;
};

} // namespace

void ServerTest::SetUpTestSuite() {
    data_ = new TempDir;
    const sample::SampleGrid grid = sample::SampleGrid::small();
    sample::writeSampleAtlas(data_->path(), grid);
    annotation_ = new Image3d;
    ASSERT_TRUE(annotation_->readRaw(data_->file("Annotation100"), grid.coarse[0], grid.coarse[1],
                                     grid.coarse[2], static_cast<float>(grid.fineMm * 4000)));
    ontology_ = new Ontology(data_->file("ontology.csv"));

    server_ = new server::DataServer(data_->path());
    port_ = server_->bind("127.0.0.1", 0);
    serving_ = new std::thread([] { server_->serve(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server_->isRunning() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(server_->isRunning());
}

void ServerTest::TearDownTestSuite() {
    server_->stop();
    serving_->join();
    delete serving_;
    delete server_;
    delete ontology_;
    delete annotation_;
    delete data_;
}

httplib::Result ServerTest::get(const std::string& target) {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(60, 0);
    return client.Get(target.c_str());
}

SearchAnswer ServerTest::search(const std::string& operation, const std::vector<std::string>& parameters) {
    std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                       "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"\n"
                       "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
                       "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\">\n<soap:Body>\n<" +
                       operation + " xmlns=\"urn:volumira:GeneSearchService\">\n";
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const std::string tag = "in" + std::to_string(i);
        body += parameters[i].empty() ? "<" + tag + " />\n"
                                      : "<" + tag + ">" + escapeXml(parameters[i]) + "</" + tag + ">\n";
    }
    body += "</" + operation + ">\n</soap:Body></soap:Envelope>\n";

    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(60, 0);
    const auto result = client.Post("/services/GeneSearchService", body, "text/xml; charset=utf-8");
    SearchAnswer answer;
    if (!result) return answer;
    answer.status = result->status;
    AnswerReader reader(answer);
    XMLParser parser(&reader);
    EXPECT_TRUE(parser.parse(result->body.data(), result->body.size(), true)) << result->body;
    return answer;
}

SearchAnswer ServerTest::searchText(const std::string& text, int count, int start, bool anatomic) {
    return search("getGeneList1", {text, std::to_string(count), std::to_string(start),
                                   anatomic ? "anatomic" : "gene", "false", "", "0310"});
}

} // namespace volumira::test
