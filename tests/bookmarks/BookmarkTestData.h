#pragma once

#include "atlas/Ontology.h"
#include "platform/FileUtils.h"
#include "support/TempDir.h"

#include <string>

namespace volumira::test {

// A small tree that fills two of the searchable slots (3 and 8) and one structure outside them.
inline const char* const kBookmarkOntology = "Brain,root,,255,255,255,1,997,,0,0,0\n"
                                             "Isocortex,Isocortex,root,200,60,60,3,315,,60,20,50\n"
                                             "Olfactory areas,OLF,root,60,200,60,8,698,,20,40,57\n"
                                             "Thalamus,TH,root,60,60,200,62,549,,70,40,57\n"
                                             "A&B <area>,A&B,Isocortex,10,20,30,4,1234,,1,2,3\n";

// The ontology above, read from a file in its own folder.
struct BookmarkOntology {
    TempDir dir;
    Ontology ontology = read(dir);

    static Ontology read(const TempDir& d) {
        writeBytes(d.file("ontology.csv"), kBookmarkOntology);
        return Ontology(d.file("ontology.csv"));
    }
    const Structure& byAcronym(const char* acronym) const { return *ontology.structureByAcronym(acronym); }
};

} // namespace volumira::test
