// The readable source of lithora-pack: fuzzed entries.tsv, references.tsv, optics.tsv and
// patterns.tsv read and checked; a source that reads clean is packed, and the packed set must
// verify, unpack to the same set, and write out and read back as the same set again.
//
// Input: the four files, cut at kPartSeparator in the order entries, references, optics,
// patterns. A missing part leaves that file out (patterns.tsv is optional).
#include "datafiles/record.h"
#include "fuzz_support.h"
#include "source/packer.h"
#include "source/source_format.h"
#include "source/verify.h"

using namespace lithora;
using namespace lithora::fuzz;

namespace {

// The set a packed set unpacks to: the references of card 1 move to the front, the rest keep
// their order; lines are not kept.
SourceSet expectedAfterPacking(const SourceSet& set) {
    SourceSet out;
    for (const SourceEntry& e : set.entries) {
        out.entries.push_back(e);
        out.entries.back().line = 0;
    }
    for (int pass = 0; pass < 2; ++pass) {
        for (const SourceReference& r : set.references) {
            if ((r.card == 1) == (pass == 0))
                out.references.push_back({r.card, r.reference, r.addition, 0});
        }
    }
    for (const SourceOptics& o : set.optics) {
        out.optics.push_back(o);
        out.optics.back().line = 0;
    }
    out.patterns = set.patterns;
    if (out.patterns) {
        for (SourcePattern& p : *out.patterns) {
            p.line = 0;
            for (SourcePatternLine& l : p.lines)
                l.line = 0;
        }
    }
    return out;
}

void checkSameSet(const SourceSet& a, const SourceSet& b) {
    FUZZ_CHECK(a.entries.size() == b.entries.size());
    for (std::size_t i = 0; i < a.entries.size(); ++i)
        FUZZ_CHECK(a.entries[i].cells == b.entries[i].cells);
    FUZZ_CHECK(a.references.size() == b.references.size());
    for (std::size_t i = 0; i < a.references.size(); ++i) {
        FUZZ_CHECK(a.references[i].card == b.references[i].card);
        FUZZ_CHECK(a.references[i].reference == b.references[i].reference);
        FUZZ_CHECK(a.references[i].addition == b.references[i].addition);
    }
    FUZZ_CHECK(a.optics.size() == b.optics.size());
    for (std::size_t i = 0; i < a.optics.size(); ++i) {
        FUZZ_CHECK(a.optics[i].card == b.optics[i].card);
        FUZZ_CHECK(a.optics[i].fields == b.optics[i].fields);
    }
    FUZZ_CHECK(a.patterns.has_value() == b.patterns.has_value());
    if (!a.patterns) return;
    FUZZ_CHECK(a.patterns->size() == b.patterns->size());
    for (std::size_t i = 0; i < a.patterns->size(); ++i) {
        const SourcePattern &x = (*a.patterns)[i], &y = (*b.patterns)[i];
        FUZZ_CHECK(x.card == y.card && x.iic == y.iic && x.cut == y.cut);
        FUZZ_CHECK(x.lines.size() == y.lines.size());
        for (std::size_t j = 0; j < x.lines.size(); ++j) {
            const SourcePatternLine &l = x.lines[j], &m = y.lines[j];
            FUZZ_CHECK(l.d == m.d && l.intensity == m.intensity && l.h == m.h && l.k == m.k &&
                       l.l == m.l && l.multiplicity == m.multiplicity);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> parts =
        splitParts(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::filesystem::path source = scratchDirectory("source");
    const char* const names[] = {kEntriesFile, kReferencesFile, kOpticsFile, kPatternsFile};
    for (std::size_t i = 0; i < 4; ++i) {
        if (i < parts.size()) {
            writeBytes(source / names[i], parts[i]);
        } else {
            std::error_code ec;
            std::filesystem::remove(source / names[i], ec);
        }
    }

    const SourceReadResult read = readSource(source);
    for (const SourceProblem& p : read.problems)
        FUZZ_CHECK(!p.why.empty() && !p.text().empty());
    // What reads with problems is never packed; validation alone may be asked again.
    const std::vector<SourceProblem> again = validateSource(read.set);
    if (!read.problems.empty()) return 0;
    FUZZ_CHECK(again.empty());

    const std::string key = buildRecordKey();
    const PackedSet packed = packSourceSet(read.set, key);
    FUZZ_CHECK(packSourceSet(read.set, key).files == packed.files); // deterministic
    FUZZ_CHECK(packSourceSet(read.set, key).patterns == packed.patterns);
    const std::filesystem::path index = scratchDirectory("source-index");
    FUZZ_CHECK(writePackedSet(packed, index).ok());

    const std::vector<std::string> problems = verifyDataSet(index, key);
    for (const std::string& p : problems)
        std::fprintf(stderr, "verify: %s\n", p.c_str());
    FUZZ_CHECK(problems.empty());

    Result<SourceSet> unpacked = unpackDataSet(index, key);
    if (!unpacked) std::fprintf(stderr, "unpack: %s\n", unpacked.error().message.c_str());
    FUZZ_CHECK(unpacked.ok());
    const SourceSet expected = expectedAfterPacking(read.set);
    checkSameSet(unpacked.value(), expected);

    // Written out as a source again, it reads back clean as the same set.
    const std::filesystem::path written = scratchDirectory("source-written");
    FUZZ_CHECK(writeSource(unpacked.value(), written).ok());
    const SourceReadResult reread = readSource(written);
    for (const SourceProblem& p : reread.problems)
        std::fprintf(stderr, "reread: %s\n", p.text().c_str());
    FUZZ_CHECK(reread.problems.empty());
    checkSameSet(reread.set, expected);
    return 0;
}
