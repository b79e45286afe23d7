#include "scene/SceneOverlays.h"

#include "atlas/Ontology.h"
#include "expression/BrainExpressionModel.h"
#include "expression/ExpressionCell.h"
#include "expression/GeneExpression.h"
#include "platform/FileUtils.h"
#include "render/ExpressionThresholdControl.h"
#include "render/ExpressorStyle.h"
#include "render/GL.h"
#include "render/GLDisplay.h"
#include "render/GLTextBox.h"
#include "render/TabControlRenderer.h"
#include "scene/SceneImagePanel.h"

#include <sstream>
#include <vector>

namespace volumira {

std::string selectionInfoText(const BrainExpressionModel& model) {
    std::ostringstream text;
    const ExpressionCell* cell = model.selectedCell();
    const GeneExpression* gene = model.selectedCellGene();
    const Structure* structure = model.highlightedStructure();
    if (cell && gene) {
        const std::string name = cell->structure ? cell->structure->name : "";
        const std::string acronym = cell->structure ? cell->structure->acronym : "";
        text << "Gene: " << gene->name() << '\n'
             << "Annotation: " << name << " (" << acronym << ") \n"
             << "#Expressors: " << cell->expressors << '\n'
             << "Cell Diameter: " << cell->diameter << ' ' << micrometreLabel() << '\n'
             << "Grid Area Spanned: " << static_cast<int>(cell->areaSpanned * 100.0f + 0.5f) << "%\n"
             << "Expression Level: " << cell->level << '\n'
             << "Grid ID: " << cell->gridId - 1 << " (" << cell->x << ", " << cell->y << ", " << cell->z << ")\n"
             << "Section: " << cell->section << " Location: " << cell->sectionX << ", " << cell->sectionY;
    } else if (structure && isSelectableStructure(*structure)) {
        std::vector<const Structure*> path;
        for (const Structure* s = structure; s; s = s->parent)
            path.push_back(s);
        for (std::size_t depth = 0; depth < path.size(); ++depth) {
            const Structure* s = path[path.size() - 1 - depth];
            text << std::string(2 * depth, ' ') << s->name << " (" << s->acronym << ")";
            if (depth + 1 < path.size()) text << '\n';
        }
    }
    return text.str();
}

SceneOverlays::SceneOverlays(GLDisplay& display)
    : infoBox_(display.createTextBox(340, 8, false, GLDisplay::kAlignLeft)),
      frameRateBox_(display.createTextBox(40, 1, false, GLDisplay::kAlignLeft)) {
    infoBox_->setBackground(true);
}

SceneOverlays::~SceneOverlays() = default;

void SceneOverlays::releaseGL() {
    infoBox_.reset();
    frameRateBox_.reset();
}

void SceneOverlays::setSelectionText(std::string text) {
    selectionText_ = std::move(text);
    if (infoBox_) infoBox_->setText(selectionText_);
}

int SceneOverlays::stripHeight(const TabControlRenderer& tabs) {
    return tabs.hasMultipleTabs() ? tabs.stripHeight() : 0;
}

void SceneOverlays::draw(int width, int height, TabControlRenderer& tabs, SceneImagePanel* image,
                         ExpressionThresholdControl* control) {
    if (!infoBox_) return;
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_LINE_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0, width, 0, height);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    if (tabs.hasMultipleTabs()) tabs.draw(width);
    infoBox_->draw(5, height - infoBox_->height() - stripHeight(tabs) - 5);
    if (image) {
        image->draw();
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    }
    if (frameRateShown_) {
        if (frameRate_.frame(secondsNow())) frameRateBox_->setText(frameRate_.text());
        frameRateBox_->draw(width - 35, 0);
    }
    if (control) control->draw();

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

} // namespace volumira
