#pragma once

#include "atlas/ReferenceAtlas.h"
#include "sample-data/SampleAtlas.h"
#include "support/TempDir.h"

#include <filesystem>
#include <memory>

namespace volumira::test {

// The sample atlas, generated and loaded once for all the tests of this binary.
class SampleAtlasFixture {
  public:
    static ReferenceAtlas& atlas() {
        static SampleAtlasFixture fixture;
        return *fixture.atlas_;
    }

  private:
    SampleAtlasFixture() {
        const std::string data = dir_.path() + "/Data/", shared = dir_.path() + "/Atlas/";
        sample::writeSampleAtlas(data, sample::SampleGrid::full());
        std::filesystem::create_directories(shared);
        atlas_ = std::make_unique<ReferenceAtlas>(data, shared);
        atlas_->unpack(nullptr, nullptr, nullptr);
        atlas_->loadFullScale(nullptr, nullptr, nullptr);
    }
    test::TempDir dir_;
    std::unique_ptr<ReferenceAtlas> atlas_;
};

} // namespace volumira::test
