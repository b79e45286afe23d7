#include "atlas/Mesh.h"
#include "volumira-tool/Tool.h"

#include <algorithm>
#include <array>
#include <iomanip>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

namespace volumira::tool {

namespace {

struct MeshOptions {
    std::string input;
    bool json = false;
};

// Positions are stored in fine-grid voxels; the viewer shows them in coarse-grid voxels.
constexpr float kSceneScale = 0.25f;

void printInfo(std::ostream& out, const MeshOptions& o) {
    Mesh mesh;
    mesh.readMesh(o.input);
    mesh.scalePositions(kSceneScale);
    std::array<float, 3> lo{}, hi{};
    if (!mesh.vertices.empty()) {
        for (int a = 0; a < 3; ++a)
            lo[a] = hi[a] = mesh.vertices.front().position[a];
        for (const MeshVertex& v : mesh.vertices)
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min(lo[a], v.position[a]);
                hi[a] = std::max(hi[a], v.position[a]);
            }
    }
    if (o.json) {
        out << nlohmann::json{{"path", o.input},
                              {"vertexCount", mesh.vertices.size()},
                              {"stripCount", mesh.strips.size()},
                              {"triangleCount", mesh.triangleCount()},
                              {"bounds", mesh.vertices.empty() ? nlohmann::json(nullptr)
                                                               : nlohmann::json{{"min", lo}, {"max", hi}}}}
                   .dump(2)
            << '\n';
        return;
    }
    out << "file:       " << o.input << '\n'
        << "vertices:   " << mesh.vertices.size() << '\n'
        << "strips:     " << mesh.strips.size() << " (" << mesh.triangleCount() << " triangles)\n"
        << "bounds:     ";
    if (mesh.vertices.empty()) {
        out << "none (no vertices)\n";
        return;
    }
    out << std::fixed << std::setprecision(2) << '(' << lo[0] << ", " << lo[1] << ", " << lo[2] << ") to ("
        << hi[0] << ", " << hi[1] << ", " << hi[2] << ") coarse-grid voxels\n";
}

} // namespace

void addMeshCommands(CLI::App& app, std::ostream& out) {
    CLI::App* mesh = app.add_subcommand("mesh", "Inspect structure mesh files (.msh)");
    mesh->require_subcommand(1);
    auto options = std::make_shared<MeshOptions>();

    CLI::App* info = mesh->add_subcommand("info", "Vertex, strip and triangle counts and the scene bounds");
    // Not checked by the parser, so that a missing or damaged file gets the program's own message.
    info->add_option("file", options->input, "Mesh file")->required();
    info->add_flag("--json", options->json, "Print JSON");
    info->callback([&out, options] { printInfo(out, *options); });
}

} // namespace volumira::tool
