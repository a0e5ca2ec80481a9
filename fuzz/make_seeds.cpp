// Writes the seed corpora of the fuzz targets from the test fixtures and slices of the bundled
// database, so that they can be made again: make_seeds REPOSITORY OUTPUT_DIR writes
// OUTPUT_DIR/<target>/<seed>. Every data set is real packed data: a packed fixture, or a source
// packed here as lithora-pack packs it.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>

#include "datafiles/datadir.h"
#include "datafiles/record.h"
#include "fuzz_support.h"
#include "search/text_search.h"
#include "source/packer.h"
#include "source/records.h"
#include "source/source_format.h"
#include "synth.h"
#include "text/split.h"

using namespace lithora;
using namespace lithora::fuzz;

namespace {

std::filesystem::path g_out;
int g_written = 0;

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "make_seeds: cannot read %s\n", path.c_str());
        std::exit(1);
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void seed(const std::string& target, const std::string& name, const std::string& bytes) {
    const std::filesystem::path dir = g_out / target;
    std::filesystem::create_directories(dir);
    writeBytes(dir / name, bytes);
    ++g_written;
}

SourceSet readSourceOrDie(const std::filesystem::path& dir) {
    SourceReadResult read = readSource(dir);
    if (!read.problems.empty()) {
        std::fprintf(stderr, "make_seeds: %s: %s\n", dir.c_str(),
                     read.problems.front().text().c_str());
        std::exit(1);
    }
    return std::move(read.set);
}

// A named data set, packed.
struct Packed {
    std::string name;
    SourceSet source; // empty for a fixture read as packed files
    std::array<std::string, kDataFileCount> files;
    std::optional<std::string> patterns; // lithora.p
};

Packed packed(std::string name, SourceSet set) {
    Packed p{std::move(name), std::move(set), {}, {}};
    PackedSet packedSet = packSourceSet(p.source, buildRecordKey());
    p.files = std::move(packedSet.files);
    p.patterns = std::move(packedSet.patterns);
    return p;
}

// The tables hold an element for every card up to 10000; the readers take a shorter file as one
// whose missing elements are 0, so the seeds leave the zeros at the end out.
std::string trimmedTable(const std::string& bytes, std::size_t element) {
    std::size_t end = bytes.size();
    while (end > 0 && bytes[end - 1] == '\0')
        --end;
    end = std::max(element, (end + element - 1) / element * element);
    return bytes.substr(0, std::min(end, bytes.size()));
}

// The control part and the eight files.
std::string container(const std::string& control, const Packed& p, bool tablesOnly = false) {
    std::vector<std::string> parts{control};
    for (std::size_t i = 0; i < kDataFileCount; ++i) {
        const std::string_view name = PackedSet::kNames[i];
        std::string bytes = p.files[i];
        if (name == DataFiles::kEntryOfCardTable) bytes = trimmedTable(bytes, 2);
        if (name == DataFiles::kReferenceTable || name == DataFiles::kOpticsTable)
            bytes = trimmedTable(bytes, 4);
        const bool table = name != DataFiles::kEntries && name != DataFiles::kReferences &&
                           name != DataFiles::kOptics;
        if (tablesOnly && !table) bytes.clear();
        parts.push_back(bytes);
    }
    return joinParts(parts);
}

// A slice of a source set: the chosen entries renumbered 1..n in their order, with their
// references and optical rows, so that the tables stay short.
SourceSet slice(const SourceSet& full, const std::vector<std::size_t>& chosen) {
    SourceSet out;
    std::map<int, int> newCard;
    for (std::size_t k : chosen) {
        SourceEntry e = full.entries[k];
        const int card = static_cast<int>(out.entries.size()) + 1;
        newCard[std::stoi(e.cells[FieldCard])] = card;
        e.cells[FieldCard] = std::to_string(card);
        out.entries.push_back(std::move(e));
    }
    for (const SourceReference& r : full.references) {
        if (const auto it = newCard.find(r.card); it != newCard.end())
            out.references.push_back({it->second, r.reference, r.addition, 0});
    }
    for (const SourceOptics& o : full.optics) {
        if (const auto it = newCard.find(o.card); it != newCard.end()) {
            out.optics.push_back(o);
            out.optics.back().card = it->second;
        }
    }
    if (full.patterns) {
        std::vector<SourcePattern>& patterns = out.patterns.emplace();
        for (const SourcePattern& p : *full.patterns) {
            if (const auto it = newCard.find(p.card); it != newCard.end()) {
                patterns.push_back(p);
                patterns.back().card = it->second;
            }
        }
        std::sort(patterns.begin(), patterns.end(),
                  [](const SourcePattern& a, const SourcePattern& b) { return a.card < b.card; });
    }
    // References of one card stay together: sort by first appearance is already so.
    return out;
}

