// A diffractometer scan file read through xylib or as text columns, and its wavelength decided.
//
// Input: the file's bytes, whole (no control part), so that binary headers mutate in place.
#include <cmath>

#include "fuzz_support.h"
#include "identify/instrument_file.h"

using namespace lithora;

// xylib 1.6 loses a few hundred bytes inside itself on every powder CIF it reads, and what it had
// built when it gives up on a damaged file. The leak checker passes over memory xylib allocated
// and still reports this target's own leaks.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libxy.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const Result<MeasuredScan> scan = parseScan(bytes, "fuzz.scan");
    if (!scan) {
        FUZZ_CHECK(scan.error().message.rfind("fuzz.scan: ", 0) == 0);
        return 0;
    }
    const MeasuredScan& s = scan.value();
    const Profile& p = s.profile;
    FUZZ_CHECK(!s.format.empty() && !s.formatId.empty());
    FUZZ_CHECK(p.twoTheta.size() == p.counts.size());
    FUZZ_CHECK(p.twoTheta.size() >= 10 && p.twoTheta.size() <= kMaxProfilePoints);
    for (std::size_t i = 0; i < p.twoTheta.size(); ++i) {
        FUZZ_CHECK(p.twoTheta[i] > 0.0 && p.twoTheta[i] < 180.0);
        FUZZ_CHECK(std::isfinite(p.counts[i]));
        if (i > 0) FUZZ_CHECK(p.twoTheta[i] > p.twoTheta[i - 1]);
    }
    const ScanWavelengths& w = s.wavelengths;
    FUZZ_CHECK(!w.kAlpha1 || (*w.kAlpha1 >= 0.1 && *w.kAlpha1 <= 5.0));
    FUZZ_CHECK(!w.kAlpha2 || (*w.kAlpha2 >= 0.1 && *w.kAlpha2 <= 5.0));
    FUZZ_CHECK(!w.ratio || (*w.ratio >= 0.0 && *w.ratio <= 1.0));
    const WavelengthDecision used = decideWavelength(std::nullopt, w);
    FUZZ_CHECK(used.warning.empty());
    FUZZ_CHECK(used.source == (w.kAlpha1 ? WavelengthSource::File : WavelengthSource::Default));
    FUZZ_CHECK(findPeaks(p).size() <= kMaxPeaks);
    return 0;
}
