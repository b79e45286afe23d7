// One libFuzzer program per reader: VOLUMIRA_FUZZ_TARGET names its harness.
#include "harness/FuzzTargets.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const volumira::fuzz::Target* const target = volumira::fuzz::findTarget(VOLUMIRA_FUZZ_TARGET);
    if (!target) std::abort();
    target->run({data, size});
    return 0;
}
