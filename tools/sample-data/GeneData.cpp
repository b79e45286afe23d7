#include "sample-data/GeneData.h"

#include "sample-data/Anatomy.h"
#include "sample-data/GeneCatalogue.h"
#include "storage/SqlDatabase.h"
#include "storage/SqlStatement.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <numeric>
#include <sqlite3.h>
#include <stdexcept>
#include <thread>

namespace volumira::sample {

namespace {

// Voxels per structure that the correlations compare, spread evenly over the structure.
constexpr std::size_t kCorrelationSamples = 128;

struct Domain {
    int id = 0, index = 0;
    std::vector<std::int32_t> samples; // voxels in the sagittal series' hemisphere
};

// What one series shows: per-label counts for the statistics, and its standardised values at the
// sample voxels of every domain (empty where the series does not vary there).
struct SeriesFacts {
    std::array<std::int64_t, 256> expressing{};
    std::array<double, 256> levelSum{};
    std::vector<std::vector<float>> features;
};

std::vector<Domain> searchDomains() {
    const CoarseAnatomy& anatomy = coarseAnatomy();
    std::vector<Domain> domains;
    for (const StructureInfo& s : sampleStructures()) {
        if (s.depthForSearch < 0) continue;
        Domain d{s.id, s.index, {}};
        std::vector<std::int32_t> voxels;
        for (const std::int32_t v : anatomy.brain) {
            if (v / (kCoarseX * kCoarseY) >= kHemisphereZ) continue;
            const auto& up = anatomy.ancestors[anatomy.label[static_cast<std::size_t>(v)]];
            if (std::find(up.begin(), up.end(), s.index) != up.end()) voxels.push_back(v);
        }
        for (std::size_t t = 0; t < std::min(voxels.size(), kCorrelationSamples); ++t)
            d.samples.push_back(voxels[t * voxels.size() / std::min(voxels.size(), kCorrelationSamples)]);
        domains.push_back(std::move(d));
    }
    return domains;
}

SeriesFacts factsOf(const CatalogueGene& gene, const CatalogueSeries& series,
                    const std::vector<Domain>& domains) {
    ExpressionPattern pattern = parsePattern(gene.pattern);
    pattern.clustered = gene.clustered;
    const std::vector<std::uint8_t> grid = expressionGrid(pattern, series.realisation);
    const CoarseAnatomy& anatomy = coarseAnatomy();
    SeriesFacts facts;
    for (const std::int32_t v : anatomy.brain) {
        const std::uint8_t value = grid[static_cast<std::size_t>(v)];
        if (!value) continue;
        const std::uint8_t label = anatomy.label[static_cast<std::size_t>(v)];
        ++facts.expressing[label];
        facts.levelSum[label] += value;
    }
    for (const Domain& d : domains) {
        std::vector<float> values;
        for (const std::int32_t v : d.samples)
            values.push_back(grid[static_cast<std::size_t>(v)]);
        const double n = static_cast<double>(values.size());
        const double mean = n ? std::accumulate(values.begin(), values.end(), 0.0) / n : 0.0;
        double variance = 0;
        for (const float x : values)
            variance += (x - mean) * (x - mean);
        if (n < 4 || variance / n < 1e-6) values.clear();
        for (float& x : values)
            x = static_cast<float>((x - mean) / std::sqrt(variance / n));
        facts.features.push_back(std::move(values));
    }
    return facts;
}

// Runs body(i) for i in 0..count-1 on the machine's cores.
template <typename Body> void parallelFor(std::size_t count, const Body& body) {
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < count; i = next++)
            body(i);
    };
    const unsigned threads = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t)
        workers.emplace_back(work);
    for (auto& w : workers)
        w.join();
}

void check(int code, sqlite3* db) {
    if (code != SQLITE_OK && code != SQLITE_DONE && code != SQLITE_ROW)
        throw std::runtime_error(std::string("Could not write the gene data: ") + sqlite3_errmsg(db));
}

// One prepared insert, reused for every row.
class Insert {
  public:
    Insert(SqlDatabase& db, const std::string& sql) : db_(db), statement_(db, sql) {
        statement_.prepareNext();
    }
    Insert& add(std::int64_t value) {
        check(sqlite3_bind_int64(statement_.handle(), ++column_, value), db_.handle());
        return *this;
    }
    Insert& add(double value) {
        check(sqlite3_bind_double(statement_.handle(), ++column_, value), db_.handle());
        return *this;
    }
    Insert& add(const std::string& value) {
        check(statement_.bindText(++column_, value), db_.handle());
        return *this;
    }
    void run() {
        check(sqlite3_step(statement_.handle()), db_.handle());
        check(sqlite3_reset(statement_.handle()), db_.handle());
        column_ = 0;
    }

  private:
    SqlDatabase& db_;
    SqlStatement statement_;
    int column_ = 0;
};

