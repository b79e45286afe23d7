#include "atlas/Mesh.h"
#include "support/ErrorText.h"
#include "support/TempDir.h"

#include <array>
#include <bit>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace volumira;

namespace {

// Little-endian file contents built field by field, independent of the writer under test.
struct Bytes {
    std::string data;
    Bytes& i32(std::int32_t v) {
        for (int shift = 0; shift < 32; shift += 8)
            data.push_back(static_cast<char>(static_cast<std::uint32_t>(v) >> shift));
        return *this;
    }
    Bytes& u16(std::uint16_t v) {
        data.push_back(static_cast<char>(v));
        data.push_back(static_cast<char>(v >> 8));
        return *this;
    }
    Bytes& f32(float v) { return i32(std::bit_cast<std::int32_t>(v)); }
    Bytes& vertex(std::array<float, 6> values) {
        for (const float v : values)
            f32(v);
        return *this;
    }
};

// Two vertices, a triangle strip of four indices and a strip too short to draw anything.
Bytes smallMeshBytes() {
    Bytes b;
    b.i32(4)
        .vertex({0, 0, 1, 1.5f, 2.5f, 3.5f})
        .vertex({0, 1, 0, -4, 8, 12})
        .vertex({1, 0, 0, 100, 200, 300})
        .vertex({0.6f, 0.8f, 0, 0.25f, -0.5f, 7});
    b.i32(2).u16(4).i32(0).i32(1).i32(2).i32(3).u16(2).i32(3).i32(1);
    return b;
}

Mesh smallMesh() {
    Mesh m;
    m.vertices = {{{0, 0, 1}, {1.5f, 2.5f, 3.5f}},
                  {{0, 1, 0}, {-4, 8, 12}},
                  {{1, 0, 0}, {100, 200, 300}},
                  {{0.6f, 0.8f, 0}, {0.25f, -0.5f, 7}}};
    m.strips = {{0, 1, 2, 3}, {3, 1}};
    return m;
}

void expectSameMesh(const Mesh& a, const Mesh& b) {
    ASSERT_EQ(a.vertices.size(), b.vertices.size());
    for (std::size_t i = 0; i < a.vertices.size(); ++i)
        EXPECT_EQ(std::memcmp(&a.vertices[i], &b.vertices[i], sizeof(MeshVertex)), 0) << "vertex " << i;
    EXPECT_EQ(a.strips, b.strips);
}

// Triangles of a set of strips with their winding, as a reader would draw them.
std::vector<std::array<std::int32_t, 3>> windingTriangles(const Mesh& m) {
    std::vector<std::array<std::int32_t, 3>> out;
    for (const auto& s : m.strips)
        for (std::size_t k = 0; k + 2 < s.size(); ++k)
            out.push_back(k % 2 ? std::array{s[k + 1], s[k], s[k + 2]}
                                : std::array{s[k], s[k + 1], s[k + 2]});
    return out;
}

std::string readError(const std::string& path) {
    return "Error while reading mesh file: " + path;
}

bool exists(const std::string& path) {
    return std::filesystem::exists(path);
}

// Runs in a death-test child: a file size limit stands in for a full disk. Exits 0 when the write failed
// with the write error and left no partial file behind.
[[noreturn]] void writeWithFullDisk(const Mesh& mesh, const std::string& path) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const std::string error = test::errorOf([&] { mesh.writeMesh(path); });
    std::exit(error == "Error while writing mesh file: " + path && !exists(path + ".partial") ? 0 : 1);
}

} // namespace

TEST(MeshFile, ReadsTheDocumentedLayoutAndWritesItBackByteForByte) {
    test::TempDir dir;
    const std::string in = dir.file("in.msh"), out = dir.file("out.msh");
    test::writeBytes(in, smallMeshBytes().data);

    Mesh m;
    m.readMesh(in);
    expectSameMesh(m, smallMesh());
    EXPECT_EQ(m.triangleCount(), 2u);

    m.writeMesh(out);
    EXPECT_EQ(test::readBytes(out), smallMeshBytes().data);
    Mesh back;
    back.readMesh(out);
    expectSameMesh(back, m);
}

TEST(MeshFile, EmptyMeshRoundTrips) {
    test::TempDir dir;
    const std::string path = dir.file("empty.msh");
    test::writeBytes(path, Bytes().i32(0).i32(0).data);
    Mesh m = smallMesh();
    m.readMesh(path);
    EXPECT_TRUE(m.vertices.empty());
    EXPECT_TRUE(m.strips.empty());
    EXPECT_EQ(m.triangleCount(), 0u);

    m.writeMesh(dir.file("again.msh"));
    EXPECT_EQ(test::readBytes(dir.file("again.msh")), Bytes().i32(0).i32(0).data);
}

TEST(MeshFile, MissingFileCannotBeOpened) {
    test::TempDir dir;
    const std::string path = dir.file("none.msh");
    Mesh m;
    EXPECT_EQ(test::errorOf([&] { m.readMesh(path); }), "Mesh file could not be opened: " + path);
}

TEST(MeshFile, EveryTruncationIsAReadErrorAndLeavesTheMeshAlone) {
    test::TempDir dir;
    const std::string full = smallMeshBytes().data;
    const std::string path = dir.file("cut.msh");
    for (std::size_t length = 0; length < full.size(); ++length) {
        test::writeBytes(path, full.substr(0, length));
        Mesh m = smallMesh();
        EXPECT_EQ(test::errorOf([&] { m.readMesh(path); }), readError(path)) << "length " << length;
        expectSameMesh(m, smallMesh());
    }
}

