#include "sample-data/GeneCatalogue.h"

#include "sample-data/Anatomy.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

namespace volumira::sample {

namespace {

struct MarkerGene {
    const char* symbol;
    const char* name;
    const char* pattern;
    bool clustered;
};

// Genes whose expression a neuroscientist knows: cell-type, layer and region markers. "CH;BS;CB"
// together cover the grey matter without the fibre tracts and ventricles.
const MarkerGene kMarkers[] = {
    {"Gad1", "glutamate decarboxylase 1",
     "STR=0.85/0.8;PAL=0.8/0.6;SNr=0.9/0.7;Isocortex@2456=0.6/0.12;HIP=0.6/0.1;CBX=0.7/0.3;MOB=0.8/0.5;"
     "HY=0.45/0.3;SC=0.5/0.25;IC=0.5/0.3;PAG=0.45/0.3",
     false},
    {"Gad2", "glutamate decarboxylase 2",
     "STR=0.8/0.75;PAL=0.8/0.55;SNr=0.85/0.65;Isocortex@2456=0.55/0.1;HIP=0.55/0.08;CBX=0.6/0.25;"
     "MOB=0.75/0.45;HY=0.5/0.35",
     false},
    {"Slc32a1", "solute carrier family 32 (GABA vesicular transporter), member 1",
     "STR=0.7/0.7;PAL=0.7/0.5;SNr=0.75/0.6;Isocortex@2456=0.5/0.1;CBX=0.55/0.2;HY=0.4/0.3", false},
    {"Slc17a7", "solute carrier family 17 (sodium-dependent inorganic phosphate cotransporter), member 7",
     "Isocortex@2456=0.85/0.75;HIP=0.9/0.8;ENT=0.75/0.6;PIR=0.7/0.6;MOB=0.5/0.3;CBX=0.6/0.45", false},
    {"Slc17a6", "solute carrier family 17 (sodium-dependent inorganic phosphate cotransporter), member 6",
     "TH=0.85/0.8;HY=0.5/0.3;MB=0.5/0.3;P=0.5/0.4;MY=0.4/0.3;IO=0.7/0.6", false},
    {"Pvalb", "parvalbumin",
     "Isocortex@2456=0.8/0.15;Isocortex@4=0.85/0.25;HIP=0.6/0.08;GPe=0.8/0.5;SNr=0.75/0.5;CBX=0.85/0.2;"
     "CBN=0.6/0.4",
     false},
    {"Calb1", "calbindin 1",
     "Isocortex@2=0.75/0.5;DG=0.85/0.8;CA1=0.7/0.6;CP=0.5/0.4;CBX=0.9/0.2;TH=0.3/0.15", false},
    {"Calb2", "calbindin 2", "TH=0.6/0.4;MOB=0.7/0.4;CBX=0.6/0.35;HIP=0.35/0.05;ENT=0.4/0.1", false},
    {"Sst", "somatostatin", "Isocortex@2456=0.75/0.1;HIP=0.6/0.06;HY=0.6/0.2;CP=0.5/0.05", false},
    {"Vip", "vasoactive intestinal polypeptide", "Isocortex@2=0.7/0.1;Isocortex@4=0.5/0.05", false},
    {"Npy", "neuropeptide Y", "Isocortex@2456=0.7/0.06;HY=0.6/0.1;HIP=0.5/0.04", true},
    {"Cck", "cholecystokinin", "Isocortex@2=0.7/0.3;HIP=0.6/0.1;ENT=0.7/0.4", false},
    {"Lhx6", "LIM homeobox protein 6", "Isocortex@2456=0.6/0.1;PAL=0.6/0.4", false},
    {"Drd1", "dopamine receptor D1", "STR=0.8/0.6;Isocortex@6=0.4/0.2", false},
    {"Drd2", "dopamine receptor D2", "STR=0.75/0.5;SNr=0.6/0.3", false},
    {"Penk", "preproenkephalin", "STR=0.9/0.5;Isocortex@2=0.3/0.05", false},
    {"Ppp1r1b", "protein phosphatase 1, regulatory inhibitor subunit 1B", "STR=0.95/0.9;Isocortex@6=0.4/0.3",
     false},
    {"Tac1", "tachykinin 1", "STR=0.8/0.5;HY=0.4/0.1", false},
    {"Gpr88", "G-protein coupled receptor 88", "STR=0.95/0.9", false},
    {"Rgs9", "regulator of G-protein signaling 9", "STR=0.85/0.8", false},
    {"Adora2a", "adenosine A2a receptor", "STR=0.85/0.5", false},
    {"Th", "tyrosine hydroxylase", "SNr=0.9/0.3;MOB=0.6/0.2;HY=0.4/0.05", true},
    {"Slc6a3", "solute carrier family 6 (neurotransmitter transporter, dopamine), member 3", "SNr=0.9/0.25",
     true},
    {"Mbp", "myelin basic protein", "FT=0.95/0.95;BS=0.5/0.4;CP=0.4/0.3;TH=0.4/0.3", false},
    {"Plp1", "proteolipid protein (myelin) 1", "FT=0.95/0.9;BS=0.45/0.35", false},
    {"Mobp", "myelin-associated oligodendrocytic basic protein", "FT=0.9/0.85;HB=0.4/0.3", false},
    {"Olig2", "oligodendrocyte transcription factor 2", "FT=0.7/0.4;CH=0.3/0.1;BS=0.3/0.1", false},
    {"Gfap", "glial fibrillary acidic protein", "root=0.25/0.2;FT=0.5/0.3;VS=0.6/0.5;HIP=0.4/0.3", false},
    {"Aqp4", "aquaporin 4", "root=0.35/0.4;CBX=0.6/0.5", false},
    {"Rorb", "RAR-related orphan receptor beta", "Isocortex@4=0.9/0.8;LGd=0.8/0.7;VP=0.7/0.6;SC=0.4/0.3",
     false},
    {"Cux2", "cut-like homeobox 2", "Isocortex@2=0.8/0.7;Isocortex@4=0.6/0.5", false},
    {"Bcl11b", "B cell leukemia/lymphoma 11B", "Isocortex@5=0.85/0.7;STR=0.7/0.7;HIP=0.5/0.5", false},
    {"Fezf2", "Fez family zinc finger 2", "Isocortex@5=0.8/0.6;Isocortex@6=0.4/0.3", false},
    {"Foxp2", "forkhead box P2", "Isocortex@6=0.8/0.7;STR=0.6/0.5;TH=0.5/0.4;IO=0.7/0.6", false},
    {"Tle4", "transducin-like enhancer of split 4", "Isocortex@6=0.8/0.6", false},
    {"Satb2", "special AT-rich sequence binding protein 2", "Isocortex@2456=0.7/0.7", false},
    {"Tbr1", "T-box brain gene 1", "Isocortex@6=0.8/0.7;Isocortex@25=0.4/0.3;OLF=0.6/0.5", false},
    {"Neurod6", "neurogenic differentiation 6", "Isocortex@2456=0.75/0.7;HIP=0.8/0.8", false},
    {"Prox1", "prospero homeobox 1", "DG=0.95/0.9", false},
    {"Zbtb20", "zinc finger and BTB domain containing 20", "HIP=0.85/0.8", false},
    {"Wfs1", "Wolfram syndrome 1 homolog (human)", "CA1=0.9/0.8;Isocortex@2=0.6/0.4", false},
    {"Pcp4", "Purkinje cell protein 4", "CBX=0.9/0.25;Isocortex@5=0.6/0.4;DG=0.5/0.5;TH=0.3/0.3", false},
    {"Pcp2", "Purkinje cell protein 2 (L7)", "CBX=0.9/0.2", false},
    {"Car8", "carbonic anhydrase 8", "CBX=0.85/0.2;TH=0.3/0.1", false},
    {"Gabra6", "gamma-aminobutyric acid (GABA) A receptor, subunit alpha 6", "CBX=0.95/0.8", false},
    {"Cbln1", "cerebellin 1 precursor protein", "CBX=0.9/0.75;CBN=0.3/0.2", false},
    {"Chat", "choline acetyltransferase", "VII=0.95/0.7;MH=0.8/0.6;CP=0.6/0.03", true},
    {"Slc5a7", "solute carrier family 5 (choline transporter), member 7", "VII=0.9/0.6;MH=0.7/0.5", false},
    {"Phox2b", "paired-like homeobox 2b", "MY=0.6/0.15;VII=0.8/0.6", false},
    {"Slc6a5", "solute carrier family 6 (neurotransmitter transporter, glycine), member 5",
     "MY=0.8/0.4;P=0.6/0.3;CBN=0.6/0.3", false},
    {"Hcrt", "hypocretin", "HY=0.95/0.04", true},
    {"Pmch", "pro-melanin-concentrating hormone", "HY=0.9/0.06", true},
    {"Oxt", "oxytocin", "PVH=0.95/0.5", true},
    {"Avp", "arginine vasopressin", "PVH=0.95/0.6", false},
    {"Crh", "corticotropin releasing hormone", "PVH=0.9/0.4;Isocortex@2=0.4/0.04", false},
    {"Trh", "thyrotropin releasing hormone", "PVH=0.8/0.3", false},
    {"Pomc", "pro-opiomelanocortin-alpha", "HY=0.8/0.04", true},
    {"Cartpt", "CART prepropeptide", "HY=0.7/0.15;ACB=0.6/0.2", false},
    {"Tph2", "tryptophan hydroxylase 2", "PAG=0.8/0.15;P=0.6/0.05", true},
    {"Slc6a4", "solute carrier family 6 (neurotransmitter transporter, serotonin), member 4", "PAG=0.7/0.12",
     true},
    {"Ttr", "transthyretin", "VS=0.95/0.5", false},
    {"Enpp2", "ectonucleotide pyrophosphatase/phosphodiesterase 2", "VS=0.9/0.4;FT=0.3/0.2", false},
    {"Camk2a", "calcium/calmodulin-dependent protein kinase II alpha",
     "Isocortex=0.85/0.75;HPF=0.9/0.8;STR=0.6/0.6;TH=0.4/0.3", false},
    {"Nrgn", "neurogranin", "Isocortex=0.8/0.6;HIP=0.7/0.6;STR=0.7/0.6", false},
    {"Snap25", "synaptosomal-associated protein 25", "CH=0.7/0.6;BS=0.65/0.55;CB=0.6/0.5", false},
    {"Syt1", "synaptotagmin I", "CH=0.75/0.6;BS=0.7/0.55;CB=0.65/0.5", false},
    {"Rbfox3", "RNA binding protein, fox-1 homolog (C. elegans) 3", "CH=0.6/0.55;BS=0.6/0.5;CB=0.6/0.5",
     false},
    {"Actb", "actin, beta", "root=0.7/0.8", false},
    {"Gapdh", "glyceraldehyde-3-phosphate dehydrogenase", "root=0.8/0.85", false},
    {"Nr4a2", "nuclear receptor subfamily 4, group A, member 2",
     "Isocortex@6=0.6/0.2;ENT=0.7/0.5;SNr=0.5/0.3", false},
    {"Otx2", "orthodenticle homolog 2 (Drosophila)", "SC=0.6/0.3;VS=0.5/0.3", false},
    {"Pax6", "paired box gene 6", "MOB=0.7/0.4;CBX=0.5/0.4;SC=0.3/0.2", false},
    {"Dlk1", "delta-like 1 homolog (Drosophila)", "HY=0.7/0.2;SNr=0.4/0.2", false},
};

struct Family {
    const char* prefix;
    const char* name; // printf format with the number
    int maxNumber;
};

// Gene families whose members differ by number only: the bulk of the catalogue.
const Family kFamilies[] = {
    {"Zfp", "zinc finger protein %d", 990},
    {"Tmem", "transmembrane protein %d", 260},
    {"Ccdc", "coiled-coil domain containing %d", 190},
    {"Lrrc", "leucine rich repeat containing %d", 70},
    {"Ankrd", "ankyrin repeat domain %d", 65},
    {"Rnf", "ring finger protein %d", 220},
    {"Wdr", "WD repeat domain %d", 95},
    {"Gpr", "G protein-coupled receptor %d", 180},
    {"Slc25a", "solute carrier family 25 (mitochondrial carrier), member %d", 50},
    {"Cdh", "cadherin %d", 24},
    {"Pcdh", "protocadherin %d", 20},
    {"Dusp", "dual specificity phosphatase %d", 28},
    {"Rab", "RAB%d, member RAS oncogene family", 44},
    {"Arhgap", "Rho GTPase activating protein %d", 45},
    {"Tbc1d", "TBC1 domain family, member %d", 30},
    {"Kcnj", "potassium inwardly-rectifying channel, subfamily J, member %d", 16},
    {"Sox", "SRY (sex determining region Y)-box %d", 21},
    {"Fbxo", "F-box protein %d", 48},
    {"Klhl", "kelch-like %d", 42},
    {"Trim", "tripartite motif-containing %d", 72},
};

// Structures a regional gene may favour.
const char* const kRegions[] = {"MO",  "SS",  "VIS", "AUD",  "RSP", "ACA", "ORB", "MOB", "PIR",
                                "CA1", "CA3", "DG",  "ENT",  "CP",  "ACB", "OT",  "GPe", "GPi",
                                "LGd", "VP",  "MH",  "PVH",  "MBO", "SC",  "IC",  "SNr", "PAG",
                                "PG",  "IO",  "VII", "VERM", "HEM", "CBN", "TH",  "HY"};

class Random {
  public:
    explicit Random(std::uint32_t seed) : state_(seed) {}
    std::uint32_t next() { return state_ = mixHash(state_, 0x632BE5ABu); }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
    double uniform(double lo, double hi) { return lo + (hi - lo) * (next() >> 8) / 16777216.0; }

