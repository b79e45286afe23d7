#pragma once

// The results of one search: a sparse list of genes (metadata only) indexed by their position in the
// server's result, shown a page at a time. It starts the searches, asks for a page only when one of its
// entries is missing, keeps a status line for the user, and tells its listeners of every change. It can
// also be filled from a gene list file.

#include "expression/GeneExpression.h"
#include "search/GeneQueryCompletionListener.h"
#include "search/PagedGeneListListener.h"

#include <functional>
#include <istream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace volumira {

class GeneQuery;

class PagedGeneList : public GeneQueryCompletionListener {
  public:
    // Records imported from a file before the user is asked whether to go on.
    static constexpr int kImportQuestionAt = 5000;
    static constexpr const char* kImportQuestion =
        "5000 experiments have been imported so far. Do you want to continue?";

    // Asked once during a long import; true goes on.
    using ImportQuestion = std::function<bool(const std::string& question)>;

    // Throws std::invalid_argument "Page size cannot be less than or equal to zero.".
    PagedGeneList(std::string domain, int pageSize);
    ~PagedGeneList() override;
    PagedGeneList(const PagedGeneList&) = delete;
    PagedGeneList& operator=(const PagedGeneList&) = delete;

    void queryStarted(GeneQuery* query) override;
    void queryComplete(GeneQuery* query) override;
    void queryFailed(GeneQuery* query, const std::string& message) override;

    virtual void setTitle(std::string title);
    virtual const std::string& title() const;
    // Replaces the list with the genes of a gene list file; the title becomes the file's name. Throws
    // std::runtime_error when the file cannot be opened or read; the list is marked final either way.
    virtual void loadFile(const std::string& path);
    // The searches throw what the query throws when it cannot send the request.
    virtual void searchImageSeries(const std::string& url, int geneId, std::string title, std::string domain);
    virtual void searchText(const std::string& url, const std::string& text, std::string title,
                            std::string domain, bool anatomic);
    // Answered from the local correlation database when there is one (at most count results, 0: all),
    // otherwise by the server.
    virtual void searchSimilar(const std::string& url, int seriesId, int structureId, std::string title,
                               std::string domain, int planes, int count);
    virtual const std::string& domain() const;
    virtual void cancel();
    virtual bool geneResults() const;
    virtual void setGeneResults(bool on);
    // Clamps the page into range, makes it current and announces it, then either requests it from the
    // server (when one of its records is missing) or re-announces each record.
    virtual void showPage(int page);
    virtual int currentPage() const;
    virtual int size() const;
    virtual int pageCount() const;
    // The status, then, once the total is known, "     37 experiments, displaying 11-20".
    virtual std::string statusText() const;
    // Throws std::invalid_argument "AddGene index out of range." for a negative index.
    virtual void addResult(std::unique_ptr<GeneExpression> expression, int index);
    virtual void appendResult(std::unique_ptr<GeneExpression> expression);
    // Null for a position not received yet; throws std::invalid_argument outside 0..size-1.
    virtual GeneExpression* result(int index) const;
    virtual void clear(bool forImport);
    // Throws std::invalid_argument "Gene list size out of range." for a negative n.
    virtual void setTotal(int n);
    virtual void addListener(PagedGeneListListener* listener);
    virtual void removeListener(PagedGeneListListener* listener);
    virtual void notify(int event, int value);
    virtual void updatePageCount();

    const std::string& status() const { return status_; }
    bool totalKnown() const { return totalKnown_; }
    int pageSize() const { return pageSize_; }
    GeneQuery* query() const { return query_.get(); }

    // Without a question the preselected answer, No, ends a long import.
    void setImportQuestion(ImportQuestion question) { importQuestion_ = std::move(question); }
    // Where similar-gene searches look for the correlation database: unset uses the installed one when it
    // exists; an empty path always asks the server.
    void setCorrelationDatabase(std::optional<std::string> path) { correlationDatabase_ = std::move(path); }

  private:
    GeneQuery& ensureQuery();
    void setStatus(std::string status, int event, int value);
    // The path of the database that answers similar-gene searches; empty for none.
    std::string correlationDatabasePath() const;
    void importLines(std::istream& in, const std::string& path);
    // Runs a search or page request; a request that cannot be sent leaves the error as the status.
    template <typename Request> void startRequest(Request request);

    std::vector<PagedGeneListListener*> listeners_;
    // Sparse: a server's total can be large while only the pages shown are held.
    std::map<int, std::unique_ptr<GeneExpression>> results_;
    int size_ = 0;
    std::string title_;
    std::string status_;
    std::string domain_;
    int currentPage_ = 0;
    int pageCount_ = 0;
    int pageSize_;
    bool totalKnown_ = false;
    bool geneResults_ = false;
    std::unique_ptr<GeneQuery> query_;
    ImportQuestion importQuestion_;
    std::optional<std::string> correlationDatabase_;
    // Set by queryFailed until the next request, so that a local search that failed is not reported as
    // complete as well.
    bool failed_ = false;
};

} // namespace volumira