std::vector<std::size_t> everyEntry(const SourceSet& set) {
    std::vector<std::size_t> all(set.entries.size());
    for (std::size_t k = 0; k < all.size(); ++k)
        all[k] = k;
    return all;
}

std::vector<Packed> dataSets(const std::filesystem::path& repo) {
    std::vector<Packed> sets;
    // The packed fixture exactly as the tests read it.
    Packed mini{"mini", readSourceOrDie(repo / "tests/fixtures/mini"), {}, {}};
    for (std::size_t i = 0; i < kDataFileCount; ++i)
        mini.files[i] = readFile(repo / "tests/fixtures/mini-index" / PackedSet::kNames[i]);
    // The fixture holds card 10000, which keeps its tables long: the searches get it
    // renumbered, as they get every other set.
    const SourceSet miniSource = mini.source;
    sets.push_back(std::move(mini));
    sets.push_back(packed("sample", readSourceOrDie(repo / "data/sample")));
    const SourceSet synth = synthesize(40, 7);
    sets.push_back(packed("synth", slice(synth, everyEntry(synth))));
    sets.push_back(packed("mini-renumbered", slice(miniSource, everyEntry(miniSource))));

    const SourceSet full = readSourceOrDie(repo / "data/lithora");
    std::set<int> withOptics;
    std::map<int, int> referenceCount;
    for (const SourceOptics& o : full.optics)
        withOptics.insert(o.card);
    for (const SourceReference& r : full.references)
        ++referenceCount[r.card];
    auto cardOf = [&](std::size_t k) { return std::stoi(full.entries[k].cells[FieldCard]); };

    std::vector<std::size_t> first, optics, groups, references, longest;
    for (std::size_t k = 0; k < full.entries.size(); ++k) {
        const SourceEntry& e = full.entries[k];
        if (first.size() < 24) first.push_back(k);
        if (withOptics.count(cardOf(k)) && optics.size() < 24) optics.push_back(k);
        const std::string& group = e.cells[FieldGroup];
        if ((group == "Spinel" || group == "Apatite" || group == "Mica") && groups.size() < 24)
            groups.push_back(k);
        if (referenceCount[cardOf(k)] >= 4 && references.size() < 10) references.push_back(k);
    }
    longest.resize(full.entries.size());
    for (std::size_t k = 0; k < longest.size(); ++k)
        longest[k] = k;
    std::partial_sort(longest.begin(), longest.begin() + 12, longest.end(),
                      [&](std::size_t a, std::size_t b) {
                          return entryRecordText(full.entries[a]).size() >
                                 entryRecordText(full.entries[b]).size();
                      });
    longest.resize(12);
    std::sort(longest.begin(), longest.end());
    sets.push_back(packed("bundled-first", slice(full, first)));
    sets.push_back(packed("bundled-optics", slice(full, optics)));
    sets.push_back(packed("bundled-groups", slice(full, groups)));
    sets.push_back(packed("bundled-references", slice(full, references)));
    sets.push_back(packed("bundled-longest", slice(full, longest)));
    return sets;
}

// Search criteria taken from an entry, so that the seeds find something.
std::string firstWord(const std::string& text) {
    return splitWords(text)[0];
}

void recordSeeds(const std::vector<Packed>& sets) {
    const std::vector<std::string> texts = {
        "CaMg(CO3)2",
        "@CKechite !SKorl@RKite",
        "1.59 1.595 -3.035 +0.5e3 12b",
        std::string("\xC5kermanite \x9A\x9C\x9E\xFF \x81\x8D|x|", 20),
        "Pb5(PO4)3Cl|P63/m|3.0  2.88 2.80\t100 60|",
    };
    std::size_t t = 0;
    for (const Packed& p : sets) {
        if (p.name != "mini" && p.name != "bundled-first" && p.name != "bundled-references")
            continue;
        for (const char* file : {DataFiles::kEntries, DataFiles::kReferences, DataFiles::kElements,
                                 DataFiles::kOptics}) {
            const auto i = static_cast<std::size_t>(
                std::find_if(PackedSet::kNames.begin(), PackedSet::kNames.end(),
                             [&](const char* n) { return std::string_view(n) == file; }) -
                PackedSet::kNames.begin());
            seed("fuzz_records", p.name + "-" + file,
                 joinParts({p.files[i], texts[t++ % texts.size()]}));
        }
    }
    seed("fuzz_records", "other-key", joinParts({sets[0].files[0], texts[0], "k3y"}));
}

