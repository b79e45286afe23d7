#include "SampleWorld.h"

#include "sample-data/SampleAtlas.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace volumira::fuzz {

namespace {

struct GeneratedDirectory {
    std::string path;
    GeneratedDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "volumira-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("No temporary directory.");
        path = pattern + "/";
        sample::writeSampleAtlas(path, sample::SampleGrid::small());
    }
    ~GeneratedDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

std::string dataDirectory() {
    if (const char* given = std::getenv("VOLUMIRA_FUZZ_DATA"); given && *given) {
        std::string path = given;
        return path.back() == '/' ? path : path + "/";
    }
    static const GeneratedDirectory generated;
    return generated.path;
}

std::unique_ptr<SampleWorld> makeWorld() {
    auto world = std::make_unique<SampleWorld>();
    world->directory = dataDirectory();
    world->ontology = Ontology(world->directory + "ontology.csv");
    const sample::SampleGrid grid = sample::SampleGrid::small();
    if (!world->annotation.readRaw(world->directory + "Annotation100", grid.coarse[0], grid.coarse[1],
                                   grid.coarse[2], static_cast<float>(grid.fineMm * 4000)))
        throw std::runtime_error("The sample data has no coarse annotation.");
    return world;
}

} // namespace

const SampleWorld& sampleWorld() {
    static const std::unique_ptr<SampleWorld> world = makeWorld();
    return *world;
}

} // namespace volumira::fuzz
