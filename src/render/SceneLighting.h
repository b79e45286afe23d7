#pragma once

namespace volumira {

// The lighting every 3D page shares: two lights, colour material, normal rescaling, depth test and
// smooth shading. Needs the page's context current.
void applySceneLighting();
// The two lights' directions, set again after the model-view matrix is loaded for a frame.
void placeSceneLights();

} // namespace volumira