void execute(SqlDatabase& db, const std::string& sql) {
    SqlStatement(db, sql).executeAll();
}

std::string freshFile(const std::filesystem::path& path) {
    std::filesystem::remove(path);
    return path.string();
}

struct Row {
    const CatalogueGene* gene;
    const CatalogueSeries* series;
};

void writeCatalogue(const std::string& path, const std::vector<CatalogueGene>& genes,
                    const std::vector<Row>& rows, const std::vector<SeriesFacts>& facts,
                    const std::vector<Domain>& domains) {
    SqlDatabase db(path);
    execute(
        db,
        "BEGIN;"
        "CREATE TABLE Genes(geneId INTEGER PRIMARY KEY, symbol TEXT NOT NULL, name TEXT NOT NULL,"
        " pattern TEXT NOT NULL, clustered INTEGER NOT NULL);"
        "CREATE TABLE ImageSeries(imageSeriesId INTEGER PRIMARY KEY, experimentId INTEGER UNIQUE NOT NULL,"
        " geneId INTEGER NOT NULL, position INTEGER NOT NULL, plane INTEGER NOT NULL,"
        " probeOrientation INTEGER NOT NULL, geneSeed INTEGER NOT NULL, seriesSeed INTEGER NOT NULL,"
        " gain REAL NOT NULL, processedDate TEXT NOT NULL, gridPath TEXT UNIQUE NOT NULL);"
        "CREATE INDEX ImageSeriesByGene ON ImageSeries(geneId, position);"
        "CREATE TABLE SectionImages(imageId INTEGER PRIMARY KEY, imageSeriesId INTEGER NOT NULL,"
        " section INTEGER NOT NULL, positionMm REAL NOT NULL, width INTEGER NOT NULL,"
        " height INTEGER NOT NULL, primaryPath TEXT UNIQUE NOT NULL, expressionPath TEXT UNIQUE NOT NULL);"
        "CREATE INDEX SectionImagesBySeries ON SectionImages(imageSeriesId, section);"
        "CREATE TABLE StructureStats(imageSeriesId INTEGER NOT NULL, structureId INTEGER NOT NULL,"
        " voxels INTEGER NOT NULL, expressing INTEGER NOT NULL, levelSum REAL NOT NULL,"
        " PRIMARY KEY(imageSeriesId, structureId)) WITHOUT ROWID;");
    Insert gene(db, "INSERT INTO Genes VALUES(?,?,?,?,?)");
    for (const CatalogueGene& g : genes)
        gene.add(std::int64_t{g.geneId})
            .add(g.symbol)
            .add(g.name)
            .add(g.pattern)
            .add(std::int64_t{g.clustered})
            .run();
    Insert series(db, "INSERT INTO ImageSeries VALUES(?,?,?,?,?,?,?,?,?,?,?)");
    Insert section(db, "INSERT INTO SectionImages VALUES(?,?,?,?,?,?,?,?)");
    Insert stats(db, "INSERT INTO StructureStats VALUES(?,?,?,?,?)");

    // Voxels of each label in the whole brain and in the hemisphere that sagittal series cut.
    const CoarseAnatomy& anatomy = coarseAnatomy();
    std::array<std::array<std::int64_t, 256>, 2> labelVoxels{};
    for (const std::int32_t v : anatomy.brain) {
        const std::uint8_t label = anatomy.label[static_cast<std::size_t>(v)];
        ++labelVoxels[0][label];
        if (v / (kCoarseX * kCoarseY) < kHemisphereZ) ++labelVoxels[1][label];
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const CatalogueSeries& s = *rows[r].series;
        const auto position = std::find_if(rows[r].gene->series.begin(), rows[r].gene->series.end(),
                                           [&](const CatalogueSeries& c) { return &c == &s; }) -
                              rows[r].gene->series.begin();
        series.add(std::int64_t{s.imageSeriesId})
            .add(std::int64_t{s.experimentId})
            .add(std::int64_t{rows[r].gene->geneId})
            .add(std::int64_t{position})
            .add(std::int64_t{s.plane})
            .add(std::int64_t{s.probeOrientation})
            .add(std::int64_t{s.realisation.geneSeed})
            .add(std::int64_t{s.realisation.seriesSeed})
            .add(double{s.realisation.gain})
            .add(s.processedDate)
            .add(s.gridPath)
            .run();
        for (const CatalogueSection& c : s.sections)
            section.add(std::int64_t{c.imageId})
                .add(std::int64_t{s.imageSeriesId})
                .add(std::int64_t{c.section})
                .add(c.positionMm)
                .add(std::int64_t{c.width})
                .add(std::int64_t{c.height})
                .add(c.primaryPath)
                .add(c.expressionPath)
                .run();
        for (const Domain& d : domains) {
            std::int64_t voxels = 0, expressing = 0;
            double levelSum = 0;
            for (int label = 1; label < 256; ++label) {
                const auto& up = anatomy.ancestors[static_cast<std::size_t>(label)];
                if (std::find(up.begin(), up.end(), d.index) == up.end()) continue;
                voxels += labelVoxels[s.plane == 1][static_cast<std::size_t>(label)];
                expressing += facts[r].expressing[static_cast<std::size_t>(label)];
                levelSum += facts[r].levelSum[static_cast<std::size_t>(label)];
            }
            stats.add(std::int64_t{s.imageSeriesId})
                .add(std::int64_t{d.id})
                .add(voxels)
                .add(expressing)
                .add(levelSum)
                .run();
        }
    }
    execute(db, "COMMIT;");
}

