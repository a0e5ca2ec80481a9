#pragma once

#include <array>
#include <string_view>

#include "synth_internal.h"

// The word and number tables the synthetic data set is drawn from. A table of plain texts is
// drawn uniformly, so a repeated entry weighs more.
namespace lithora::synth {

inline constexpr std::array<std::string_view, 64> kOnsets = {
    "ba",  "ber", "bor", "cal", "cha", "dan", "del",  "fer", "gal", "gor", "har", "hel", "jan",
    "kal", "ker", "kor", "lan", "lin", "mal", "mar",  "mon", "nor", "pal", "per", "ros", "sal",
    "sch", "ser", "tar", "tor", "val", "ver", "wal",  "zel", "ad",  "al",  "an",  "ar",  "el",
    "er",  "os",  "ul",  "bra", "gro", "kra", "stro", "tri", "zir", "vil", "fri", "gra", "cla",
    "bis", "lud", "mel", "rud", "sil", "tal", "chr",  "pyr", "ste", "ham", "lor", "wen"};
inline constexpr std::array<std::string_view, 24> kMiddles = {
    "a",  "e",  "i",  "o",  "u",  "an", "el", "er", "in",  "on",  "ar",  "ol",
    "us", "ov", "ak", "en", "il", "or", "et", "ad", "ber", "man", "sen", "ko"};
inline constexpr std::array<Weighted, 20> kSuffixes = {
    {{"ite", 40}, {"aite", 4}, {"eite", 3},  {"lite", 8}, {"nite", 5}, {"rite", 5},  {"site", 4},
     {"tite", 3}, {"kite", 2}, {"dite", 2},  {"mite", 2}, {"vite", 2}, {"ine", 5},   {"ene", 2},
     {"ase", 2},  {"ote", 2},  {"clase", 2}, {"xene", 1}, {"spar", 1}, {"blende", 1}}};
inline constexpr std::array<std::string_view, 24> kSiteSuffixes = {
    "-(Ce)", "-(Ce)", "-(Ce)",    "-(Ce)", "-(Y)", "-(Y)", "-(Y)", "-(La)",
    "-(La)", "-(Nd)", "-(Ce,La)", "-Mg",   "-Mg",  "-Mg",  "-Fe",  "-Fe",
    "-Fe",   "-Mn",   "-Mn",      "-Ca",   "-Ca",  "-Na",  "-Na",  "-Zn"};
// Codes the records use for letters Windows-1252 lacks: č ć ň ě ř ő.
inline constexpr std::array<std::string_view, 6> kEscapeCodes = {"@CK", "@CA", "@NK",
                                                                 "@EK", "@RK", "@OD"};

// None of these is a prefix of another: the group filter compares prefixes.
inline constexpr std::array<std::string_view, 48> kGroupNames = {
    "Garnet",     "Amphibole", "Pyroxene",  "Mica",       "Feldspar",    "Zeolite",
    "Tourmaline", "Apatite",   "Spinel",    "Epidote",    "Olivine",     "Chlorite",
    "Serpentine", "Scapolite", "Sodalite",  "Alunite",    "Jarosite",    "Hydrotalcite",
    "Pyrochlore", "Humite",    "Melilite",  "Cancrinite", "Crandallite", "Tetrahedrite",
    "Pyrite",     "Marcasite", "Galena",    "Sphalerite", "Nickeline",   "Arsenopyrite",
    "Cobaltite",  "Calcite",   "Aragonite", "Dolomite",   "Barite",      "Gypsum",
    "Rutile",     "Hematite",  "Corundum",  "Perovskite", "Ilmenite",    "Columbite",
    "Wolframite", "Monazite",  "Xenotime",  "Vivianite",  "Variscite",   "Sapphirine"};

// By Chemistry, in its order.
inline constexpr std::array<int, 9> kChemistryWeights = {2, 13, 5, 14, 6, 4, 9, 15, 32};

inline constexpr std::array<Weighted, 40> kCations = {
    {{"Ca", 14}, {"Na", 10}, {"Fe", 12}, {"Mg", 9}, {"Al", 11}, {"K", 7},  {"Mn", 6}, {"Cu", 8},
     {"Pb", 6},  {"Zn", 5},  {"Ba", 4},  {"Sr", 2}, {"Ni", 2},  {"Co", 2}, {"Ti", 3}, {"Ce", 2},
     {"Y", 2},   {"La", 1},  {"Nd", 1},  {"U", 3},  {"Li", 2},  {"Be", 2}, {"Cr", 1}, {"Bi", 2},
     {"Sb", 1},  {"Ag", 1},  {"Hg", 1},  {"Tl", 1}, {"Zr", 2},  {"Nb", 2}, {"Ta", 1}, {"Sn", 1},
     {"Cs", 1},  {"V", 2},   {"Cd", 1},  {"Sc", 1}, {"Th", 1},  {"W", 1},  {"Mo", 1}, {"Rb", 1}}};
inline constexpr std::array<Weighted, 20> kSulfideCations = {
    {{"Cu", 10}, {"Fe", 8}, {"Pb", 9}, {"Ag", 7}, {"Ni", 4}, {"Co", 3}, {"Zn", 3},
     {"Bi", 6},  {"Sb", 5}, {"As", 4}, {"Hg", 3}, {"Tl", 3}, {"Sn", 2}, {"Pd", 2},
     {"Pt", 1},  {"Mo", 1}, {"Ge", 1}, {"In", 1}, {"Cd", 1}, {"Au", 1}}};
inline constexpr std::array<Weighted, 3> kChalcogens = {{{"S", 80}, {"Se", 10}, {"Te", 10}}};
inline constexpr std::array<Weighted, 7> kCounts = {
    {{"", 50}, {"2", 25}, {"3", 12}, {"4", 6}, {"5", 3}, {"6", 3}, {"8", 1}}};
inline constexpr std::array<std::string_view, 16> kNativeElements = {
    "Au", "Ag", "Cu", "S",  "C",       "Bi",    "Sb",    "As",
    "Te", "Pt", "Pd", "Fe", "(Fe,Ni)", "Cu3Au", "Pd3Pb", "Ni3Fe"};
inline constexpr std::array<std::string_view, 13> kSilicateAnions = {
    "SiO4",   "Si2O7",   "Si2O6",    "Si3O9", "Si4O10",  "Si4O11", "Si6O18",
    "Si8O22", "AlSi3O8", "Al2Si2O8", "Si2O5", "BeSi2O7", "SiO3"};
inline constexpr std::array<std::string_view, 6> kBorateAnions = {"B4O7", "(BO3)",     "B3O3(OH)5",
                                                                  "B2O4", "B5O6(OH)6", "(BO3)2"};
inline constexpr std::array<std::string_view, 10> kPhosphateCores = {
    "PO4", "PO4", "PO4", "PO4", "PO4", "PO4", "AsO4", "AsO4", "AsO4", "VO4"};

inline constexpr std::array<Weighted, 8> kSystems = {
    {{"M", 30}, {"O", 20}, {"A", 10}, {"Q", 10}, {"H", 8}, {"H/R", 7}, {"H/T", 5}, {"C", 10}}};

struct SpaceGroup {
    std::string_view system;
    int number;
    std::string_view symbol;
    std::string_view pointGroup;
    int weight;
};
inline constexpr std::array<SpaceGroup, 76> kSpaceGroups = {{{"A", 1, "P1", "1", 2},
                                                             {"A", 2, "P-1", "-1", 8},
                                                             {"M", 14, "P21/c", "2/m", 35},
                                                             {"M", 15, "C2/c", "2/m", 20},
                                                             {"M", 12, "C2/m", "2/m", 15},
                                                             {"M", 11, "P21/m", "2/m", 8},
                                                             {"M", 13, "P2/c", "2/m", 5},
                                                             {"M", 4, "P21", "2", 5},
                                                             {"M", 9, "Cc", "m", 5},
                                                             {"M", 5, "C2", "2", 4},
                                                             {"M", 7, "Pc", "m", 3},
                                                             {"O", 62, "Pnma", "mmm", 30},
                                                             {"O", 61, "Pbca", "mmm", 8},
                                                             {"O", 60, "Pbcn", "mmm", 6},
                                                             {"O", 19, "P212121", "222", 8},
                                                             {"O", 63, "Cmcm", "mmm", 8},
                                                             {"O", 64, "Cmce", "mmm", 4},
                                                             {"O", 33, "Pna21", "mm2", 6},
                                                             {"O", 36, "Cmc21", "mm2", 5},
                                                             {"O", 58, "Pnnm", "mmm", 5},
                                                             {"O", 43, "Fdd2", "mm2", 3},
                                                             {"O", 70, "Fddd", "mmm", 3},
                                                             {"O", 29, "Pca21", "mm2", 4},
                                                             {"Q", 141, "I41/amd", "4/mmm", 12},
                                                             {"Q", 88, "I41/a", "4/m", 10},
                                                             {"Q", 139, "I4/mmm", "4/mmm", 10},
                                                             {"Q", 136, "P42/mnm", "4/mmm", 8},
                                                             {"Q", 122, "I-42d", "-42m", 6},
                                                             {"Q", 82, "I-4", "-4", 4},
                                                             {"Q", 87, "I4/m", "4/m", 8},
                                                             {"Q", 129, "P4/nmm", "4/mmm", 6},
                                                             {"Q", 92, "P41212", "422", 4},
                                                             {"Q", 114, "P-421c", "-42m", 3},
                                                             {"H", 194, "P63/mmc", "6/mmm", 25},
                                                             {"H", 186, "P63mc", "6mm", 10},
                                                             {"H", 176, "P63/m", "6/m", 15},
                                                             {"H", 191, "P6/mmm", "6/mmm", 8},
                                                             {"H", 173, "P63", "6", 8},
                                                             {"H", 190, "P-62c", "-6m2", 5},
                                                             {"H", 182, "P6322", "622", 4},
                                                             {"H/R", 166, "R-3m", "-3m", 25},
                                                             {"H/R", 167, "R-3c", "-3m", 15},
                                                             {"H/R", 148, "R-3", "-3", 15},
                                                             {"H/R", 160, "R3m", "3m", 12},
                                                             {"H/R", 146, "R3", "3", 6},
                                                             {"H/R", 161, "R3c", "3m", 8},
                                                             {"H/R", 155, "R32", "32", 5},
                                                             {"H/T", 164, "P-3m1", "-3m", 20},
                                                             {"H/T", 152, "P3121", "32", 10},
                                                             {"H/T", 154, "P3221", "32", 6},
                                                             {"H/T", 150, "P321", "32", 6},
                                                             {"H/T", 147, "P-3", "-3", 12},
                                                             {"H/T", 162, "P-31m", "-3m", 8},
                                                             {"H/T", 165, "P-3c1", "-3m", 6},
                                                             {"H/T", 163, "P-31c", "-3m", 6},
                                                             {"H/T", 156, "P3m1", "3m", 5},
                                                             {"C", 227, "Fd-3m", "m-3m", 20},
                                                             {"C", 225, "Fm-3m", "m-3m", 18},
                                                             {"C", 230, "Ia-3d", "m-3m", 10},
                                                             {"C", 221, "Pm-3m", "m-3m", 8},
                                                             {"C", 216, "F-43m", "-43m", 10},
                                                             {"C", 205, "Pa-3", "m-3", 10},
                                                             {"C", 217, "I-43m", "-43m", 8},
                                                             {"C", 229, "Im-3m", "m-3m", 4},
                                                             {"C", 198, "P213", "23", 6},
                                                             {"C", 206, "Ia-3", "m-3", 6}}};

inline constexpr std::array<Weighted, 8> kZ = {
    {{"1", 10}, {"2", 25}, {"3", 5}, {"4", 30}, {"6", 6}, {"8", 14}, {"12", 4}, {"16", 6}}};
inline constexpr std::array<Weighted, 4> kStatuses = {{{"A", 90}, {"Q", 5}, {"Rd", 3}, {"D", 2}}};

inline constexpr std::array<std::string_view, 23> kColors = {
    "Colorless", "White",      "Grey",          "Black",     "Yellow",        "Pale yellow",
    "Orange",    "Red",        "Pink",          "Purple",    "Violet",        "Blue",
    "Sky blue",  "Green",      "Emerald green", "Brown",     "Reddish brown", "Honey yellow",
    "Lead grey", "Steel grey", "Brass yellow",  "Tin white", "Bronze"};
inline constexpr std::array<std::string_view, 15> kHabits = {
    "prismatic crystals",   "tabular crystals",      "acicular sprays",      "fibrous aggregates",
    "botryoidal crusts",    "granular masses",       "bladed crystals",      "equant crystals",
    "platy crystals",       "earthy coatings",       "radiating aggregates", "octahedral crystals",
    "dipyramidal crystals", "rhombohedral crystals", "stalactitic masses"};
inline constexpr std::array<std::string_view, 5> kSizes = {
    "up to 2 mm", "to 1 cm", "less than 0.5 mm", "up to 5 cm", "microscopic"};
inline constexpr std::array<std::string_view, 26> kLocalities = {
    "Tsumeb, Oshikoto Region, Namibia",
    "L\xE5ngban, V\xE4rmland, Sweden",
    "Franklin, Sussex County, New Jersey, USA",
    "Mont Saint-Hilaire, Qu\xE9"
    "bec, Canada",
    "Lavrion District, Attica, Greece",
    "Broken Hill, New South Wales, Australia",
    "Bisbee, Cochise County, Arizona, USA",
    "Tolbachik volcano, Kamchatka, Russia",
    "Khibiny Massif, Kola Peninsula, Russia",
    "Lovozero Massif, Kola Peninsula, Russia",
    "J\xE1"
    "chymov, Karlovy Vary Region, Czech Republic",
    "Il\xED"
    "maussaq complex, Kujalleq, Greenland",
    "Lengenbach quarry, Binn Valley, Valais, Switzerland",
    "Monte Somma, Vesuvius, Campania, Italy",
    "Bellerberg volcano, Eifel, Rhineland-Palatinate, Germany",
    "Kombat mine, Otavi Mountains, Namibia",
    "Cerro Rico, Potos\xED, Bolivia",
    "Kalahari manganese field, Northern Cape, South Africa",
    "Clear Creek, San Benito County, California, USA",
    "Tanco mine, Bernic Lake, Manitoba, Canada",
    "Sch\xF6nberg, Saxony, Germany",
    "Chuquicamata, Antofagasta Region, Chile",
    "Dalnegorsk, Primorsky Krai, Russia",
    "Kr\xE1sno, Slavkovsk\xFD les, Czech Republic",
    "Mina Ojuela, Mapim\xED, Durango, Mexico",
    "Otto Mountain, San Bernardino County, California, USA"};
inline constexpr std::array<std::string_view, 40> kSurnames = {
    "Andersen", "Baker",      "Carter",     "Dubois",  "Eriksson",  "Fischer",  "Garcia",
    "Hansen",   "Ivanov",     "Jensen",     "Keller",  "Larsen",    "Moreau",   "Nielsen",
    "Olsen",    "Petrov",     "Quinn",      "Rossi",   "Schmidt",   "Tanaka",   "Umlauf",
    "Vogel",    "Weber",      "Yamamoto",   "Zhang",   "M\xFCller", "Nov\xE1k", "Sokolov",
    "Kowalski", "Horv\xE1th", "Lef\xE8vre", "Bianchi", "Costa",     "Silva",    "Wagner",
    "Becker",   "Hoffmann",   "Kuznetsov",  "Li",      "Wang"};
inline constexpr std::array<std::string_view, 8> kProfessions = {
    "mineralogist", "geologist",         "crystallographer", "mining engineer",
    "chemist",      "mineral collector", "petrologist",      "geochemist"};
inline constexpr std::array<std::string_view, 12> kJournals = {
    "American Mineralogist",
    "Canadian Mineralogist",
    "Mineralogical Magazine",
    "European Journal of Mineralogy",
    "Mineralogy and Petrology",
    "Zeitschrift f\xFCr Kristallographie",
    "Neues Jahrbuch f\xFCr Mineralogie, Monatshefte",
    "Physics and Chemistry of Minerals",
    "Acta Crystallographica",
    "Zapiski Vserossiiskogo Mineralogicheskogo Obshchestva",
    "Mineralogical Record",
    "Journal of Mineralogical and Petrological Sciences"};
// Placeholders: # another mineral's name (in titles: this card's), ~ an environment or a
// locality, ^ a color, & a structural unit, % a cation.
inline constexpr std::array<std::string_view, 12> kNoteSentences = {
    "Occurs in ~.",
    "Associated minerals include #, # and #.",
    "Fluoresces ^ under short-wave ultraviolet light.",
    "The structure consists of & linked by interlayer cations and hydrogen bonds.",
    "Dimorphous with #.",
    "Cleavage {010} perfect, {001} good; fracture uneven to conchoidal.",
    "Redefined on the basis of new chemical and single-crystal structural data.",
    "Formerly regarded as a variety of #.",
    "Isostructural with #, of which it is the %-analogue.",
    "Soluble in dilute HCl; decomposes slowly in moist air.",
    "Crystals are commonly twinned and show sector zoning of ^ and ^ hues.",
    "Forms pseudomorphs after # in the upper part of the deposit."};
inline constexpr std::array<std::string_view, 7> kTitles = {
    "#, a new mineral from ~",
    "The crystal structure of #",
    "Refinement of the crystal structure of #",
    "New data on #",
    "#: redefinition and crystal chemistry",
    "Raman spectroscopy of # and related minerals",
    "Mineralogy of the oxidation zone at ~"};
inline constexpr std::array<std::string_view, 12> kEnvironments = {
    "oxidized zones of base-metal deposits",
    "granitic pegmatites",
    "alkaline pegmatites",
    "skarns",
    "hydrothermal veins",
    "fumaroles",
    "metamorphosed manganese deposits",
    "carbonatites",
    "evaporites",
    "serpentinites",
    "volcanic exhalations",
    "Alpine-type fissures"};
inline constexpr std::array<std::string_view, 5> kStructureUnits = {
    "chains of edge-sharing octahedra", "sheets of corner-sharing tetrahedra",
    "isolated tetrahedra", "frameworks of tetrahedra", "layers of octahedra"};
inline constexpr std::array<std::string_view, 10> kLusters = {
    "Vitreous", "Vitreous", "Vitreous", "Adamantine", "Pearly",
    "Resinous", "Silky",    "Earthy",   "Greasy",     "Sub-vitreous"};
inline constexpr std::array<std::string_view, 8> kReflectedColors = {
    "White",        "Grey",          "Bluish grey",     "Cream",
    "Creamy white", "Pinkish brown", "Yellowish white", "Brownish grey"};
inline constexpr std::array<std::string_view, 4> kAnisotropism = {
    "Weak", "Distinct", "Strong", "Very strong, in blue and brown tints"};
inline constexpr std::array<std::string_view, 5> kDispersions = {
    "r < v, weak", "r > v, strong", "r < v, distinct", "r > v, weak", "none"};
inline constexpr std::array<std::string_view, 4> kOrientations = {
    "X = b, Z ^ c = 23\xB0", "X = a, Y = b, Z = c", "Y = b", "Z = b, X ^ c = 8\xB0"};

} // namespace lithora::synth