void dataDirectorySeeds(const std::vector<Packed>& sets) {
    for (const Packed& p : sets) {
        seed("fuzz_tables", p.name, container("", p, true));
        seed("fuzz_datadir", p.name, container("", p));
        seed("fuzz_card", p.name, container("", p));
    }
    // The exact fixture is long (it holds card 10000): the other mini seeds use it renumbered.
    const Packed& mini = sets[3];
    seed("fuzz_datadir", "mini-ima-name",
         container("ima\nsep=,\nname=CAL\nselect=3\nmatch=0110", mini));
    seed("fuzz_datadir", "mini-card-number", container("name=5\ngroup=Feldspar", mini));
    seed("fuzz_datadir", "groups-by-name",
         container("group=Spinel\nname=/i Mag\nmatch=1", sets[6]));
    seed("fuzz_card", "mini-pages",
         container("sep=,\npage=2\nwidth=300\ncard=0\ncard=10001", mini));
    seed("fuzz_card", "references-narrow", container("page=3\nwidth=120", sets[7]));
}

void formSeeds(const Packed& p, const std::string& tag) {
    int n = 0;
    for (const SourceEntry& e : p.source.entries) {
        if (n >= 2) break;
        const auto& c = e.cells;
        const std::vector<std::string> cell = splitWords(c[FieldCell]);
        const std::vector<std::string> d = splitWords(c[FieldDSpacings]);
        std::vector<std::string> controls = {
            "name=" + c[FieldName].substr(0, 3),
            "mohs=" + c[FieldMohs] + "\nstatus=" + c[FieldStatus] + "\nfull",
            "formula=" + c[FieldFormula] + "\ncrystal_system=" + c[FieldCrystalSystem] + "\nor",
        };
        if (d.size() >= 2)
            controls.push_back("d1=" + d[0] + "\nd2=" + d[1] + "\nd_tolerance=0.02\nfull");
        if (cell.size() >= 3)
            controls.push_back("a=" + cell[0] + "\nc=" + cell[2] + "\ntf5=" + c[FieldSgSymbol] +
                               "\nor\nwiden\nlistgroup=" + c[FieldGroup]);
        for (std::size_t i = 0; i < controls.size(); ++i)
            seed("fuzz_search_form", tag + "-" + std::to_string(n) + "-" + std::to_string(i),
                 container(controls[i], p));
        ++n;
    }
}

void opticsSeeds(const Packed& p, const std::string& tag) {
    int n = 0;
    for (const SourceOptics& o : p.source.optics) {
        if (n >= 2) break;
        const auto& f = o.fields;
        const std::vector<std::string> controls = {
            "n_avg=" + f[3] + "\noptical_sign=" + f[28] + "\nfull",
            "color=" + firstWord(f[11]) + "\nluster=" + firstWord(f[12]) + "\nor",
            "birefringence=" + f[8] + " 0.01\noptical_class=" + f[23] + "\nwiden",
            "of36=" + f[5] + "\nof47=1.5 1.7\nor\nfull",
        };
        for (std::size_t i = 0; i < controls.size(); ++i)
            seed("fuzz_search_optics", tag + "-" + std::to_string(n) + "-" + std::to_string(i),
                 container(controls[i], p));
        ++n;
    }
}

void elementSeeds(const Packed& p, const std::string& tag) {
    const std::vector<std::string> controls = {
        "preset=2\nrequired=Ca\nmax=4",
        "possible=Si,O,Na,Al,Ca\nrequired=Si",
        "preset=3\nlanthanides\nrequired=Fe,S",
        "preset=1\nmax=2.5\nlistgroup=Spinel",
        "preset=3\nactinides\ncycle=8\ncycle=8\nmax=-1\nima",
    };
    for (std::size_t i = 0; i < controls.size(); ++i)
        seed("fuzz_search_elements", tag + "-" + std::to_string(i), container(controls[i], p));
}

