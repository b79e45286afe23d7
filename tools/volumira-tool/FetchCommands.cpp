#include "net/HeadlessUiDispatcher.h"
#include "net/NetFile.h"
#include "volumira-tool/Tool.h"

#include <memory>
#include <ostream>
#include <stdexcept>

namespace volumira::tool {

namespace {

// Prints each report on its own line as it arrives.
class ReportPrinter : public NetEventListener {
  public:
    explicit ReportPrinter(std::ostream& out) : out_(out) {}

    void transferComplete(const std::uint8_t*, std::size_t length) override {
        out_ << "complete " << length << " bytes" << std::endl;
        finished = true;
    }
    void transferFailed(const std::string& message) override {
        out_ << "failed " << message << std::endl;
        failure = message;
        finished = true;
    }
    void headersReceived(const std::string& contentType, std::uint64_t contentLength) override {
        out_ << "headers " << contentType << ' ' << contentLength << std::endl;
    }
    void dataReceived(const std::uint8_t*, std::size_t length) override {
        out_ << "data " << length << " bytes" << std::endl;
    }

    bool finished = false;
    std::string failure;

  private:
    std::ostream& out_;
};

// One transfer through the network queue; this thread is its UI thread.
void fetch(const std::string& url, bool keep, std::ostream& out) {
    if (uiDispatcher()) throw std::runtime_error("another dispatcher already receives the transfers");
    ReportPrinter printer(out);
    HeadlessUiDispatcher dispatcher;
    setUiDispatcher(&dispatcher);
    const TransferHandle transfer = openUrl(url, &printer, keep);
    dispatcher.pumpUntil([&] { return printer.finished; }, HeadlessUiDispatcher::kForever);
    if (!printer.failure.empty()) throw std::runtime_error(printer.failure);
}

} // namespace

void addFetchCommands(CLI::App& app, std::ostream& out) {
    auto* command =
        app.add_subcommand("fetch", "Fetch a URL through the network queue and print its reports");
    auto url = std::make_shared<std::string>();
    auto keep = std::make_shared<bool>(false);
    command->add_option("URL", *url, "The address to fetch")->required();
    command->add_flag("--keep", *keep, "Collect the body and hand it over whole at completion");
    command->callback([url, keep, &out] { fetch(*url, *keep, out); });
}

} // namespace volumira::tool
