#include "net/Transfer.h"

#include "net/NetworkQueue.h"
#include "net/ThreadCall.h"
#include "net/UiDispatcher.h"

#include <algorithm>
#include <cstdlib>
#include <list>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace volumira {

namespace {

// The announced length is only a hint for the buffer: a false one must not reserve unbounded memory.
constexpr std::uint64_t kMaxReserve = 64u << 20;
// A server that sends nothing for this long ends the transfer rather than hold a place in the queue forever.
constexpr long kStallSeconds = 60;

// A report that reaches its listener only if the transfer was not cancelled before the UI thread ran it.
// Cancelling happens on the UI thread too, so the check cannot race with it.
template <typename Call> class Report final : public ThreadCall {
  public:
    Report(const Transfer& transfer, NetEventListener* listener, Call call)
        : transfer_(transfer), listener_(listener), call_(std::move(call)) {}
    void invoke() override {
        if (listener_ && !transfer_.isCancelled()) call_(*listener_);
    }

  private:
    const Transfer& transfer_;
    NetEventListener* listener_;
    Call call_;
};

// Hosts reached without a proxy: those the environment names, and this machine.
const std::string& noProxy() {
    static const std::string hosts = [] {
        std::string list = "localhost,127.0.0.1,::1";
        for (const char* name : {"no_proxy", "NO_PROXY"}) {
            const char* value = std::getenv(name);
            // A lone "*" turns proxies off altogether and means that only on its own.
            if (value && *value) return std::string(value) == "*" ? std::string("*") : list + "," + value;
        }
        return list;
    }();
    return hosts;
}

template <typename Call>
Report<Call> report(const Transfer& transfer, NetEventListener* listener, Call call) {
    return Report<Call>(transfer, listener, std::move(call));
}

} // namespace

Transfer::Transfer(std::string url, std::string body, NetEventListener* listener, bool keepData,
                   const std::string& userAgent, std::uint64_t maxBytes)
    : listener_(listener), url_(std::move(url)), body_(std::move(body)), userAgent_(userAgent),
      keepData_(keepData), maxBytes_(maxBytes) {
    easy_ = curl_easy_init();
    multi_ = curl_multi_init();
    if (!easy_ || !multi_) {
        close();
        if (multi_) curl_multi_cleanup(multi_);
        throw std::runtime_error("Could not connect to server.");
    }
}

Transfer::~Transfer() {
    close();
    curl_multi_cleanup(multi_);
    curl_slist_free_all(headers_);
}

void Transfer::cancel() {
    NetworkQueue& queue = NetworkQueue::instance();
    // The queue's lock orders this with start() and the thread's end.
    std::lock_guard<std::recursive_mutex> lock(queue.lock());
    if (cancelled_.exchange(true)) return;
    queue.remove(this);
    // The caller holds a reference, so the multi handle is alive; a thread that ended needs no wake-up.
    if (started_ && !threadEnded_) curl_multi_wakeup(multi_);
}

void Transfer::start() {
    std::thread thread(&Transfer::threadMain, shared_from_this());
    started_ = true;
    NetworkQueue::instance().threadStarted();
    thread.detach();
}

void Transfer::threadMain(std::shared_ptr<Transfer> transfer) {
    try {
        transfer->run();
    } catch (...) {
        // run() reports its own failures; nothing may escape a thread.
    }
    NetworkQueue& queue = NetworkQueue::instance();
    std::list<std::shared_ptr<Transfer>> unstarted;
    {
        std::lock_guard<std::recursive_mutex> lock(queue.lock());
        queue.remove(transfer.get());
        transfer->threadEnded_ = true;
        unstarted = queue.takeUnstarted();
    }
    // Waiting jobs that got no thread of their own when a place freed up have their failure delivered by
    // the next transfer thread to end (the thread of the job that freed the place is always still to end).
    // Outside the lock: delivering waits for the UI thread, which may be waiting for the lock.
    for (const std::shared_ptr<Transfer>& job : unstarted) {
        try {
            job->fail("Could not connect to server.");
        } catch (...) {
            // Out of memory for the message: nothing may escape a thread.
        }
    }
    // Freed here when the owner has already let go; counted as ended only afterwards, so that shutdown's
    // wait covers the clean-up too.
    unstarted.clear();
    transfer.reset();
    queue.threadEnded();
}

void Transfer::run() {
    if (cancelled_) return;
    CURLU* parts = curl_url();
    char* host = nullptr;
    if (parts && curl_url_set(parts, CURLUPART_URL, url_.c_str(), 0) == CURLUE_OK &&
        curl_url_get(parts, CURLUPART_HOST, &host, 0) == CURLUE_OK && host)
        host_ = host;
    curl_free(host);
    curl_url_cleanup(parts);
    if (host_.empty()) {
        close();
        fail("Bad URL: " + url_);
        return;
    }
    try {
        configure();
        const int result = perform();
        if (cancelled_ || stopped_) {
            close();
            return;
        }
        if (result == CURLE_OK && !headersDone_) error_ = "Could not read expected response headers.";
        if (result != CURLE_OK || !error_.empty()) {
            std::string message = error_;
            if (message.empty()) message = curlError_;
            if (message.empty()) {
                const char* text = curl_easy_strerror(static_cast<CURLcode>(result));
                message = text ? text : "Network read failed.";
            }
            if (message.empty()) message = "Could not connect to " + host_;
            close();
            fail(message);
            return;
        }
        close();
        auto complete = report(*this, listener_, [this](NetEventListener& l) {
            l.transferComplete(keepData_ ? received_.data() : nullptr, keepData_ ? received_.size() : 0);
        });
        deliver(complete);
    } catch (const std::exception& e) {
        const std::string text = e.what();
        close();
        fail(text.empty() ? "Could not connect to " + host_ : text);
    } catch (...) {
        close();
        fail("Unknown error while accessing " + host_ + ".");
    }
}