void textSeeds(const Packed& p, const std::string& tag, bool everyCategory) {
    constexpr std::array<int, kTextCategoryCount> field = {23, 13, 10, 24, 18, 22, 4,
                                                           3,  5,  6,  16, 20, 26, 14};
    for (int category = 0; category < kTextCategoryCount; ++category) {
        if (!everyCategory && category % 4 != 0) continue;
        std::string keywords;
        for (const SourceEntry& e : p.source.entries) {
            keywords = e.cells[static_cast<std::size_t>(field[static_cast<std::size_t>(category)])];
            if (!trimBlanks(keywords).empty()) break;
        }
        if (category != CategoryUnitCell && category != CategoryDSpacings)
            keywords = firstWord(keywords);
        if (category == CategoryMohs) keywords += " +-0.5";
        std::string control =
            "category=" + std::string(kTextCategories[static_cast<std::size_t>(category)]) +
            "\nkeywords=" + keywords;
        if (category % 3 == 0) control += "\nrequired= Si,  O, \nmax=5";
        seed("fuzz_search_text", tag + "-" + std::to_string(category), container(control, p));
        if (category == CategoryUnitCell && !trimBlanks(keywords).empty()) {
            // The cell alone (the field holds the volume too) in any setting, and once more
            // with a tolerance and a lattice letter.
            std::vector<std::string> values = splitWords(keywords);
            values.resize(std::min<std::size_t>(values.size(), 6));
            std::string cell;
            for (const std::string& v : values)
                cell += v + " ";
            seed("fuzz_search_text", tag + "-any",
                 container("keywords=" + cell + "\nrequired= Si,  O, \nany", p));
            seed("fuzz_search_text", tag + "-any-lattice",
                 container("keywords=" + cell + "+-0.05 R\nany", p));
        }
    }
}

// A pattern from an entry's own lines: "d I" pairs, comma-separated.
std::string peaksOf(const SourceEntry& e) {
    const std::vector<std::string> d = splitWords(e.cells[FieldDSpacings]);
    const std::vector<std::string> intensity = splitWords(e.cells[FieldDSpacings + 1]);
    std::string list;
    for (std::size_t i = 0; i < d.size(); ++i)
        list += (i ? ", " : "") + d[i] + (i < intensity.size() ? " " + intensity[i] : "");
    return list;
}

void identifySeeds(const Packed& p, const std::string& tag) {
    std::vector<std::string> patterns;
    for (const SourceEntry& e : p.source.entries) {
        if (patterns.size() >= 2) break;
        if (splitWords(e.cells[FieldDSpacings]).size() >= 3) patterns.push_back(peaksOf(e));
    }
    if (patterns.empty()) return;
    const std::vector<std::string> controls = {
        "peaks=" + patterns[0],
        "peaks=" + patterns.back() + "\ntolerance=150\ntop=3\nrequired=O",
        "peaks=" + patterns[0] + ", 2.0 30\nexcluded=Fe,S\nmax=3\nwithin\nima",
    };
    for (std::size_t i = 0; i < controls.size(); ++i)
        seed("fuzz_search_identify", tag + "-" + std::to_string(i), container(controls[i], p));
}

// Typed peak lists and profile files as users and instruments write them.
void patternSeeds(const std::filesystem::path& repo, const std::vector<Packed>& sets) {
    const std::string quartzD = "3.343 100\n4.255 20\n1.818 13\n1.374 11\n1.542 9\n";
    const std::string quartzLines = "3.343 4.255 1.818 1.374 1.542 2.281 2.457 1.382";
    const std::string quartzI = "100 20 13 11 9 7 7 6";
    seed("fuzz_peak_list", "d-lines", joinParts({"", quartzD, quartzLines, quartzI}));
    seed("fuzz_peak_list", "angles-cobalt",
         joinParts({"angles\nwavelength=Co Ka\ntolerance=30",
                    "# 2theta I\n31.03 100\n24.16 "
                    "(20)\n59.0(13); 81.5 9\n",
                    quartzLines, quartzI}));
    seed(
        "fuzz_peak_list", "positions",
        joinParts({"wavelength=1.5418", "3.343 4.255 1.818\n2.457, 2.281;1.382", quartzLines, ""}));
    seed("fuzz_peak_list", "bad", joinParts({"angles", "190 100\n-3 x\n", "0 abc", "1e9"}));
    for (const Packed& p : sets) {
        if (p.name != "mini-renumbered" && p.name != "bundled-first") continue;
        int n = 0;
        for (const SourceEntry& e : p.source.entries) {
            if (n >= 3 || splitWords(e.cells[FieldDSpacings]).empty()) continue;
            seed("fuzz_peak_list", p.name + "-" + std::to_string(n++),
                 joinParts({"tolerance=60", peaksOf(e), e.cells[FieldDSpacings],
                            e.cells[FieldDSpacings + 1]}));
        }
    }

    const std::string sample = readFile(repo / "help/samples/quartz-calcite.xy");
    seed("fuzz_profile", "quartz-calcite", joinParts({"", sample}));
    seed("fuzz_profile", "quartz-calcite-strict",
         joinParts({"threshold=20\nsmoothing=4\n"
                    "background=40\nwavelength=Co",
                    sample.substr(0, 20000)}));
    std::string csv = "angle;counts\n";
    for (int i = 0; i < 400; ++i) {
        const double x = 20.0 + 0.05 * i;
        const double peak = 1000.0 / (1.0 + (x - 26.6) * (x - 26.6) / 0.004);
        csv += std::to_string(x) + ";" + std::to_string(static_cast<int>(50 + peak)) + "\n";
    }
    for (char& c : csv) {
        if (c == '.') c = ',';
    }
    seed("fuzz_profile", "semicolon-decimal-comma", joinParts({"", csv}));
    seed("fuzz_profile", "bad", joinParts({"threshold=-5", "! header\n10 1\n11 x\n"}));
}

