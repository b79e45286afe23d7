#pragma once

#include <string>

namespace volumira {

// Questions and notices to the user, behind an interface so that tests answer without a human.
class Prompt {
  public:
    virtual ~Prompt() = default;
    // A warning with Yes and No, No being the default; true for Yes.
    virtual bool askWarning(const std::string& text) = 0;
    // A question with Yes and No, No being the default; true for Yes.
    virtual bool askQuestion(const std::string& text) = 0;
    virtual void inform(const std::string& text) = 0;
    // An error with an exclamation mark; an empty text gets a general one.
    virtual void error(const std::string& text) = 0;
};

} // namespace volumira
