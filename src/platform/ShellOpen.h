#pragma once

// Hands documents and web addresses to the desktop's default handler. The opener is replaceable so that
// the user-interface layer can route requests through its toolkit and tests can watch them.

#include <string>

namespace volumira {

class ShellOpener {
  public:
    virtual ~ShellOpener();
    // Opens a file path or web address; the outcome is not reported.
    virtual void open(const std::string& target) = 0;
};

// Starts a program with the target as its single argument, without a shell, and does not wait for it.
class SpawnShellOpener : public ShellOpener {
  public:
    explicit SpawnShellOpener(std::string program = "xdg-open");
    void open(const std::string& target) override;

  private:
    std::string program_;
};

// Installs the opener used by shellOpen (not owned; it must outlive its use). Null restores the default,
// which runs xdg-open.
void setShellOpener(ShellOpener* opener);

void shellOpen(const std::string& target);

} // namespace volumira