// The scan fixtures of the tests, one seed each: every format the scan reader tells apart.
void scanSeeds(const std::filesystem::path& repo) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(repo / "tests/fixtures/scans")) {
        if (entry.path().extension() != ".py") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const std::filesystem::path& file : files)
        seed("fuzz_scan_file", file.filename().string(), readFile(file));
}

void searchSeeds(const std::vector<Packed>& sets) {
    for (const Packed& p : sets) {
        const bool main = p.name == "mini-renumbered" || p.name == "bundled-first";
        if (main || p.name == "bundled-groups" || p.name == "synth") formSeeds(p, p.name);
        if (p.name == "mini-renumbered" || p.name == "bundled-optics") opticsSeeds(p, p.name);
        if (main || p.name == "synth") elementSeeds(p, p.name);
        if (main || p.name == "bundled-groups") textSeeds(p, p.name, p.name == "bundled-first");
        if (main || p.name == "synth") identifySeeds(p, p.name);
    }
}

void sourceSeeds(const std::filesystem::path& repo, const std::vector<Packed>& sets) {
    auto sourceBytes = [](const std::filesystem::path& dir) {
        std::vector<std::string> parts{readFile(dir / kEntriesFile),
                                       readFile(dir / kReferencesFile),
                                       readFile(dir / kOpticsFile)};
        if (std::filesystem::exists(dir / kPatternsFile))
            parts.push_back(readFile(dir / kPatternsFile));
        return joinParts(parts);
    };
    seed("fuzz_source", "mini", sourceBytes(repo / "tests/fixtures/mini"));
    seed("fuzz_source", "sample", sourceBytes(repo / "data/sample"));
    const std::filesystem::path dir = scratchDirectory("seeds-source");
    for (const Packed& p : sets) {
        if (p.name.rfind("bundled", 0) != 0 && p.name != "synth") continue;
        if (p.name == "bundled-longest") continue;
        if (!writeSource(p.source, dir).ok()) {
            std::fprintf(stderr, "make_seeds: cannot write a source\n");
            std::exit(1);
        }
        seed("fuzz_source", p.name, sourceBytes(dir));
    }
    // One source with problems in each file, so that the reports are reached from the start.
    std::string entries = readFile(repo / "tests/fixtures/mini" / kEntriesFile);
    entries += "17\tDuplicate\\q\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t1 2 3\n";
    seed("fuzz_source", "problems",
         joinParts({entries, "card\treference\taddition\n0\tnone\t\n99\tno entry\t\n",
                    "card\tf0\n1\tx\n"}));
}

// lithora.p as packed, and cut or with another header, for the reader of reference patterns.
void referencePatternSeeds(const std::filesystem::path& repo, const std::vector<Packed>& sets) {
    const std::string mini = readFile(repo / "tests/fixtures/mini-index" / DataFiles::kPatterns);
    seed("fuzz_patterns", "mini", mini);
    seed("fuzz_patterns", "mini-cut", mini.substr(0, 300));
    seed("fuzz_patterns", "mini-other-header", mini.substr(0, 13) + "2" + mini.substr(14));
    for (const Packed& p : sets) {
        if (p.patterns && (p.name == "synth" || p.name == "bundled-first"))
            seed("fuzz_patterns", p.name, *p.patterns);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_seeds REPOSITORY OUTPUT_DIR\n");
        return 2;
    }
    const std::filesystem::path repo = argv[1];
    g_out = argv[2];
    const std::vector<Packed> sets = dataSets(repo);
    recordSeeds(sets);
    dataDirectorySeeds(sets);
    searchSeeds(sets);
    sourceSeeds(repo, sets);
    patternSeeds(repo, sets);
    referencePatternSeeds(repo, sets);
    scanSeeds(repo);
    std::printf("wrote %d seeds into %s\n", g_written, g_out.c_str());
    return 0;
}
