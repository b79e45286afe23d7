#pragma once

// The two grids of the reference atlas and the fixed tables that tie them to the atlas plates.
// Axis 0 runs anterior to posterior, 1 dorsal to ventral, 2 across the sides.

#include <array>

namespace volumira::atlas {

inline constexpr std::array<int, 3> kCoarseDims = {133, 81, 115};
inline constexpr std::array<int, 3> kFineDims = {528, 320, 456};
inline constexpr float kCoarseSpacing = 100.0f;
inline constexpr float kFineSpacing = 25.0f;
inline constexpr float kScale = 4.0f;
inline constexpr int kCoarseVoxelCount = 133 * 81 * 115;
// The reference point of the plates and the compass, in fine-grid voxels.
inline constexpr std::array<int, 3> kBregma25 = {213, 41, 223};

// Fine-grid x slice of each coronal plate; the index is the plate number.
extern const std::array<int, 132> kCoronalPlatePositions;
inline constexpr int kCoronalPlateWidth = 5690, kCoronalPlateHeight = 4418;
inline constexpr float kCoronalPlateMicrometresPerPixel = 1.9f;
inline constexpr int kCoronalPlateImageIdBase = 130879;

inline constexpr int kSagittalPlateCount = 21;
extern const std::array<const char*, kSagittalPlateCount> kSagittalPlateNames;
inline constexpr int kSagittalPlateImageIdBase = 130858;
inline constexpr int kSagittalPlateWidth = 7561, kSagittalPlateHeight = 4418;
// Plate number of a coarse voxel that lies on no sagittal plate.
inline constexpr int kNoSagittalPlate = 255;

} // namespace volumira::atlas
