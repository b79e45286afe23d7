#include "atlas/Mesh.h"
#include "atlas/ReferenceAtlas.h"
#include "platform/DataLocations.h"
#include "platform/FileUtils.h"
#include "volumira-tool/TerminalProgress.h"
#include "volumira-tool/Tool.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <vector>

namespace volumira::tool {

namespace {

struct AtlasOptions {
    std::string dataDir, atlasDir;
    std::array<float, 3> point{};
    bool json = false;
};

// The program keeps unpacked data in the all-users directory; the environment override comes first so
// that a run can be pointed elsewhere without touching the real one.
std::string atlasDirectoryOf(const AtlasOptions& o) {
    if (!o.atlasDir.empty()) return asDirectory(o.atlasDir);
    if (const char* env = std::getenv("VOLUMIRA_ATLAS_DIR"); env && *env) return asDirectory(env);
    return atlasDirectory();
}

std::string dataDirectoryOf(const AtlasOptions& o) {
    return dataDirectoryOption(o.dataDir);
}

struct VolumeSummary {
    std::array<int, 3> dims{};
    int min = 0, max = 0;
    double mean = 0;
    std::array<std::size_t, 256> histogram{};

    int distinctValues() const {
        int n = 0;
        for (std::size_t count : histogram)
            n += count > 0;
        return n;
    }
};

VolumeSummary summarize(const Image3d& volume) {
    VolumeSummary s;
    for (int axis = 0; axis < 3; ++axis)
        s.dims[axis] = volume.dimension(axis);
    // Plain pointers keep this 77-million-voxel loop quick in unoptimised builds too.
    const std::uint8_t* voxels = volume.data();
    std::size_t* histogram = s.histogram.data();
    for (std::size_t i = 0, n = volume.voxelCount(); i < n; ++i)
        ++histogram[voxels[i]];
    double sum = 0;
    s.min = 256;
    for (int v = 0; v < 256; ++v) {
        if (!s.histogram[v]) continue;
        s.min = std::min(s.min, v);
        s.max = v;
        sum += static_cast<double>(v) * static_cast<double>(s.histogram[v]);
    }
    if (s.min == 256) s.min = 0;
    s.mean = volume.voxelCount() ? sum / static_cast<double>(volume.voxelCount()) : 0.0;
    return s;
}

// Slots that no line of the ontology names have order 0; label 0 is the outside of the brain.
std::vector<int> labelsWithoutStructure(const VolumeSummary& annotation, const Ontology& ontology) {
    std::vector<int> labels;
    for (int v = 1; v < 256; ++v)
        if (annotation.histogram[v] && ontology.structureAt(v).order == 0) labels.push_back(v);
    return labels;
}

std::string joined(const std::vector<int>& values) {
    std::string text;
    for (int v : values)
        text += (text.empty() ? "" : ", ") + std::to_string(v);
    return text;
}

struct MeshTotals {
    int count = 0;
    std::size_t vertices = 0, triangles = 0;
    std::vector<std::string> missing, unreadable;
};

struct CheckReport {
    std::string dataDir, atlasDir;
    bool unpackedNow = false;
    std::vector<const Structure*> structures;
    std::optional<VolumeSummary> annotation100, annotation25, nissl25;
    std::vector<int> unknownLabels100, unknownLabels25;
    std::vector<std::string> emptyStructures;
    MeshTotals meshes;
    std::vector<std::string> problems;
};

MeshTotals readMeshes(const std::string& dataDir, const std::vector<const Structure*>& structures) {
    MeshTotals totals;
    for (const Structure* s : structures) {
        const std::string path = dataDir + "Mesh25/" + s->acronym + ".msh";
        if (!fileExists(path)) {
            totals.missing.push_back(path);
            continue;
        }
        Mesh mesh;
        try {
            mesh.readMesh(path);
        } catch (const std::exception& e) {
            totals.unreadable.push_back(e.what());
            continue;
        }
        ++totals.count;
        totals.vertices += mesh.vertices.size();
        totals.triangles += mesh.triangleCount();
    }
    return totals;
}

CheckReport runCheck(const AtlasOptions& o) {
    CheckReport r;
    r.dataDir = dataDirectoryOf(o);
    r.atlasDir = atlasDirectoryOf(o);
    // The program's own atlas directory is created on first use; one named here is treated alike.
    std::error_code error;
    if (!r.atlasDir.empty() && !std::filesystem::is_directory(r.atlasDir) &&
        !std::filesystem::create_directories(r.atlasDir, error))
        throw std::runtime_error("Could not create the atlas directory " + r.atlasDir + ": " +
                                 error.message());
    // Failing here is what ends the program at start-up: there is nothing further to look at.
    ReferenceAtlas atlas(r.dataDir, r.atlasDir);
    const Ontology& ontology = atlas.ontology();
    for (int i = 1; i < Ontology::kSlotCount; ++i)
        if (ontology.structureAt(i).order != 0) r.structures.push_back(&ontology.structureAt(i));

    if (!atlas.isUnpacked()) {
        TerminalProgress progress("Unpacking the atlas into " + r.atlasDir);
        try {
            r.unpackedNow = atlas.unpack(progress.callback(), progress.userData(), nullptr);
        } catch (const std::exception& e) {
            r.problems.push_back(e.what());
        }
    }
    try {
        TerminalProgress progress("Loading the full-scale volumes");
        atlas.loadFullScale(progress.callback(), progress.userData(), nullptr);
    } catch (const std::exception& e) {
        r.problems.push_back(e.what());
    }

    r.annotation100 = summarize(atlas.annotation100());
    r.unknownLabels100 = labelsWithoutStructure(*r.annotation100, ontology);
    if (!r.unknownLabels100.empty())
        r.problems.push_back("Annotation100 holds labels that no structure has: " +
                             joined(r.unknownLabels100));
    // The fine volumes are asked for only when loaded: the accessors would otherwise try again.
    if (atlas.isFullScaleLoaded()) {
        r.annotation25 = summarize(atlas.annotation25());
        r.nissl25 = summarize(atlas.nissl25());
        r.unknownLabels25 = labelsWithoutStructure(*r.annotation25, ontology);
        if (!r.unknownLabels25.empty())
            r.problems.push_back("Annotation25 holds labels that no structure has: " +
                                 joined(r.unknownLabels25));
        // Parent structures often own no voxel themselves, so this is reported but not a problem.
        for (const Structure* s : r.structures)
            if (!r.annotation25->histogram[s->index]) r.emptyStructures.push_back(s->acronym);
    }

    r.meshes = readMeshes(r.dataDir, r.structures);
    for (const std::string& path : r.meshes.missing)
        r.problems.push_back("Mesh file is missing: " + path);
    for (const std::string& message : r.meshes.unreadable)
        r.problems.push_back(message);
    return r;
}

nlohmann::json volumeJson(const std::optional<VolumeSummary>& s, const std::vector<int>* unknownLabels) {
    if (!s) return nullptr;
    nlohmann::json j = {{"dimensions", s->dims}, {"min", s->min}, {"max", s->max}, {"mean", s->mean}};
    if (unknownLabels) {
        j["labelCount"] = s->distinctValues();
        j["unknownLabels"] = *unknownLabels;
    }
    return j;
}

void printVolume(std::ostream& out, const char* name, const std::optional<VolumeSummary>& s, bool labels) {
    out << std::left << std::setw(18) << std::string(name) + ":" << std::right;
    if (!s) {
        out << "not loaded\n";
        return;
    }
    out << s->dims[0] << " x " << s->dims[1] << " x " << s->dims[2] << ", min " << s->min << ", max "
        << s->max << ", mean " << std::fixed << std::setprecision(2) << s->mean;
    if (labels) out << ", " << s->distinctValues() << " distinct labels";
    out << '\n';
}

void printCheck(std::ostream& out, const CheckReport& r, bool json) {
    if (json) {
        out << nlohmann::json{{"dataDirectory", r.dataDir},
                              {"atlasDirectory", r.atlasDir},
                              {"unpackedNow", r.unpackedNow},
                              {"structureCount", r.structures.size()},
                              {"volumes",
                               {{"annotation100", volumeJson(r.annotation100, &r.unknownLabels100)},
                                {"annotation25", volumeJson(r.annotation25, &r.unknownLabels25)},
                                {"nissl25", volumeJson(r.nissl25, nullptr)}}},
                              {"emptyStructures",
                               r.annotation25 ? nlohmann::json(r.emptyStructures) : nlohmann::json(nullptr)},
                              {"meshes",
                               {{"count", r.meshes.count},
                                {"vertexCount", r.meshes.vertices},
                                {"triangleCount", r.meshes.triangles},
                                {"missing", r.meshes.missing},
                                {"unreadable", r.meshes.unreadable}}},
                              {"problems", r.problems}}
                   .dump(2)
            << '\n';
        return;
    }
    out << "data directory:   " << r.dataDir << '\n'
        << "atlas directory:  " << r.atlasDir << (r.unpackedNow ? " (unpacked now)" : "") << '\n'
        << "structures:       " << r.structures.size() << '\n';
    printVolume(out, "annotation100", r.annotation100, true);
    printVolume(out, "annotation25", r.annotation25, true);
    printVolume(out, "nissl25", r.nissl25, false);
    if (r.annotation25) {
        out << "without voxels:   ";
        if (r.emptyStructures.empty()) out << "none";
        for (std::size_t i = 0; i < r.emptyStructures.size(); ++i)
            out << (i ? ", " : "") << r.emptyStructures[i];
        out << '\n';
    }
    out << "meshes:           " << r.meshes.count << " of " << r.structures.size() << " read, "
        << r.meshes.vertices << " vertices, " << r.meshes.triangles << " triangles\n";
    out << "problems:         " << (r.problems.empty() ? "none" : std::to_string(r.problems.size())) << '\n';
    for (const std::string& p : r.problems)
        out << "  - " << p << '\n';
}

void check(std::ostream& out, const AtlasOptions& o) {
    const CheckReport report = runCheck(o);
    printCheck(out, report, o.json);
    if (!report.problems.empty())
        throw std::runtime_error("the atlas check found " + std::to_string(report.problems.size()) +
                                 (report.problems.size() == 1 ? " problem." : " problems."));
}

struct PlateLookup {
    std::string path;
    int imageId = 0, x = 0, y = 0;
};

nlohmann::json plateJson(const PlateLookup& p) {
    return {{"path", p.path}, {"imageId", p.imageId}, {"x", p.x}, {"y", p.y}};
}

void printPlate(std::ostream& out, const char* name, const std::optional<PlateLookup>& p) {
    out << name;
    if (!p) {
        out << "none (outside the brain or on no plate)\n";
        return;
    }
    out << "image " << p->imageId << ", pixel (" << p->x << ", " << p->y << "), " << p->path << '\n';
}

void plate(std::ostream& out, const AtlasOptions& o) {
    const std::string dataDir = dataDirectoryOf(o);
    ReferenceAtlas atlas = fromDataDirectory(dataDir, [&] { return ReferenceAtlas(dataDir, atlasDirectoryOf(o)); });
    const auto [x, y, z] = o.point;
    PlateLookup coronal;
    atlas.coronalPlateAt(x, y, z, coronal.path, coronal.imageId, coronal.x, coronal.y);
    // The lookup leaves the path empty, or untouched, when the point is on no plate.
    std::optional<PlateLookup> sagittal = PlateLookup{};
    atlas.sagittalPlateAt(x, y, z, sagittal->path, sagittal->imageId, sagittal->x, sagittal->y);
    if (sagittal->path.empty()) sagittal.reset();

    if (o.json) {
        out << nlohmann::json{{"point", o.point},
                              {"coronal", plateJson(coronal)},
                              {"sagittal", sagittal ? plateJson(*sagittal) : nlohmann::json(nullptr)}}
                   .dump(2)
            << '\n';
        return;
    }
    printPlate(out, "coronal:  ", coronal);
    printPlate(out, "sagittal: ", sagittal);
}

} // namespace

void addAtlasCommands(CLI::App& app, std::ostream& out) {
    CLI::App* atlas =
        app.add_subcommand("atlas", "Check an installed reference atlas and look up atlas plates");
    atlas->require_subcommand(1);
    auto options = std::make_shared<AtlasOptions>();
    const auto addAtlasDirOption = [&](CLI::App& command) {
        command.add_option("--atlas-dir", options->atlasDir,
                           "Where unpacked volumes are kept (default: $VOLUMIRA_ATLAS_DIR, else the "
                           "all-users atlas directory)");
        command.add_flag("--json", options->json, "Print JSON");
    };

    CLI::App* checkCommand = atlas->add_subcommand(
        "check", "Load the atlas as the viewer does (unpacking when needed), then read every volume and mesh "
                 "and report what is wrong; exit status 1 when anything is");
    checkCommand->add_option("dir", options->dataDir, "Installed data directory")->required();
    addAtlasDirOption(*checkCommand);
    checkCommand->callback([&out, options] { check(out, *options); });

    CLI::App* plateCommand = atlas->add_subcommand(
        "plate", "The coronal and sagittal atlas plates at a point given in coarse-grid (100 µm) voxels");
    plateCommand->add_option("x", options->point[0], "Anterior to posterior")->required();
    plateCommand->add_option("y", options->point[1], "Dorsal to ventral")->required();
    plateCommand->add_option("z", options->point[2], "Across the sides")->required();
    plateCommand->add_option("--data", options->dataDir, "Installed data directory (default: the program's)");
    addAtlasDirOption(*plateCommand);
    plateCommand->callback([&out, options] { plate(out, *options); });
}

} // namespace volumira::tool
