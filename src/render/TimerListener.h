#pragma once

namespace volumira {

// Receives the ticks of the view's one timer.
class TimerListener {
  public:
    virtual ~TimerListener() = default;
    virtual void timerTick() = 0;
};

} // namespace volumira
