#pragma once

// The installed table of expression correlations between image series ("GLM.db" in the Data directory).
// When it is present, similar-gene searches are answered from it instead of from the data server.

#include "storage/SqlDatabase.h"

#include <string>

namespace volumira {

class PagedGeneList;

inline constexpr const char* kCorrelationDatabaseFile = "GLM.db";

class CorranaDatabase {
  public:
    // Whether dataDirectory() + "GLM.db" can be opened for reading; decided on the first call and kept for
    // the process.
    static bool isAvailable();
    // dataDirectory() + "GLM.db".
    static std::string defaultPath();

    // Opens the default database, or the one at path. Throws std::runtime_error when it cannot be opened.
    CorranaDatabase();
    explicit CorranaDatabase(const std::string& path);
    virtual ~CorranaDatabase();
    CorranaDatabase(const CorranaDatabase&) = delete;
    CorranaDatabase& operator=(const CorranaDatabase&) = delete;

    // Appends the series most correlated with seriesId inside the structure, highest first and at most
    // limit of them (0: all), then sets the list's total to its size. Never throws: failures reach the
    // list's queryFailed, and genes appended before a failure stay.
    virtual void findSimilarGenes(int seriesId, int structureId, PagedGeneList& list, int limit);
    // Nothing for code 0 (SQLITE_OK); otherwise throws message, a line end and the connection's error text.
    virtual void checkResult(int code, const std::string& message);

  private:
    // The file is installed reference data: opening it must never rebuild or add a schema.
    class ReadOnlySchema : public SqlDatabase {
      public:
        explicit ReadOnlySchema(const std::string& path) { open(path); }
        void createSchema() override {}
    };

    ReadOnlySchema database_;
};

} // namespace volumira
