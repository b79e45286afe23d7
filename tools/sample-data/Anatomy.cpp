#include "sample-data/Anatomy.h"

#include <algorithm>
#include <cmath>

namespace volumira::sample {

namespace {

// Colours follow a familiar scheme: greens for the cortex, blues for the cerebral nuclei, pinks and
// reds for the interbrain and midbrain, oranges for the hindbrain, yellows for the cerebellum,
// greys for fibre tracts and ventricles.
const std::vector<StructureInfo> kStructures = {
    {1, 997, "Brain", "root", "", {214, 214, 214}, 0},
    {2, 567, "Cerebrum", "CH", "root", {176, 240, 255}, -1},
    {4, 688, "Cerebral cortex", "CTX", "CH", {176, 255, 184}, -1},
    {3, 315, "Isocortex", "Isocortex", "CTX", {112, 255, 113}, 1},
    {5, 500, "Somatomotor areas", "MO", "Isocortex", {31, 157, 90}, 2},
    {6, 453, "Somatosensory areas", "SS", "Isocortex", {24, 128, 100}, 2},
    {7, 669, "Visual areas", "VIS", "Isocortex", {8, 133, 140}, 2},
    {9, 247, "Auditory areas", "AUD", "Isocortex", {1, 147, 153}, 2},
    {10, 254, "Retrosplenial area", "RSP", "Isocortex", {26, 166, 152}, 2},
    {11, 31, "Anterior cingulate area", "ACA", "Isocortex", {64, 166, 102}, 2},
    {12, 714, "Orbital area", "ORB", "Isocortex", {36, 138, 94}, 2},
    {8, 698, "Olfactory areas", "OLF", "CTX", {154, 210, 189}, 1},
    {13, 507, "Main olfactory bulb", "MOB", "OLF", {154, 210, 189}, 2},
    {14, 961, "Piriform area", "PIR", "OLF", {106, 203, 186}, 2},
    {24, 1089, "Hippocampal formation", "HPF", "CTX", {126, 208, 75}, 1},
    {25, 1080, "Hippocampal region", "HIP", "HPF", {126, 208, 75}, 2},
    {26, 382, "Field CA1", "CA1", "HIP", {126, 208, 75}, 3},
    {27, 463, "Field CA3", "CA3", "HIP", {126, 208, 75}, 3},
    {28, 726, "Dentate gyrus", "DG", "HIP", {126, 208, 75}, 3},
    {29, 909, "Entorhinal area", "ENT", "HPF", {50, 184, 37}, 2},
    {30, 623, "Cerebral nuclei", "CNU", "CH", {152, 214, 249}, -1},
    {35, 477, "Striatum", "STR", "CNU", {152, 214, 249}, 1},
    {36, 672, "Caudoputamen", "CP", "STR", {152, 214, 249}, 2},
    {37, 56, "Nucleus accumbens", "ACB", "STR", {128, 205, 248}, 2},
    {38, 754, "Olfactory tubercle", "OT", "STR", {128, 205, 248}, 2},
    {49, 803, "Pallidum", "PAL", "CNU", {133, 153, 204}, 1},
    {50, 1022, "Globus pallidus external segment", "GPe", "PAL", {133, 153, 204}, 2},
    {51, 1031, "Globus pallidus internal segment", "GPi", "PAL", {133, 153, 204}, 2},
    {40, 343, "Brain stem", "BS", "root", {255, 112, 128}, -1},
    {41, 1129, "Interbrain", "IB", "BS", {255, 112, 128}, -1},
    {62, 549, "Thalamus", "TH", "IB", {255, 112, 128}, 1},
    {63, 170, "Dorsal lateral geniculate nucleus", "LGd", "TH", {255, 128, 132}, 2},
    {64, 709, "Ventral posterior complex", "VP", "TH", {255, 128, 132}, 2},
    {65, 483, "Medial habenula", "MH", "TH", {255, 133, 113}, 2},
    {100, 1097, "Hypothalamus", "HY", "IB", {230, 68, 56}, 1},
    {101, 38, "Paraventricular hypothalamic nucleus", "PVH", "HY", {255, 93, 80}, 2},
    {102, 331, "Mammillary body", "MBO", "HY", {242, 72, 59}, 2},
    {128, 313, "Midbrain", "MB", "BS", {255, 100, 255}, 1},
    {129, 302, "Superior colliculus", "SC", "MB", {255, 122, 255}, 2},
    {130, 4, "Inferior colliculus", "IC", "MB", {255, 122, 255}, 2},
    {131, 381, "Substantia nigra reticular part", "SNr", "MB", {255, 144, 255}, 2},
    {132, 795, "Periaqueductal gray", "PAG", "MB", {255, 144, 255}, 2},
    {150, 1065, "Hindbrain", "HB", "BS", {255, 155, 136}, -1},
    {165, 771, "Pons", "P", "HB", {255, 155, 136}, 1},
    {166, 931, "Pontine gray", "PG", "P", {255, 186, 134}, 2},
    {189, 354, "Medulla", "MY", "HB", {255, 179, 217}, 1},
    {190, 83, "Inferior olivary complex", "IO", "MY", {255, 195, 149}, 2},
    {191, 661, "Facial motor nucleus", "VII", "MY", {255, 179, 217}, 2},
    {224, 512, "Cerebellum", "CB", "root", {240, 240, 128}, 1},
    {225, 528, "Cerebellar cortex", "CBX", "CB", {240, 240, 128}, 2},
    {226, 645, "Vermal regions", "VERM", "CBX", {255, 252, 145}, 3},
    {227, 1073, "Hemispheric regions", "HEM", "CBX", {255, 252, 145}, 3},
    {228, 519, "Cerebellar nuclei", "CBN", "CB", {240, 240, 128}, 2},
    {240, 1009, "Fiber tracts", "FT", "root", {204, 204, 204}, -1},
    {241, 776, "Corpus callosum", "cc", "FT", {204, 204, 204}, -1},
    {242, 900, "Anterior commissure", "ac", "FT", {204, 204, 204}, -1},
    {243, 6, "Internal capsule", "int", "FT", {204, 204, 204}, -1},
    {244, 924, "Cerebral peduncle", "cpd", "FT", {204, 204, 204}, -1},
    {245, 728, "Arbor vitae", "arb", "FT", {204, 204, 204}, -1},
    {250, 73, "Ventricular systems", "VS", "root", {170, 170, 170}, -1},
    {251, 81, "Lateral ventricle", "VL", "VS", {170, 170, 170}, -1},
    {252, 129, "Third ventricle", "V3", "VS", {170, 170, 170}, -1},
    {253, 145, "Fourth ventricle", "V4", "VS", {170, 170, 170}, -1},
    {254, 140, "Cerebral aqueduct", "AQ", "VS", {170, 170, 170}, -1},
};

// Structure indices used by the model.
enum : std::uint8_t {
    CH = 2,
    CTX = 4,
    MO = 5,
    SS = 6,
    VIS = 7,
    AUD = 9,
    RSP = 10,
    ACA = 11,
    ORB = 12,
    MOB = 13,
    PIR = 14,
    HIP = 25,
    CA1 = 26,
    CA3 = 27,
    DG = 28,
    ENT = 29,
    CP = 36,
    ACB = 37,
    OT = 38,
    GPe = 50,
    GPi = 51,
    TH = 62,
    LGd = 63,
    VP = 64,
    MH = 65,
    HY = 100,
    PVH = 101,
    MBO = 102,
    MB = 128,
    SC = 129,
    IC = 130,
    SNr = 131,
    PAG = 132,
    P = 165,
    PG = 166,
    MY = 189,
    IO = 190,
    VII = 191,
    VERM = 226,
    HEM = 227,
    CBN = 228,
    cc = 241,
    ac = 242,
    int_ = 243,
    cpd = 244,
    arb = 245,
    VL = 251,
    V3 = 252,
    V4 = 253,
    AQ = 254
};

struct Point {
    double x, y, z, side; // side = |z|
};

// Normalised quadratic distance from an ellipsoid's centre: below 1 inside. A positive centre z
// stands for a pair of ellipsoids mirrored across the midline.
double ellipsoid(const Point& p, double cx, double cy, double cz, double rx, double ry, double rz) {
    const double dx = (p.x - cx) / rx, dy = (p.y - cy) / ry, dz = ((cz > 0 ? p.side : p.z) - cz) / rz;
    return dx * dx + dy * dy + dz * dz;
}

bool inside(const Point& p, double cx, double cy, double cz, double rx, double ry, double rz) {
    return ellipsoid(p, cx, cy, cz, rx, ry, rz) < 1.0;
}

// Depth below an ellipsoid's surface along the ray from its centre, in millimetres.
double depthBelow(const Point& p, double q, double cx, double cy, double cz) {
    const double dx = p.x - cx, dy = p.y - cy, dz = p.side - cz;
    const double distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    const double s = std::sqrt(std::max(q, 1e-9));
    return distance * (1.0 / s - 1.0);
}

// Cerebral hemispheres: one ellipsoid each side, joined below the cleft by a core across the midline.
constexpr double kHemi[6] = {5.75, 3.3, 1.85, 3.75, 2.65, 2.85};
constexpr double kCore[6] = {5.3, 3.7, 0, 2.4, 1.5, 1.3};

double cellTexture(std::uint32_t noise) {
    // Mostly fine grain, with a few dark cell bodies.
    const double grain = static_cast<double>(noise & 31u) - 15.5;
    return (noise >> 8) % 9 == 0 ? grain + 45.0 : grain;
}

std::uint8_t clampByte(double v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
}

// Cortical lamination by depth (mm): a pale layer 1, dense 2/3, a granular layer 4 where the
// area has one, paler 5, denser 6.
double corticalDensity(double depth, double thickness, bool granular) {
    const double f = depth / thickness;
    if (f < 0.1) return 45;
    if (f < 0.35) return 175;
    if (f < 0.5) return granular ? 200 : 150;
    if (f < 0.75) return 130;
    return 160;
}

Sample cerebrum(const Point& p, double hemiQ) {
    // Above the corpus callosum the medial wall of each hemisphere faces the midline cleft.
    const double arch = 2.05 + 0.22 * std::pow((p.x - 5.9) / 2.2, 2);
    double depth = depthBelow(p, hemiQ, kHemi[0], kHemi[1], kHemi[2]);
    if (p.y < arch) depth = std::min(depth, p.side - 0.06);
    const double thickness = 0.95 + 0.25 * std::exp(-std::pow((p.x - 5.5) / 2.0, 2)); // thicker mid-brain

    // Ventricle and white matter sit between cortex and the nuclei.
    if (inside(p, 5.1, 3.02, 1.3, 1.15, 0.2, 0.55)) return {VL, 0};
    if (std::hypot((p.x - 4.6) / 0.16, (p.y - 4.55 + 0.1 * p.side) / 0.13) < 1.0 && p.side < 2.1)
        return {ac, 30};

    // Hippocampus: a curved body under the caudal cortex, dentate gyrus at its core.
    const double hq = ellipsoid(p, 7.35, 3.25, 2.05, 1.05, 0.95, 1.9);
    if (hq < 1.0 && depth > thickness + 0.12) {
        if (hq < 0.3) {
            const bool granule = std::abs(hq - 0.2) < 0.045;
            return {DG, static_cast<std::uint8_t>(granule ? 230 : 70)};
        }
        const bool pyramidal = std::abs(hq - 0.62) < 0.07;
        return {static_cast<std::uint8_t>(p.y < 3.2 ? CA1 : CA3),
                static_cast<std::uint8_t>(pyramidal ? 225 : 75)};
    }

    // The olfactory tubercle lies on the ventral surface itself, under the striatum.
    if (inside(p, 4.3, 5.35, 1.35, 0.85, 0.32, 0.65)) return {OT, 150};

    if (depth < thickness) {
        // Cortical areas by position.
        std::uint8_t area = SS;
        bool granular = false;
        if (p.y > 4.55 && p.side > 2.3)
            area = p.x < 7.4 ? PIR : ENT;
        else if (p.x < 3.2)
            area = ORB;
        else if (p.side < 0.55)
            area = p.x < 5.4 ? ACA : RSP;
        else if (p.x > 7.7)
            area = VIS, granular = true;
        else if (p.side > 3.25 && p.x > 6.1)
            area = AUD, granular = true;
        else if (p.x < 5.0)
            area = MO;
        else
            granular = true;
        if (area == PIR) return {PIR, static_cast<std::uint8_t>(depth / thickness < 0.4 ? 195 : 95)};
        return {area, clampByte(corticalDensity(depth, thickness, granular))};
    }
    if (depth < thickness + 0.2 && p.x > 3.3 && p.x < 8.3 && p.y < 3.9) return {cc, 25};
    // Where the hemispheres meet, the corpus callosum crosses the midline as an arched band.
    if (p.side < 0.9 && p.x > 4.2 && p.x < 7.7 && p.y > arch && p.y < arch + 0.28) return {cc, 25};

    // Cerebral nuclei.
    if (inside(p, 5.6, 4.1, 2.55, 1.05, 0.95, 0.18)) return {int_, 35};
    if (inside(p, 5.45, 4.25, 2.05, 0.72, 0.6, 0.42)) return {GPe, 60};
    if (inside(p, 5.95, 4.75, 1.7, 0.36, 0.35, 0.3)) return {GPi, 55};
    if (inside(p, 3.95, 4.55, 1.05, 0.78, 0.62, 0.62)) return {ACB, 125};
    if (inside(p, 4.75, 3.7, 2.15, 1.65, 1.3, 1.1)) return {CP, 115};
    return {CH, 95};
}

Sample interbrain(const Point& p, bool thalamus) {
    if (p.side < 0.08 && inside(p, 6.1, 4.45, 0, 1.05, 0.95, 0.5)) return {V3, 0};
    if (thalamus) {
        if (inside(p, 6.55, 3.15, 0.28, 0.35, 0.22, 0.2)) return {MH, 205};
        if (inside(p, 6.9, 3.55, 1.2, 0.45, 0.35, 0.3)) return {LGd, 155};
        if (inside(p, 6.35, 4.05, 1.3, 0.62, 0.5, 0.5)) return {VP, 140};
        return {TH, 128};
    }
    if (inside(p, 5.75, 4.75, 0.26, 0.42, 0.3, 0.2)) return {PVH, 190};
    if (inside(p, 7.1, 5.55, 0.38, 0.42, 0.3, 0.45)) return {MBO, 170};
    return {HY, 108};
}

// The aqueduct runs through the midbrain, sloping down towards the fourth ventricle.
double aqueductDistance(const Point& p) {
    const double cy = 3.85 + 0.2 * (p.x - 7.4);
    return std::sqrt((p.y - cy) * (p.y - cy) + p.z * p.z);
}

Sample midbrain(const Point& p) {
    const double aq = aqueductDistance(p);
    if (aq < 0.11 && p.x > 7.2 && p.x < 9.4) return {AQ, 0};
    if (aq < 0.55) return {PAG, 112};
    if (inside(p, 7.9, 5.1, 0.9, 0.6, 0.18, 0.35)) return {cpd, 30};
    if (inside(p, 7.8, 5.15, 1.25, 0.6, 0.22, 0.5)) return {SNr, 72};
    if (p.y < 3.35 && p.x < 8.75) return {SC, 132};
    if (p.y < 3.75 && p.x >= 8.75) return {IC, 122};
    return {MB, 100};
}

// Medulla: a tapering cylinder from behind the pons to the back of the box.
bool inMedulla(const Point& p) {
    if (p.x < 9.25) return false;
    const double t = std::max(0.0, p.x - 9.8);
    const double cy = 5.15 - 0.08 * t, ry = 1.05 - 0.08 * t, rz = 1.7 - 0.22 * t;
    if (p.x < 9.8) return inside(p, 9.8, 5.15, 0, 0.55, 1.05, 1.7);
    const double dy = (p.y - cy) / ry, dz = p.z / rz;
    return dy * dy + dz * dz < 1.0;
}

Sample cerebellum(const Point& p, double q) {
    if (inside(p, 10.2, 4.1, 1.0, 0.38, 0.3, 0.34)) return {CBN, 150};
    // White matter core branching into the folia; granular layer around it; molecular layer outside.
    const double depth = depthBelow(p, q, 10.35, 3.65, 0);
    const double folia = 0.12 * std::sin(p.x * 9.0 + p.y * 4.0);
    if (q < 0.28 + folia) return {arb, 28};
    const std::uint8_t part = p.side < 1.25 ? VERM : HEM;
    return {part, static_cast<std::uint8_t>(depth < 0.22 + folia ? 55 : 215)};
}

} // namespace

const std::vector<StructureInfo>& sampleStructures() {
    return kStructures;
}

double sagittalPlateLateralMm(int plate) {
    return 0.15 + 0.2 * plate;
}

Sample sampleAt(double x, double y, double z, std::uint32_t cellNoise) {
    const Point p{x, y, z, std::abs(z)};
    Sample s;
    if (y > 7.4 || x < 0.15) return s;
    // The cleft between the hemispheres, down to the corpus callosum.
    const bool fissure = p.side < 0.06 && p.y < 2.7 && p.x > 2.5 && p.x < 9.0;

    // Brain stem first: its parts reach into the space between the hemispheres.
    if (inside(p, 6.45, 3.95, 0, 1.2, 0.9, 1.6))
        s = interbrain(p, true);
    else if (inside(p, 5.9, 5.1, 0, 1.6, 0.72, 1.0))
        s = interbrain(p, false);
    else if (inside(p, 8.25, 4.05, 0, 1.15, 1.65, 1.7))
        s = midbrain(p);
    else if (inside(p, 9.3, 5.75, 0, 1.0, 0.95, 1.5))
        s = inside(p, 9.0, 6.25, 0.6, 0.5, 0.3, 0.6) ? Sample{PG, 175} : Sample{P, 92};
    else if (inMedulla(p)) {
        if (inside(p, 10.0, 4.9, 0, 0.6, 0.18, 0.9))
            s = {V4, 0};
        else if (inside(p, 11.0, 6.15, 0.5, 0.6, 0.25, 0.4))
            s = {IO, 182};
        else if (inside(p, 10.6, 5.85, 1.3, 0.3, 0.25, 0.3))
            s = {VII, 200};
        else
            s = {MY, 96};
    } else if (const double q = ellipsoid(p, 10.35, 3.65, 0, 1.45, 2.0, 3.0); q < 1.0 && p.y < 5.0) {
        s = cerebellum(p, q);
    } else if (const double ob = ellipsoid(p, 2.0, 3.45, 0.7, 1.5, 1.2, 0.74); ob < 1.0) {
        // Olfactory bulb: glomeruli outside, a pale plexiform ring, dense granule cells inside.
        s = {MOB, static_cast<std::uint8_t>(ob > 0.75 ? 150 : ob > 0.55 ? 70 : 195)};
    } else if (const double hq = ellipsoid(p, kHemi[0], kHemi[1], kHemi[2], kHemi[3], kHemi[4], kHemi[5]);
               !fissure &&
               (hq < 1.0 || inside(p, kCore[0], kCore[1], kCore[2], kCore[3], kCore[4], kCore[5]))) {
        s = cerebrum(p, hq);
    } else {
        return s;
    }
    if (s.nissl > 0) s.nissl = clampByte(s.nissl + cellTexture(cellNoise));
    return s;
}

} // namespace volumira::sample
