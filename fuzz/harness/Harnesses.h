#pragma once

#include <cstdint>
#include <span>

namespace volumira::fuzz {

using Bytes = std::span<const std::uint8_t>;

// The io layer: compressed blocks, slice-compressed volumes (the first three bytes choose the
// dimensions), colour JPEG tiles.
void compressedBlock(Bytes bytes);
void sliceVolume(Bytes bytes);
void bgraJpeg(Bytes bytes);

// Atlas and expression files, read from an in-memory file.
void expression(Bytes bytes);
void mesh(Bytes bytes);
void ontology(Bytes bytes);
void colourMap(Bytes bytes);
void sagittalMap(Bytes bytes);

// XML and text the viewer reads: the search domains, the versions file and search responses as a
// transfer delivers them (the first four bytes choose the chunk sizes), Bookmarks.xml, a gene list file,
// a section image's properties file.
void searchDomains(Bytes bytes);
void versions(Bytes bytes);
void bookmarks(Bytes bytes);
void searchResponse(Bytes bytes);
void geneList(Bytes bytes);
void imageProperties(Bytes bytes);

// The data server, which faces the network: a SOAP request body, an anatomic query, and the target of a
// GET sent to the running server on loopback.
void soapRequest(Bytes bytes);
void anatomicQuery(Bytes bytes);
void requestPath(Bytes bytes);

} // namespace volumira::fuzz
