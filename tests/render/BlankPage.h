#pragma once

#include "render/GLRenderer.h"

namespace volumira::test {

// A page that draws nothing and takes no input: a result tab's page where only its presence matters.
class BlankPage : public GLInteractiveRenderer {
  public:
    void initialize() override {}
    void draw() override {}
    void resize(int, int) override {}
    void setActive(bool) override {}
};

} // namespace volumira::test
