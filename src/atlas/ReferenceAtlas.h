#pragma once

#include "atlas/ColourMap.h"
#include "atlas/Ontology.h"
#include "atlas/SagittalMap.h"
#include "io/Image3d.h"

#include <memory>
#include <string>

namespace volumira {

// The reference data of the mouse brain: the coarse (100 µm) and fine (25 µm) annotation volumes, the
// fine Nissl volume, the ontology, the colour maps, and the lookups from a point in the brain to the
// atlas plate images on the data server. Positions are coarse-grid voxels: x anterior to posterior,
// y dorsal to ventral, z across the sides.
class ReferenceAtlas {
  public:
    // Reads the coarse annotation, the colour maps and the ontology from dataDir; unpacked data is kept
    // in sharedDir. Both end in "/". Throws when a file is missing or damaged.
    ReferenceAtlas(std::string dataDir, std::string sharedDir);
    ~ReferenceAtlas();
    ReferenceAtlas(const ReferenceAtlas&) = delete;
    ReferenceAtlas& operator=(const ReferenceAtlas&) = delete;

    // The process-wide atlas over dataDirectory() and atlasDirectory(), built on first use; a failed
    // construction keeps nothing, so the next call tries again.
    static ReferenceAtlas& instance();
    static void releaseInstance();

    const Ontology& ontology() const { return *ontology_; }
    const ColourMap& atlasColourMap() const { return atlasColours_; }
    const ColourMap& expressionColourMap() const { return expressionColours_; }
    const ColourMap& jetColourMap() const { return jetColours_; }
    const Image3d& annotation100() const { return annotation100_; }
    // The fine volumes, loaded on the calling thread first when they are not loaded yet.
    const Image3d& annotation25();
    const Image3d& nissl25();

    // Axis 0..2; anything else is an invalid argument.
    int dimension100(int axis) const;
    int dimension25(int axis) const;
    int bregma25(int axis) const;
    float bregma100(int axis) const;
    float spacing100() const;
    float spacing25() const;
    int voxelCount100() const;

    bool isFullScaleLoaded() const;
    // Loads the fine annotation and the Nissl volume. Throws on failure and also when cancelled: the
    // caller knows its own cancel flag. A Nissl copy that cannot be read is deleted from the shared
    // directory so that the next start unpacks it again.
    void loadFullScale(ProgressCallback callback, void* userData, const CancelFlag* cancel);

    // True when the Nissl volume and the sagittal mapping can be read from either directory. An unpacked
    // copy of another unpacking version is deleted.
    bool isUnpacked();
    // Unpacks the Nissl volume and the sagittal mapping into the shared directory. False when cancelled;
    // throws on failure. The version file is removed first and written last, so a cancelled or failed
    // unpack leaves none and it only ever stands beside complete files.
    bool unpack(ProgressCallback callback, void* userData, const CancelFlag* cancel);

    // The coronal plate nearest to the point, its image id and the point's pixel on it.
    void coronalPlateAt(float x, float y, float z, std::string& path, int& imageId, int& px, int& py) const;
    // The sagittal plate through the point. A point outside the coarse grid changes nothing; a point on
    // no plate sets the pixel and an empty path. Throws when the mapping file opens nowhere.
    void sagittalPlateAt(float x, float y, float z, std::string& path, int& imageId, int& px, int& py);

    const std::string& dataDir() const { return dataDir_; }
    const std::string& sharedDir() const { return sharedDir_; }

  private:
    void unpackSagittal();

    std::string dataDir_, sharedDir_;
    std::unique_ptr<Ontology> ontology_;
    Image3d annotation100_;
    Image3d annotation25_;
    Image3d nissl25_;
    ColourMap atlasColours_, expressionColours_, jetColours_;
    SagittalMap sagittalMap_;
};

} // namespace volumira
