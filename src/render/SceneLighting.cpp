#include "render/SceneLighting.h"

#include "render/GL.h"

namespace volumira {

void applySceneLighting() {
    const GLfloat ambient[] = {0.2f, 0.2f, 0.2f, 1.0f}, diffuse[] = {0.75f, 0.75f, 0.75f, 1.0f},
                  specular[] = {1.0f, 1.0f, 1.0f, 1.0f};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT1, GL_SPECULAR, specular);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHT1);
    glEnable(GL_NORMALIZE);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
}

void placeSceneLights() {
    const GLfloat light0[] = {1.0f, 1.0f, -1.0f, 0.0f}, light1[] = {-1.0f, -1.0f, 1.0f, 0.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, light0);
    glLightfv(GL_LIGHT1, GL_POSITION, light1);
}

} // namespace volumira
