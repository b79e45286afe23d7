#pragma once

#include "expression/BrainExpressionModel.h"

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace volumira::test {

// Records every event it is told, in order, as (event code, argument) pairs.
class ModelRecorder : public BrainExpressionModelListener {
  public:
    using Event = std::pair<std::int32_t, std::int32_t>;

    void modelChanged(ModelEvent event, BrainExpressionModel& model, std::int32_t argument) override {
        const auto code = static_cast<std::int32_t>(event);
        events.emplace_back(code, argument);
        lastModel = &model;
        if (onEvent) onEvent(code);
    }

    static Event of(ModelEvent event, std::int32_t argument = 0) {
        return {static_cast<std::int32_t>(event), argument};
    }

    std::vector<Event> events;
    BrainExpressionModel* lastModel = nullptr;
    // Lets a test act from inside a notification.
    std::function<void(std::int32_t)> onEvent;
};

} // namespace volumira::test