void writeSimilarity(const std::string& path, const std::vector<Row>& rows,
                     const std::vector<SeriesFacts>& facts, const std::vector<Domain>& domains) {
    SqlDatabase db(path);
    execute(db, "BEGIN;CREATE TABLE Experiments(name TEXT NOT NULL, symbol TEXT NOT NULL,"
                " experimentId INTEGER PRIMARY KEY, imageSeriesId INTEGER UNIQUE NOT NULL, geneId INTEGER "
                "NOT NULL);");
    Insert experiment(db, "INSERT INTO Experiments VALUES(?,?,?,?,?)");
    for (const Row& r : rows)
        experiment.add(r.gene->name)
            .add(r.gene->symbol)
            .add(std::int64_t{r.series->experimentId})
            .add(std::int64_t{r.series->imageSeriesId})
            .add(std::int64_t{r.gene->geneId})
            .run();

    const std::size_t n = rows.size();
    std::vector<float> matrix(n * n);
    for (std::size_t d = 0; d < domains.size(); ++d) {
        const std::string table = "S" + std::to_string(domains[d].id);
        execute(db, "CREATE TABLE " + table +
                        "(experiment1 INTEGER NOT NULL, experiment2 INTEGER NOT NULL,"
                        " correlation REAL NOT NULL, PRIMARY KEY(experiment1, experiment2)) WITHOUT ROWID;");
        parallelFor(n, [&](std::size_t a) {
            const std::vector<float>& fa = facts[a].features[d];
            for (std::size_t b = 0; b < n; ++b) {
                const std::vector<float>& fb = facts[b].features[d];
                float sum = 0;
                if (!fa.empty() && !fb.empty())
                    for (std::size_t t = 0; t < fa.size(); ++t)
                        sum += fa[t] * fb[t];
                matrix[a * n + b] = fa.empty() || fb.empty() ? -2.0f : sum / static_cast<float>(fa.size());
            }
        });
        Insert pair(db, "INSERT INTO " + table + " VALUES(?,?,?)");
        std::vector<std::size_t> order(n);
        for (std::size_t a = 0; a < n; ++a) {
            if (facts[a].features[d].empty()) continue;
            std::iota(order.begin(), order.end(), std::size_t{0});
            const float* row = &matrix[a * n];
            const std::size_t keep = std::min<std::size_t>(kCorrelationsPerSeries + 1, n);
            // Highest first; ties by series order, so the table is the same on every run.
            std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(keep), order.end(),
                              [row](std::size_t x, std::size_t y) {
                                  return row[x] > row[y] || (row[x] == row[y] && x < y);
                              });
            int written = 0;
            for (std::size_t k = 0; k < keep && written < kCorrelationsPerSeries; ++k) {
                const std::size_t b = order[k];
                if (b == a || row[b] < -1.5f) continue;
                pair.add(std::int64_t{rows[a].series->experimentId})
                    .add(std::int64_t{rows[b].series->experimentId})
                    .add(std::round(static_cast<double>(row[b]) * 1e4) / 1e4)
                    .run();
                ++written;
            }
        }
    }
    execute(db, "COMMIT;");
}

} // namespace

void writeGeneData(const std::string& directory, bool small) {
    const std::filesystem::path dir(directory);
    const std::vector<CatalogueGene> genes =
        buildGeneCatalogue(small ? kSmallCatalogueGenes : kFullCatalogueGenes);
    std::vector<Row> rows;
    for (const CatalogueGene& g : genes)
        for (const CatalogueSeries& s : g.series)
            rows.push_back({&g, &s});
    const std::vector<Domain> domains = searchDomains();
    std::vector<SeriesFacts> facts(rows.size());
    parallelFor(rows.size(),
                [&](std::size_t r) { facts[r] = factsOf(*rows[r].gene, *rows[r].series, domains); });

    writeCatalogue(freshFile(dir / kCatalogueFileName), genes, rows, facts, domains);
    writeSimilarity(freshFile(dir / kSimilarityFileName), rows, facts, domains);
}

} // namespace volumira::sample
