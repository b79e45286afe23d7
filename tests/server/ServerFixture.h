#pragma once

// One small sample data directory and one data server on a free loopback port for the whole test
// binary, with a client that speaks the server's protocols the way the viewer does.

#include "atlas/Ontology.h"
#include "io/Image3d.h"
#include "support/TempDir.h"
#include "volumira-server/DataServer.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace volumira::test {

// What a search response holds, read element by element as the viewer reads it.
struct SearchAnswer {
    int status = 0;
    long total = -1; // -1 when the response has no total
    std::vector<std::map<std::string, std::string>> records;
    std::string fault; // the fault string of a failed request
};

class ServerTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();

    static httplib::Result get(const std::string& target);
    // One SOAP request; parameters in order as in0, in1, ….
    static SearchAnswer search(const std::string& operation, const std::vector<std::string>& parameters);
    static SearchAnswer searchText(const std::string& text, int count, int start, bool anatomic = false);

    static std::string dataFile(const std::string& name) { return data_->file(name); }
    // The sample atlas's own coarse annotation and ontology, to place grid cells in structures.
    static const Image3d& annotation() { return *annotation_; }
    static const Ontology& ontology() { return *ontology_; }
    static int port() { return port_; }

  private:
    static inline TempDir* data_ = nullptr;
    static inline server::DataServer* server_ = nullptr;
    static inline std::thread* serving_ = nullptr;
    static inline Image3d* annotation_ = nullptr;
    static inline Ontology* ontology_ = nullptr;
    static inline int port_ = 0;
};

} // namespace volumira::test
