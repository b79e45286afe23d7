#include "bookmarks/Bookmark.h"

#include "atlas/Ontology.h"
#include "expression/BrainExpressionModel.h"
#include "xml/EscapeXml.h"

#include <cctype>
#include <charconv>
#include <vector>

namespace volumira {

namespace {

const char* const kOrientationNames[3] = {"coronal", "horizontal", "sagittal"};

void appendIndent(std::string& out, int indent) { out.append(static_cast<std::size_t>(indent), ' '); }

void writeStructures(std::string& out, int indent, const char* element, const StructureSet& set,
                     const Ontology& ontology) {
    appendIndent(out, indent);
    out += '<';
    out += element;
    out += ">\n";
    std::vector<const Structure*> structures;
    ontology.structuresIn(set, structures);
    for (const Structure* s : structures) {
        appendIndent(out, indent + 4);
        out += "<Structure id=\"";
        out += std::to_string(static_cast<std::uint32_t>(s->id));
        out += "\" name=\"";
        escapeXml(s->acronym, out);
        out += "\"/>\n";
    }
    appendIndent(out, indent);
    out += "</";
    out += element;
    out += ">\n";
}

void appendNumbers(std::string& out, const float* values, int count) {
    for (int i = 0; i < count; ++i) {
        if (i > 0) out += ' ';
        out += formatBookmarkNumber(values[i]);
    }
}

void appendAttribute(std::string& out, const char* name, float value) {
    out += ' ';
    out += name;
    out += "=\"";
    out += formatBookmarkNumber(value);
    out += '"';
}

void writeThreshold(std::string& out, int indent, const char* element, float lower, float upper) {
    appendIndent(out, indent);
    out += '<';
    out += element;
    if (lower > 0.0f) appendAttribute(out, "lower", lower);
    if (upper >= 0.0f) appendAttribute(out, "upper", upper);
    out += "/>\n";
}

} // namespace

Bookmark::Bookmark() { reset(true); }

Bookmark::Bookmark(std::string name, std::int32_t settingsValue) : Bookmark() {
    name_ = std::move(name);
    settings = settingsValue;
}

Bookmark::Bookmark(std::string name, std::int32_t settingsValue, const BrainExpressionModel& model)
    : Bookmark(std::move(name), settingsValue) {
    capture(model);
}

Bookmark::~Bookmark() = default;

void Bookmark::reset(bool clearNameAndSettings) {
    if (clearNameAndSettings) {
        name_.clear();
        settings = 0;
    }
    expressionFilter = StructureSet();
    atlasStructures = StructureSet();
    sliceLocation = {-1.0f, -1.0f, -1.0f};
    sliceVisible = {0, 0, 0};
    for (int axis = 0; axis < 3; ++axis) {
        clipping[2 * axis] = 0.0f;
        clipping[2 * axis + 1] = static_cast<float>(kAtlasSize[axis] - 1);
    }
    rotation = {0.0f, 0.0f, 0.0f, 0.0f};
    origin = {0.0f, 0.0f, 0.0f};
    scoreLower = 0.0f;
    scoreUpper = -1.0f;
    countLower = 0.0f;
    countUpper = -1.0f;
    zoom = 40.0f;
}

void Bookmark::assign(const Bookmark& other) {
    if (this != &other) *this = other;
}

void Bookmark::capture(const BrainExpressionModel& model) {
    if (holds(ExpressionFilter)) expressionFilter = model.expressionStructures();
    if (holds(AtlasStructures)) atlasStructures = model.shownStructures();
    if (holds(ViewAngle)) {
        rotation = model.rotation();
        origin = model.translation();
    }
    if (holds(ViewZoom)) zoom = model.zoom();
    if (holds(AtlasSections))
        for (int axis = 0; axis < 3; ++axis) {
            sliceVisible[axis] = model.displayFlag(axis) ? 1 : 0;
            sliceLocation[axis] = model.sectionPosition(axis);
        }
    if (holds(ClippingPlanes))
        for (int axis = 0; axis < 3; ++axis) {
            clipping[2 * axis] = model.clippingPlane(axis, true);
            clipping[2 * axis + 1] = model.clippingPlane(axis, false);
        }
    if (holds(ExpressionThresholds)) {
        model.levelThreshold(scoreLower, scoreUpper);
        model.expressorThreshold(countLower, countUpper);
    }
}

void Bookmark::apply(BrainExpressionModel& model) const {
    if (holds(ExpressionFilter)) model.setExpressionStructures(expressionFilter, true);
    if (holds(AtlasStructures)) model.setShownStructures(atlasStructures, true);
    if (holds(ViewAngle)) {
        model.setRotation(rotation, true);
        model.setTranslation(origin, true);
    }
    if (holds(ViewZoom)) model.setZoom(zoom, true);
    if (holds(AtlasSections))
        for (int axis = 0; axis < 3; ++axis) {
            model.setDisplayFlag(axis, sliceVisible[axis] != 0, true);
            if (sliceLocation[axis] >= 0.0f) model.setSectionPosition(axis, sliceLocation[axis], true);
        }
    if (holds(ClippingPlanes))
        for (int axis = 0; axis < 3; ++axis)
            setClippingRange(model, axis, clipLower(axis), clipUpper(axis));
    if (holds(ExpressionThresholds)) {
        model.setLevelThreshold(scoreLower, scoreUpper, true);
        model.setExpressorThreshold(countLower, countUpper, true);
    }
}

void Bookmark::write(std::string& out, int indent, const Ontology& ontology) const {
    appendIndent(out, indent);
    out += "<Bookmark name=\"";
    escapeXml(name_, out);
    out += "\">\n";
    const int inner = indent + 4;
    if (holds(ExpressionFilter)) writeStructures(out, inner, "ExpressionFilter", expressionFilter, ontology);
    if (holds(AtlasStructures)) writeStructures(out, inner, "AtlasStructures", atlasStructures, ontology);
    if (holds(ViewAngle)) {
        appendIndent(out, inner);
        out += "<Rotation>";
        appendNumbers(out, rotation.data(), 4);
        out += "</Rotation>\n";
        appendIndent(out, inner);
        out += "<Origin>";
        appendNumbers(out, origin.data(), 3);
        out += "</Origin>\n";
    }
    if (holds(ViewZoom)) {
        appendIndent(out, inner);
        out += "<Zoom>" + formatBookmarkNumber(zoom) + "</Zoom>\n";
    }
    if (holds(AtlasSections))
        for (int axis = 0; axis < 3; ++axis) {
            if (!sliceVisible[axis] || sliceLocation[axis] < 0.0f) continue;
            appendIndent(out, inner);
            out += "<NisslSlice orientation=\"";
            out += kOrientationNames[axis];
            out += '"';
            appendAttribute(out, "location", sliceLocation[axis]);
            out += "/>\n";
        }
    if (holds(ClippingPlanes))
        for (int axis = 0; axis < 3; ++axis) {
            appendIndent(out, inner);
            out += "<ClippingPlane orientation=\"";
            out += kOrientationNames[axis];
            out += '"';
            appendAttribute(out, "lower", clipLower(axis));
            appendAttribute(out, "upper", clipUpper(axis));
            out += "/>\n";
        }
    if (holds(ExpressionThresholds)) {
        writeThreshold(out, inner, "ExpressionScoreThreshold", scoreLower, scoreUpper);
        writeThreshold(out, inner, "NumberOfExpressorsThreshold", countLower, countUpper);
    }
    appendIndent(out, indent);
    out += "</Bookmark>\n";
}

void setClippingRange(BrainExpressionModel& model, int axis, float lower, float upper) {
    if (lower > model.clippingPlane(axis, false) - 2.0f) {
        model.setClippingPlane(axis, upper, false, true);
        model.setClippingPlane(axis, lower, true, true);
    } else {
        model.setClippingPlane(axis, lower, true, true);
        model.setClippingPlane(axis, upper, false, true);
    }
}

std::string formatBookmarkNumber(float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return std::string(buffer, result.ptr);
}

float parseBookmarkNumber(const char* text) {
    if (!text) return 0.0f;
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    if (*text == '+') ++text;
    const char* end = text;
    while (*end)
        ++end;
    float value = 0.0f;
    const auto result = std::from_chars(text, end, value);
    return result.ec == std::errc() ? value : 0.0f;
}

} // namespace volumira