void Transfer::configure() {
    curl_easy_setopt(easy_, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE, static_cast<long>(kChunkSize));
    curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, curlError_);
    curl_easy_setopt(easy_, CURLOPT_USERAGENT, userAgent_.c_str());
    // The system's proxy settings apply, except to a server on this machine (the default one).
    curl_easy_setopt(easy_, CURLOPT_NOPROXY, noProxy().c_str());
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &Transfer::onBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    if (body_.empty()) {
        headers_ = curl_slist_append(headers_, "Accept: */*");
    } else {
        // curl's own Accept and Expect headers are not part of the service's request.
        for (const char* header :
             {"SOAPAction: \"\"", "Content-Type: text/xml; charset=utf-8", "Accept:", "Expect:"})
            headers_ = curl_slist_append(headers_, header);
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, body_.data());
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
    }
    if (!headers_) throw std::bad_alloc();
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_);
}

int Transfer::perform() {
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK)
        throw std::runtime_error("Could not connect to " + host_);
    int running = 1;
    while (running && !cancelled_) {
        CURLMcode code = curl_multi_perform(multi_, &running);
        if (code == CURLM_OK && running && !cancelled_)
            code = curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
        if (code != CURLM_OK) throw std::runtime_error(curl_multi_strerror(code));
    }
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left))
        if (message->msg == CURLMSG_DONE) return message->data.result;
    return CURLE_OK;
}

bool Transfer::acceptHeaders() {
    headersDone_ = true;
    long status = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 400) {
        error_ = "Could not complete request. Server returned error " + std::to_string(status);
        return false;
    }
    const char* type = nullptr;
    curl_easy_getinfo(easy_, CURLINFO_CONTENT_TYPE, &type);
    if (!type) {
        error_ = "Could not read expected response headers.";
        return false;
    }
    curl_off_t announced = -1;
    curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    const std::uint64_t length = announced > 0 ? static_cast<std::uint64_t>(announced) : 0;
    // Refused before any of the body is read.
    if (length > maxBytes_) {
        error_ = "Download refused: the server announced " + std::to_string(length) +
                 " bytes, more than the limit of " + std::to_string(maxBytes_) + " bytes.";
        return false;
    }
    auto headers = report(*this, listener_, [contentType = std::string(type), length](NetEventListener& l) {
        l.headersReceived(contentType, length);
    });
    if (!deliver(headers)) return false;
    if (keepData_) received_.reserve(static_cast<std::size_t>(std::min(length, kMaxReserve)));
    return true;
}

std::size_t Transfer::onHeader(char* data, std::size_t size, std::size_t count, void* self) {
    auto* transfer = static_cast<Transfer*>(self);
    const std::size_t total = size * count;
    const std::string line(data, total);
    // Trailers of a chunked body end with a blank line too: the headers are taken once.
    if (transfer->headersDone_ || (line != "\r\n" && line != "\n")) return total;
    // The blank line ends a header block; an interim (1xx) response is followed by the real one.
    long status = 0;
    curl_easy_getinfo(transfer->easy_, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 100 && status < 200) return total;
    try {
        return transfer->acceptHeaders() ? total : 0;
    } catch (const std::exception& e) {
        transfer->error_ = e.what();
        return 0;
    }
}

std::size_t Transfer::onBody(char* data, std::size_t size, std::size_t count, void* self) {
    auto* transfer = static_cast<Transfer*>(self);
    const std::size_t total = size * count;
    if (total > transfer->maxBytes_ - transfer->bodyBytes_) {
        transfer->error_ = "Download stopped: the response is larger than the limit of " +
                           std::to_string(transfer->maxBytes_) + " bytes.";
        return 0;
    }
    transfer->bodyBytes_ += total;
    try {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(data);
        for (std::size_t done = 0; done < total; done += kChunkSize)
            if (!transfer->passOn(bytes + done, std::min(kChunkSize, total - done))) return 0;
    } catch (const std::exception& e) {
        // Out of memory while collecting: curl stops, and run() reports the text.
        transfer->error_ = e.what();
        return 0;
    }
    return total;
}

bool Transfer::passOn(const std::uint8_t* data, std::size_t count) {
    if (keepData_) {
        received_.insert(received_.end(), data, data + count);
        data = nullptr;
    }
    auto chunk =
        report(*this, listener_, [data, count](NetEventListener& l) { l.dataReceived(data, count); });
    return deliver(chunk);
}

void Transfer::fail(const std::string& message) {
    auto failure = report(*this, listener_, [&message](NetEventListener& l) { l.transferFailed(message); });
    deliver(failure);
}

bool Transfer::deliver(ThreadCall& call) {
    if (cancelled_ || stopped_) return false;
    UiDispatcher* dispatcher = uiDispatcher();
    if (!dispatcher || !dispatcher->sendSync(call)) stopped_ = true;
    return !stopped_;
}

void Transfer::close() {
    if (!easy_) return;
    if (multi_) curl_multi_remove_handle(multi_, easy_);
    curl_easy_cleanup(easy_);
    easy_ = nullptr;
}

} // namespace volumira
