#include "atlas/ReferenceAtlas.h"

#include "atlas/AtlasGrid.h"
#include "atlas/ProgressRange.h"
#include "platform/DataLocations.h"
#include "platform/FileUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <stdexcept>

namespace volumira {

namespace {

// The unpacked layout this program writes; a "Version" holding anything else is discarded.
constexpr int kUnpackVersion = 3;

// Unpacked files are written under this suffix and renamed when complete, so an interrupted unpack
// never leaves a truncated file under the real name.
const char* const kPartialSuffix = ".part";

struct InstanceSlot {
    std::mutex mutex;
    std::unique_ptr<ReferenceAtlas> atlas;
};

InstanceSlot& instanceSlot() {
    static InstanceSlot slot;
    return slot;
}

std::string withTrailingSlash(std::string directory) {
    if (!directory.empty() && directory.back() != '/') directory += '/';
    return directory;
}

void checkAxis(int axis, const char* message) {
    if (axis < 0 || axis > 2) throw std::invalid_argument(message);
}

bool isCancelled(const CancelFlag* cancel) {
    return cancel && cancel->load();
}

// Whole pixels of a plate, truncated toward zero and clamped to the plate; NaN lands on 0.
int pixelOnPlate(float position, int size) {
    const float pixel = std::trunc(position);
    if (!(pixel > 0.0f)) return 0;
    if (pixel >= static_cast<float>(size - 1)) return size - 1;
    return static_cast<int>(pixel);
}

// Fine x slice of a coarse x position, kept on the grid so that any x (NaN included) indexes the table.
int fineSliceAt(float x) {
    const float slice = static_cast<float>(atlas::kFineDims[0]) - std::trunc(atlas::kScale * x) - 1.0f;
    if (!(slice > 0.0f)) return 0;
    return static_cast<int>(std::min(slice, static_cast<float>(atlas::kFineDims[0] - 1)));
}

// The plate whose position is nearest to the slice; of two equally near, the lower one.
std::size_t nearestCoronalPlate(int slice) {
    const auto& positions = atlas::kCoronalPlatePositions;
    const auto above = std::lower_bound(positions.begin(), positions.end(), slice);
    if (above == positions.end()) return positions.size() - 1;
    if (above == positions.begin()) return 0;
    const auto below = above - 1;
    const auto index = static_cast<std::size_t>(above - positions.begin());
    return *above - slice < slice - *below ? index : index - 1;
}

std::string threeDigits(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%03d", value);
    return text;
}

} // namespace

ReferenceAtlas::ReferenceAtlas(std::string dataDir, std::string sharedDir)
    : dataDir_(withTrailingSlash(std::move(dataDir))), sharedDir_(withTrailingSlash(std::move(sharedDir))) {
    if (!annotation100_.readRaw(dataDir_ + "Annotation100", atlas::kCoarseDims[0], atlas::kCoarseDims[1],
                                atlas::kCoarseDims[2], atlas::kCoarseSpacing))
        throw std::runtime_error("Could not load 3D annotation image.");
    atlasColours_.load(dataDir_ + "Colormaps/TSA.map");
    expressionColours_.load(dataDir_ + "Colormaps/Expression.map");
    jetColours_.load(dataDir_ + "Colormaps/Jet.map");
    ontology_ = std::make_unique<Ontology>(dataDir_ + "ontology.csv");
}

ReferenceAtlas::~ReferenceAtlas() = default;

ReferenceAtlas& ReferenceAtlas::instance() {
    InstanceSlot& slot = instanceSlot();
    std::lock_guard lock(slot.mutex);
    if (!slot.atlas) slot.atlas = std::make_unique<ReferenceAtlas>(dataDirectory(), atlasDirectory());
    return *slot.atlas;
}

void ReferenceAtlas::releaseInstance() {
    InstanceSlot& slot = instanceSlot();
    std::lock_guard lock(slot.mutex);
    slot.atlas.reset();
}

const Image3d& ReferenceAtlas::annotation25() {
    if (!annotation25_.isLoaded()) loadFullScale(nullptr, nullptr, nullptr);
    return annotation25_;
}

const Image3d& ReferenceAtlas::nissl25() {
    if (!nissl25_.isLoaded()) loadFullScale(nullptr, nullptr, nullptr);
    return nissl25_;
}

int ReferenceAtlas::dimension100(int axis) const {
    checkAxis(axis, "Dimension index out of range.");
    return atlas::kCoarseDims[static_cast<std::size_t>(axis)];
}

int ReferenceAtlas::dimension25(int axis) const {
    checkAxis(axis, "Dimension index out of range.");
    return atlas::kFineDims[static_cast<std::size_t>(axis)];
}

int ReferenceAtlas::bregma25(int axis) const {
    checkAxis(axis, "Index out of range.");
    return atlas::kBregma25[static_cast<std::size_t>(axis)];
}

float ReferenceAtlas::bregma100(int axis) const {
    return static_cast<float>(bregma25(axis)) / atlas::kScale;
}

float ReferenceAtlas::spacing100() const {
    return atlas::kCoarseSpacing;
}

float ReferenceAtlas::spacing25() const {
    return atlas::kFineSpacing;
}

int ReferenceAtlas::voxelCount100() const {
    return atlas::kCoarseVoxelCount;
}

bool ReferenceAtlas::isFullScaleLoaded() const {
    return annotation25_.isLoaded() && nissl25_.isLoaded();
}

void ReferenceAtlas::loadFullScale(ProgressCallback callback, void* userData, const CancelFlag* cancel) {
    // Plain names rather than a structured binding: the lambda below captures them.
    const int nx = atlas::kFineDims[0], ny = atlas::kFineDims[1], nz = atlas::kFineDims[2];
    ProgressRange progress(callback, userData, 0.5f);
    // Each volume reads straight into its own buffer, and a second attempt reuses it.
    const auto readFine = [&](Image3d& volume, const std::string& path) {
        return volume.readRaw(path, nx, ny, nz, atlas::kFineSpacing, &ProgressRange::report, &progress,
                              cancel);
    };

    if (!annotation25_.isLoaded() && !readFine(annotation25_, dataDir_ + "Annotation25"))
        throw std::runtime_error(
            "Could not load full scale 3D annotation image. Please try reinstalling Volumira.");

    progress.offset = 0.5f;
    if (nissl25_.isLoaded()) return;
    if (readFine(nissl25_, dataDir_ + "Atlas25")) return;
    if (!isCancelled(cancel) && readFine(nissl25_, sharedDir_ + "Atlas25")) return;
    // A damaged unpacked copy is removed so that the next start unpacks it again.
    if (!isCancelled(cancel)) deleteFile(sharedDir_ + "Atlas25");
    throw std::runtime_error("Could not load 3D Nissl image. Please try reinstalling Volumira.");
}

bool ReferenceAtlas::isUnpacked() {
    if (fileExists(dataDir_ + "Atlas25") && fileExists(dataDir_ + "SagittalAtlasMap")) return true;

    std::fstream versionFile;
    openFileStream(versionFile, sharedDir_ + "Version", std::ios::in);
    int version = 0;
    if (!versionFile || !(versionFile >> version)) return false;
    if (version == kUnpackVersion)
        return fileExists(sharedDir_ + "Atlas25") && fileExists(sharedDir_ + "SagittalAtlasMap");

    deleteFile(sharedDir_ + "Atlas25");
    deleteFile(sharedDir_ + "SagittalAtlasMap");
    deleteFile(sharedDir_ + "Version");
    return false;
}

bool ReferenceAtlas::unpack(ProgressCallback callback, void* userData, const CancelFlag* cancel) {
    const auto [nx, ny, nz] = atlas::kFineDims;
    // Whatever happens below, a version file must not vouch for files this unpack may be replacing; it is
    // written again once both files are complete.
    const std::string versionPath = sharedDir_ + "Version";
    deleteFile(versionPath);

    ProgressRange progress(callback, userData, 0.5f);
    try {
        if (!nissl25_.readCompressed(dataDir_ + "Atlas25.comp", nx, ny, nz, atlas::kFineSpacing,
                                     &ProgressRange::report, &progress, cancel))
            return false;
    } catch (const std::exception& e) {
        throw std::runtime_error(
            "Could not load 3D Nissl image. Your installation of Volumira may be damaged.\n\n" +
            std::string(e.what()));
    } catch (...) {
        throw std::runtime_error(
            "Could not load 3D Nissl image. Your installation of Volumira may be corrupted.");
    }
    progress.offset += progress.scale;

    const std::string nisslPath = sharedDir_ + "Atlas25";
    const std::string partialNissl = nisslPath + kPartialSuffix;
    // writeRaw deletes its partial file itself when cancelled or failing.
    if (!nissl25_.writeRaw(partialNissl, &ProgressRange::report, &progress, cancel)) return false;
    if (!replaceFile(partialNissl, nisslPath)) {
        deleteFile(partialNissl);
        throw std::runtime_error("Unable to save unpacked atlas at " + nisslPath);
    }

    unpackSagittal();

    UniqueFile version = openFile(versionPath, "w");
    if (!version) throw std::runtime_error("Unable to save unpacked atlas at " + versionPath);
    const bool written = std::fprintf(version.get(), "%d\n", kUnpackVersion) > 0;
    if (!(std::fclose(version.release()) == 0 && written)) {
        deleteFile(versionPath);
        throw std::runtime_error("Unable to save unpacked atlas " + versionPath);
    }
    return true;
}

void ReferenceAtlas::unpackSagittal() {
    const std::string mapPath = sharedDir_ + "SagittalAtlasMap";
    const std::string partialMap = mapPath + kPartialSuffix;
    try {
        unpackSagittalMap(dataDir_ + "SagittalAtlasMap.comp", partialMap);
    } catch (const std::exception& e) {
        deleteFile(partialMap);
        throw std::runtime_error("Could not load sagittal reference atlas mapping. Your installation of "
                                 "Volumira may be damaged.\n\n" +
                                 std::string(e.what()));
    } catch (...) {
        deleteFile(partialMap);
        throw std::runtime_error(
            "Could not load sagittal reference atlas. Your installation of Volumira may be damaged.");
    }
    if (!replaceFile(partialMap, mapPath)) {
        deleteFile(partialMap);
        throw std::runtime_error("Unable to save unpacked atlas at " + mapPath);
    }
}

void ReferenceAtlas::coronalPlateAt(float x, float y, float z, std::string& path, int& imageId, int& px,
                                    int& py) const {
    const std::size_t plate = nearestCoronalPlate(fineSliceAt(x));
    path = "production1/KVRTReferenceAtlas/Coronal/Zoomify/Atlas-Coronal-" +
           threeDigits(atlas::kCoronalPlatePositions[plate]) + ".aff";
    imageId = atlas::kCoronalPlateImageIdBase + static_cast<int>(plate);

    // Plate pixel (2838, 579) lies at Bregma; single precision throughout, as the plates were made.
    const float micrometres = atlas::kCoronalPlateMicrometresPerPixel;
    const float bregmaX = 2838 * micrometres, bregmaY = 579 * micrometres;
    const float sideOffset =
        static_cast<float>((atlas::kFineDims[2] - atlas::kBregma25[2] - 1)) * atlas::kFineSpacing;
    const float depthOffset = static_cast<float>(atlas::kBregma25[1]) * atlas::kFineSpacing;
    const float side = static_cast<float>(atlas::kCoarseDims[2]) - z - 1.0f;
    px = pixelOnPlate((bregmaX - sideOffset + side * atlas::kCoarseSpacing) / micrometres,
                      atlas::kCoronalPlateWidth);
    py = pixelOnPlate((bregmaY - depthOffset + y * atlas::kCoarseSpacing) / micrometres,
                      atlas::kCoronalPlateHeight);
}

void ReferenceAtlas::sagittalPlateAt(float x, float y, float z, std::string& path, int& imageId, int& px,
                                     int& py) {
    if (!sagittalMap_.isOpen() && !sagittalMap_.open(dataDir_ + "SagittalAtlasMap") &&
        !sagittalMap_.open(sharedDir_ + "SagittalAtlasMap"))
        throw std::runtime_error("The sagittal atlas mapping file could not be opened.");

    const auto [nx, ny, nz] = atlas::kCoarseDims;
    // Written so that NaN fails it too.
    const bool inside = x > 0.0f && x < static_cast<float>(nx) && y > 0.0f && y < static_cast<float>(ny) &&
                        z > 0.0f && z < static_cast<float>(nz);
    if (!inside) return;

    const int index = static_cast<int>(x) + static_cast<int>(y) * nx + static_cast<int>(z) * nx * ny;
    SagittalMapRecord record;
    if (!sagittalMap_.read(index, record)) {
        path.clear();
        return;
    }
    px = record.x;
    py = record.y;
    if (record.plate < atlas::kSagittalPlateCount) {
        path = std::string("production1/KVRTReferenceAtlas/Sagittal_Annotated/zoomify/Atlas-Sagittal-") +
               atlas::kSagittalPlateNames[record.plate] + ".aff";
        imageId = atlas::kSagittalPlateImageIdBase + record.plate;
    } else {
        path.clear();
    }
}

} // namespace volumira
