#include "platform/MemoryPolicy.h"
#include "volumira-tool/Tool.h"

#include <iostream>

int main(int argc, char** argv) {
    volumira::configureAllocator();
    return volumira::tool::runTool(argc, argv, std::cout, std::cerr);
}