TEST(MeshFile, DamagedCountsAndIndicesAreReadErrors) {
    const Bytes vertex = Bytes().vertex({0, 0, 1, 1, 2, 3});
    const auto twoVertices = [&] {
        return Bytes().i32(2).vertex({0, 0, 1, 1, 2, 3}).vertex({0, 0, 1, 4, 5, 6});
    };
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"negative vertex count", Bytes().i32(-1).i32(0).data},
        {"vertex count beyond the file", Bytes().i32(0x7fffffff).data + vertex.data + Bytes().i32(0).data},
        {"vertex count one too many", Bytes().i32(2).data + vertex.data + Bytes().i32(0).data},
        {"negative strip count", twoVertices().i32(-5).data},
        {"strip count beyond the file", twoVertices().i32(0x7fffffff).u16(0).data},
        {"strip count one too many", twoVertices().i32(2).u16(1).i32(0).data},
        {"index count beyond the file", twoVertices().i32(1).u16(65535).i32(0).i32(1).data},
        {"index equal to the vertex count", twoVertices().i32(1).u16(3).i32(0).i32(1).i32(2).data},
        {"negative index", twoVertices().i32(1).u16(3).i32(0).i32(-1).i32(1).data},
        {"index far beyond the vertices", twoVertices().i32(1).u16(1).i32(0x40000000).data},
        {"any index into no vertices", Bytes().i32(0).i32(1).u16(1).i32(0).data},
    };
    test::TempDir dir;
    const std::string path = dir.file("bad.msh");
    for (const auto& c : cases) {
        test::writeBytes(path, c.bytes);
        Mesh m = smallMesh();
        EXPECT_EQ(test::errorOf([&] { m.readMesh(path); }), readError(path)) << c.name;
        expectSameMesh(m, smallMesh());
    }
    // A directory opens on Linux but cannot be read.
    Mesh m;
    EXPECT_EQ(test::errorOf([&] { m.readMesh(dir.path()); }), readError(dir.path()));
}

TEST(MeshFile, ScalePositionsLeavesNormalsAlone) {
    Mesh m = smallMesh();
    m.scalePositions(0.25f);
    const Mesh original = smallMesh();
    for (std::size_t i = 0; i < m.vertices.size(); ++i)
        for (int a = 0; a < 3; ++a) {
            EXPECT_FLOAT_EQ(m.vertices[i].position[a], original.vertices[i].position[a] * 0.25f);
            EXPECT_EQ(m.vertices[i].normal[a], original.vertices[i].normal[a]);
        }
}

TEST(MeshFile, TriangleCountIgnoresStripsShorterThanThree) {
    Mesh m;
    m.vertices.resize(6);
    m.strips = {{}, {0}, {0, 1}, {0, 1, 2}, {0, 1, 2, 3, 4}, {5, 4, 3, 2, 1, 0}};
    EXPECT_EQ(m.triangleCount(), 0u + 0 + 0 + 1 + 3 + 4);
}

TEST(MeshFile, StripsBeyondTheSixteenBitCountAreSplitKeepingTrianglesAndWinding) {
    test::TempDir dir;
    for (const std::size_t length : {65535u, 65536u, 65537u, 140001u}) {
        Mesh m;
        m.vertices.resize(7);
        std::vector<std::int32_t> strip(length);
        for (std::size_t i = 0; i < length; ++i)
            strip[i] = static_cast<std::int32_t>((i * 5 + i / 3) % 7);
        m.strips = {{0, 1, 2}, strip};
        const std::string path = dir.file("long.msh");
        m.writeMesh(path);

        Mesh back;
        back.readMesh(path);
        for (const auto& s : back.strips)
            EXPECT_LE(s.size(), 65535u);
        EXPECT_EQ(back.strips.size(), length <= 65535 ? 2u : length <= 65534 + 65533 ? 3u : 4u) << length;
        EXPECT_EQ(back.triangleCount(), m.triangleCount()) << length;
        EXPECT_EQ(windingTriangles(back), windingTriangles(m)) << length;
    }
}

TEST(MeshFile, WriteRefusesIndicesOutsideTheVerticesAndCreatesNothing) {
    test::TempDir dir;
    const std::string path = dir.file("bad.msh");
    for (const std::int32_t index : {4, -1}) {
        Mesh m = smallMesh();
        m.strips.push_back({0, index, 1});
        EXPECT_THROW(m.writeMesh(path), std::invalid_argument);
        EXPECT_FALSE(exists(path)) << "nothing may be written";
        EXPECT_FALSE(exists(path + ".partial"));
    }
}

TEST(MeshFile, FailedWritesThrowAndLeaveNoPartialFile) {
    test::TempDir dir;
    const Mesh m = smallMesh();
    const std::string nowhere = dir.file("missing/dir/a.msh");
    EXPECT_EQ(test::errorOf([&] { m.writeMesh(nowhere); }), "Mesh file could not be created: " + nowhere);

    // The target name is taken by a directory: the rename fails and the written copy must go.
    const std::string taken = dir.file("taken.msh");
    ASSERT_TRUE(std::filesystem::create_directory(taken));
    EXPECT_EQ(test::errorOf([&] { m.writeMesh(taken); }), "Error while writing mesh file: " + taken);
    EXPECT_FALSE(exists(taken + ".partial"));
    EXPECT_TRUE(std::filesystem::is_directory(taken));
}

TEST(MeshFile, FullDiskKeepsThePreviousFileIntact) {
    test::TempDir dir;
    const std::string path = dir.file("mesh.msh");
    smallMesh().writeMesh(path);
    const std::string before = test::readBytes(path);

    Mesh big;
    big.vertices.resize(10000);
    EXPECT_EXIT(writeWithFullDisk(big, path), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(test::readBytes(path), before);
}