  private:
    std::uint32_t state_;
};

std::string fixed2(double v) {
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", v);
    return text;
}

std::string rule(const std::string& where, double level, double density) {
    return where + "=" + fixed2(level) + "/" + fixed2(density);
}

// A made-up but plausible pattern: regional, broad, layered, scattered, white matter or faint.
std::string generatedPattern(Random& rng, bool& clustered) {
    const int kind = rng.below(20);
    clustered = false;
    const auto region = [&] { return std::string(kRegions[rng.below(std::size(kRegions))]); };
    if (kind < 7) {
        std::string p = rule(region(), rng.uniform(0.6, 0.95), rng.uniform(0.4, 0.9));
        if (rng.below(2)) p += ";" + rule(region(), rng.uniform(0.4, 0.8), rng.uniform(0.3, 0.7));
        if (rng.below(3) == 0) p += ";" + rule("CH", rng.uniform(0.1, 0.25), rng.uniform(0.05, 0.15));
        return p;
    }
    if (kind < 11) {
        const double level = rng.uniform(0.3, 0.7), density = rng.uniform(0.3, 0.7);
        return rule("CH", level, density) + ";" + rule("BS", level * 0.9, density) + ";" +
               rule("CB", level * rng.uniform(0.5, 1.2), density);
    }
    if (kind < 15) {
        std::string layers;
        for (const int layer : kLayers)
            if (rng.below(3) == 0) layers += static_cast<char>('0' + layer);
        if (layers.empty()) layers = std::to_string(kLayers[static_cast<std::size_t>(rng.below(5))]);
        std::string p = rule("Isocortex@" + layers, rng.uniform(0.6, 0.9), rng.uniform(0.4, 0.8));
        if (rng.below(2)) p += ";" + rule("HIP", rng.uniform(0.4, 0.8), rng.uniform(0.3, 0.7));
        return p;
    }
    if (kind < 17) {
        clustered = true;
        return rule(region(), rng.uniform(0.6, 0.95), rng.uniform(0.05, 0.15));
    }
    if (kind < 18) return rule("FT", rng.uniform(0.5, 0.9), rng.uniform(0.4, 0.8));
    return rule("root", rng.uniform(0.05, 0.15), rng.uniform(0.01, 0.04));
}

std::string dateOf(std::uint32_t h) {
    char text[16];
    std::snprintf(text, sizeof text, "2026-%02u-%02u", 1 + h % 11, 1 + (h >> 8) % 28);
    return text;
}

} // namespace

std::vector<CatalogueSection> seriesSections(int imageSeriesId, int plane) {
    std::vector<CatalogueSection> sections;
    const int count = plane == 0 ? 32 : 14;
    const double widthMm = plane == 0 ? kBoxWidthMm : kCoarseX * 0.1, heightMm = kCoarseY * 0.1;
    for (int s = 0; s < count; ++s) {
        CatalogueSection c;
        c.section = s + 1;
        c.imageId = imageSeriesId * 100 + c.section;
        c.positionMm = (plane == 0 ? 0.3 : 0.2) + kSectionSpacingMm * s;
        c.width = static_cast<int>(std::lround(widthMm * 1000 / kSectionMicrometresPerPixel));
        c.height = static_cast<int>(std::lround(heightMm * 1000 / kSectionMicrometresPerPixel));
        const std::string base = "series/" + std::to_string(imageSeriesId) + "/";
        c.primaryPath = base + "primary/" + std::to_string(c.imageId);
        c.expressionPath = base + "express/" + std::to_string(c.imageId);
        sections.push_back(std::move(c));
    }
    return sections;
}

SectionPoint sectionPointOf(int plane, int sectionCount, int voxel) {
    const int i = voxel % kCoarseX, j = (voxel / kCoarseX) % kCoarseY, k = voxel / (kCoarseX * kCoarseY);
    const double toPixels = 100.0 / kSectionMicrometresPerPixel;
    const double across =
        plane == 0 ? (i + 0.5) * 0.1 - 0.3 : std::abs(kBoxWidthMm / 2 - (k + 0.5) * 0.1) - 0.2;
    SectionPoint p;
    p.section =
        1 + std::clamp(static_cast<int>(std::lround(across / kSectionSpacingMm)), 0, sectionCount - 1);
    p.x = static_cast<int>(((plane == 0 ? k : i) + 0.5) * toPixels);
    p.y = static_cast<int>((j + 0.5) * toPixels);
    return p;
}

std::vector<CatalogueGene> buildGeneCatalogue(int geneCount) {
    std::vector<CatalogueGene> genes;
    std::set<std::string> symbols;
    for (const MarkerGene& m : kMarkers) {
        genes.push_back({0, m.symbol, m.name, m.pattern, m.clustered, {}});
        symbols.insert(m.symbol);
    }
    Random rng(20260310u);
    while (static_cast<int>(genes.size()) < geneCount) {
        const Family& family = kFamilies[rng.below(std::size(kFamilies))];
        const int number = 1 + rng.below(family.maxNumber);
        const std::string symbol = family.prefix + std::to_string(number);
        if (!symbols.insert(symbol).second) continue;
        char name[160];
        std::snprintf(name, sizeof name, family.name, number);
        CatalogueGene gene{0, symbol, name, "", false, {}};
        gene.pattern = generatedPattern(rng, gene.clustered);
        genes.push_back(std::move(gene));
    }

    for (std::size_t g = 0; g < genes.size(); ++g) {
        CatalogueGene& gene = genes[g];
        const int index = static_cast<int>(g);
        gene.geneId = 10000 + index;
        // Coronal and sagittal antisense series always; sometimes a second coronal one and a sense control.
        std::vector<std::pair<int, int>> kinds = {{0, 1}, {1, 1}};
        Random series(mixHash(0xC0FFEEu, static_cast<std::uint32_t>(index)));
        if (series.below(5) < 2) kinds.push_back({0, 1});
        if (series.below(5) == 0) kinds.push_back({0, 0});
        for (std::size_t s = 0; s < kinds.size(); ++s) {
            CatalogueSeries c;
            c.imageSeriesId = 100000 + 10 * index + static_cast<int>(s);
            c.experimentId = 500000 + 10 * index + static_cast<int>(s);
            c.plane = kinds[s].first;
            c.probeOrientation = kinds[s].second;
            c.realisation.geneSeed = mixHash(0xA11CEu, static_cast<std::uint32_t>(gene.geneId));
            c.realisation.seriesSeed = mixHash(0x5EED5u, static_cast<std::uint32_t>(c.imageSeriesId));
            c.realisation.gain = static_cast<float>(c.probeOrientation == 1 ? series.uniform(0.8, 1.1)
                                                                            : series.uniform(0.05, 0.12));
            c.realisation.sagittal = c.plane == 1;
            c.processedDate = dateOf(c.realisation.seriesSeed);
            c.gridPath = "grids/" + std::to_string(c.imageSeriesId) + "/" + gene.symbol + ".xpr";
            c.sections = seriesSections(c.imageSeriesId, c.plane);
            gene.series.push_back(std::move(c));
        }
    }
    return genes;
}

} // namespace volumira::sample
