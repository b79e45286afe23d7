#pragma once

#include "app/GLSetup.h"

#include <QSurfaceFormat>

namespace volumira {

// Asks the window system what it offers a view by setting up real, hidden probe windows and contexts
// with the view's format. Needs the application object; leaves the current context as it found it.
class QtDisplayOffer : public DisplayOffer {
  public:
    explicit QtDisplayOffer(const QSurfaceFormat& viewFormat) : viewFormat_(viewFormat) {}

    DisplayFacts probe(int samples) override;

  private:
    QSurfaceFormat viewFormat_;
};

} // namespace volumira
