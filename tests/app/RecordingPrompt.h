#pragma once

#include "app/Prompt.h"

#include <string>
#include <vector>

namespace volumira::test {

// Answers warnings with Yes and questions as told, and keeps the errors it was shown.
class RecordingPrompt : public Prompt {
  public:
    explicit RecordingPrompt(bool questionAnswer = false) : questionAnswer_(questionAnswer) {}
    bool askWarning(const std::string&) override { return true; }
    bool askQuestion(const std::string& text) override {
        questions.push_back(text);
        return questionAnswer_;
    }
    void inform(const std::string&) override {}
    void error(const std::string& text) override { errors.push_back(text); }
    std::vector<std::string> questions, errors;

  private:
    bool questionAnswer_;
};

} // namespace volumira::test
