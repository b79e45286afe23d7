#pragma once

#include "atlas/StructureSet.h"

#include <array>
#include <cstdint>
#include <string>

namespace volumira {

class BrainExpressionModel;
class Ontology;

// A named record of chosen parts of the 3D view's state; `settings` says which parts it holds.
class Bookmark {
  public:
    enum Setting : std::int32_t {
        ExpressionFilter = 0x01,
        AtlasStructures = 0x02,
        ViewAngle = 0x04,
        ViewZoom = 0x08,
        AtlasSections = 0x10,
        ClippingPlanes = 0x20,
        ExpressionThresholds = 0x40,
        AllSettings = 0xFFFF,
    };
    // Annotation grid size along each orientation (coronal, horizontal, sagittal).
    static constexpr std::array<int, 3> kAtlasSize{133, 81, 115};

    Bookmark();
    Bookmark(std::string name, std::int32_t settings);
    // Captures from the model exactly the parts named by settings; the rest keep their defaults.
    Bookmark(std::string name, std::int32_t settings, const BrainExpressionModel& model);
    Bookmark(const Bookmark&) = default;
    Bookmark& operator=(const Bookmark&) = default;
    virtual ~Bookmark();

    // Every field but the name and settings back to its default; those two too when asked.
    virtual void reset(bool clearNameAndSettings);
    virtual void assign(const Bookmark& other);
    virtual const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    // Hands the held parts to the model, each with notification; parts not held stay untouched.
    virtual void apply(BrainExpressionModel& model) const;
    // Appends the bookmark's element, indented by `indent` spaces; structures are named from the ontology.
    virtual void write(std::string& out, int indent, const Ontology& ontology) const;

    bool holds(std::int32_t setting) const { return (settings & setting) != 0; }

    std::int32_t settings = 0;
    StructureSet expressionFilter;
    StructureSet atlasStructures;
    std::array<float, 3> sliceLocation{-1.0f, -1.0f, -1.0f};
    std::array<std::uint8_t, 3> sliceVisible{0, 0, 0};
    // Interleaved per orientation: lower, upper.
    std::array<float, 6> clipping{};
    std::array<float, 4> rotation{0.0f, 0.0f, 0.0f, 0.0f};
    std::array<float, 3> origin{0.0f, 0.0f, 0.0f};
    float scoreLower = 0.0f, scoreUpper = -1.0f;
    float countLower = 0.0f, countUpper = -1.0f;
    float zoom = 40.0f;

    float clipLower(int axis) const { return clipping[2 * axis]; }
    float clipUpper(int axis) const { return clipping[2 * axis + 1]; }

  private:
    void capture(const BrainExpressionModel& model);

    std::string name_;
};

// Sets one clipping range on the model in the order that its margin rule cannot spoil: when the new
// lower bound lies above the current upper one, the upper bound moves first.
void setClippingRange(BrainExpressionModel& model, int axis, float lower, float upper);

// Formats a float as the bookmarks file writes it: general notation, at most 6 significant digits,
// whatever the process locale.
std::string formatBookmarkNumber(float value);
// Reads a number as the file's readers always have: leading blanks skipped, the longest decimal prefix
// taken, anything unreadable giving 0.
float parseBookmarkNumber(const char* text);

} // namespace volumira
