#include "FuzzTargets.h"

#include "Harnesses.h"

#include <array>

namespace volumira::fuzz {

namespace {

constexpr std::array kTargets{
    Target{"compressed_block_fuzz", compressedBlock},
    Target{"slice_volume_fuzz", sliceVolume},
    Target{"bgra_jpeg_fuzz", bgraJpeg},
    Target{"expression_fuzz", expression},
    Target{"mesh_fuzz", mesh},
    Target{"ontology_fuzz", ontology},
    Target{"colour_map_fuzz", colourMap},
    Target{"sagittal_map_fuzz", sagittalMap},
    Target{"search_domains_fuzz", searchDomains},
    Target{"versions_fuzz", versions},
    Target{"bookmarks_fuzz", bookmarks},
    Target{"search_response_fuzz", searchResponse},
    Target{"gene_list_fuzz", geneList},
    Target{"image_properties_fuzz", imageProperties},
    Target{"soap_request_fuzz", soapRequest},
    Target{"anatomic_query_fuzz", anatomicQuery},
    Target{"request_path_fuzz", requestPath},
};

} // namespace

std::span<const Target> targets() {
    return kTargets;
}

const Target* findTarget(std::string_view name) {
    for (const Target& target : kTargets)
        if (target.name == name) return &target;
    return nullptr;
}

} // namespace volumira::fuzz
