#include "identify/instrument_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>

#include <xylib/xylib.h>

#if defined(_WIN32)
#include <clocale>
#else
#include <locale.h>
#endif

#include "text/codepage.h"

namespace lithora {

namespace {

// What the reader knows of each format xylib reads for it: the metadata keys that hold the
// instrument's lines and the sample's name (xylib keeps each format's own spelling, so they
// differ; alternatives are separated by |, the block's metadata is asked before the file's),
// and for text formats the line that starts a range, counted before xylib reads the file.
struct ScanFormat {
    std::string_view id; // xylib's name
    std::string_view name;
    std::string_view kAlpha1, kAlpha2, ratio, sample, anode;
    std::string_view rangeMarker;
    std::string_view extensions;
};

// The Bruker RAW keys are those of versions 1 (K_ALPHA1), 2 (LAMDA1, as xylib spells it) and 3
// (ALPHA1). Philips RD states only its anode. XRDML's lines and sample xylib does not keep: they
// are read from the XML text (readXrdmlHeader).
constexpr ScanFormat kScanFormats[] = {
    {"xrdml", "PANalytical XRDML", "", "", "", "", "", "<scan", "xrdml"},
    {"bruker_raw", "Bruker RAW", "K_ALPHA1|LAMDA1|ALPHA1", "K_ALPHA2|LAMDA2|ALPHA2",
     "INTENSITY_RATIO|ALPHA_RATIO", "SAMPLE_NAME|SAMPLE_ID",
     "ANODE_MATERIAL|CEMICAL SYMBOL FOR TUBE ANODE", "", "raw"},
    {"uxd", "Bruker/Siemens UXD", "WL1", "WL2", "WLRATIO", "SAMPLE", "ANODE", "_DRIVE", "uxd"},
    {"philips_rd", "Philips RD", "", "", "", "sample identification", "tube anode material", "",
     "rd sd"},
    {"philips_udf", "Philips UDF", "LabdaAlpha1|LambdaAlpha1", "LabdaAlpha2|LambdaAlpha2",
     "RatioAlpha21", "SampleIdent", "Anode", "", "udf"},
    {"rigaku_dat", "Rigaku DAT", "WAVE_LENGTH1", "WAVE_LENGTH2", "", "SAMPLE", "TARGET", "*BEGIN",
     "dat"},
    {"pdcif", "Powder diffraction CIF", "diffrn_radiation_wavelength", "", "", "pd_spec_id",
     "diffrn_source_target", "data_", "cif"},
};

// A real file has a few ranges; tens of thousands cost xylib seconds and hundreds of MB.
constexpr std::size_t kMaxRanges = 1000;
// XRDML nests about ten deep. xylib's XML parser descends recursively and a file nested some
// ten thousand deep overflows the stack (found by trying: a segmentation fault, not an error).
constexpr std::size_t kMaxXmlDepth = 64;

// xylib reads numbers with strtod, which follows LC_NUMERIC: under a locale with a decimal comma
// (the desktop program takes the user's) "0.02" reads as 0 and every point of a scan gets the
// first angle. This thread reads under the "C" number rules for the time of one call; the
// process's locale is left alone.
class CNumbersOnThisThread {
  public:
#if defined(_WIN32)
    CNumbersOnThisThread() {
        m_perThread = _configthreadlocale(_ENABLE_PER_THREAD_LOCALE);
        if (const char* current = std::setlocale(LC_NUMERIC, nullptr)) m_previous = current;
        m_ok = std::setlocale(LC_NUMERIC, "C") != nullptr;
    }
    ~CNumbersOnThisThread() {
        if (!m_previous.empty()) std::setlocale(LC_NUMERIC, m_previous.c_str());
        _configthreadlocale(m_perThread);
    }
#else
    CNumbersOnThisThread() {
        // The thread's locale, or the global one when the thread has none of its own.
        if (locale_t copy = duplocale(uselocale(nullptr))) {
            m_locale = newlocale(LC_NUMERIC_MASK, "C", copy);
            if (!m_locale) freelocale(copy);
        }
        if (m_locale) m_previous = uselocale(m_locale);
        m_ok = m_locale != nullptr;
    }
    ~CNumbersOnThisThread() {
        if (!m_locale) return;
        uselocale(m_previous);
        freelocale(m_locale);
    }
#endif
    CNumbersOnThisThread(const CNumbersOnThisThread&) = delete;
    CNumbersOnThisThread& operator=(const CNumbersOnThisThread&) = delete;
    bool ok() const {
        return m_ok;
    }

  private:
    bool m_ok = false;
#if defined(_WIN32)
    int m_perThread = 0;
    std::string m_previous;
#else
    locale_t m_locale = nullptr;
    locale_t m_previous = nullptr;
#endif
};

Error scanError(std::string_view fileName, const std::string& why) {
    return makeError(ErrorCode::Damaged, std::string(fileName) + ": " + why);
}

// Text from the file or from xylib as a message or a label may show it: valid UTF-8, no
// control characters, cut at the first NUL (binary headers pad with them) and at max characters.
std::string showable(std::string_view text, std::size_t max) {
    text = text.substr(0, text.find('\0'));
    std::string out;
    std::size_t pos = 0, count = 0;
    bool blank = true;
    while (pos < text.size() && count < max) {
        char32_t c = nextCodePoint(text, pos);
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) c = ' ';
        if (c == ' ' && blank) continue;
        blank = c == ' ';
        appendUtf8(out, c);
        ++count;
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    if (pos < text.size()) out += "…";
    return out;
}

// A metadata value as a number: blanks and quotes around it are dropped ("'1.540600'").
std::optional<double> numberIn(std::string value) {
    std::erase_if(value, [](char c) { return c == ' ' || c == '\t' || c == '\'' || c == '"'; });
    return parseDecimal(value);
}

std::optional<double> inRange(std::optional<double> value, double low, double high) {
    return value && *value >= low && *value <= high ? value : std::nullopt;
}

const std::string* metadataValue(const xylib::DataSet& set, const xylib::Block& block,
                                 std::string_view keys) {
    while (!keys.empty()) {
        const std::size_t bar = keys.find('|');
        const std::string key(keys.substr(0, bar));
        keys = bar == std::string_view::npos ? std::string_view() : keys.substr(bar + 1);
        if (block.meta.has_key(key)) return &block.meta.get(key);
        if (set.meta.has_key(key)) return &set.meta.get(key);
    }
    return nullptr;
}

std::optional<double> anodeLine(std::string_view anode) {
    std::string name = showable(anode, 8);
    std::erase_if(name, [](char c) { return c == ' ' || c == '\'' || c == '"'; });
    for (const NamedWavelength& line : kWavelengths) {
        if (name.size() == line.anode.size() &&
            std::equal(name.begin(), name.end(), line.anode.begin(),
                       [](char a, char b) { return (a | 0x20) == (b | 0x20); }))
            return line.angstrom;
    }
    return std::nullopt;
}

// The text of the first element <tag ...>TEXT</tag> of the XML; empty when there is none.
std::string_view xmlElementText(std::string_view xml, std::string_view tag) {
    std::size_t at = 0;
    const std::string open = "<" + std::string(tag);
    while ((at = xml.find(open, at)) != std::string_view::npos) {
        const std::size_t after = at + open.size();
        if (after < xml.size() && (xml[after] == '>' || xml[after] == ' ')) break;
        at = after;
    }
    if (at == std::string_view::npos) return {};
    const std::size_t begin = xml.find('>', at);
    if (begin == std::string_view::npos || xml[begin - 1] == '/') return {};
    const std::size_t end = xml.find('<', begin + 1);
    return end == std::string_view::npos ? std::string_view()
                                         : xml.substr(begin + 1, end - begin - 1);
}

std::string_view xmlElement(std::string_view xml, std::string_view tag) {
    const std::size_t begin = xml.find("<" + std::string(tag));
    if (begin == std::string_view::npos) return {};
    const std::size_t end = xml.find("</" + std::string(tag), begin);
    return xml.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
}

std::string xmlUnescaped(std::string_view text) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool replaced = false;
        for (const auto& [entity, c] : kEntities) {
            if (text.substr(i, entity.size()) == entity) {
                out.push_back(c);
                i += entity.size() - 1;
                replaced = true;
                break;
            }
        }
        if (!replaced) out.push_back(text[i]);
    }
    return out;
}

// XRDML states its lines in <usedWavelength> (kAlpha1, kAlpha2, ratioKAlpha2KAlpha1) and the
// sample in <sample> (name, else id).
void readXrdmlHeader(std::string_view xml, MeasuredScan& scan) {
    const std::string_view used = xmlElement(xml, "usedWavelength");
    scan.wavelengths.kAlpha1 = numberIn(std::string(xmlElementText(used, "kAlpha1")));
    scan.wavelengths.kAlpha2 = numberIn(std::string(xmlElementText(used, "kAlpha2")));
    scan.wavelengths.ratio = numberIn(std::string(xmlElementText(used, "ratioKAlpha2KAlpha1")));
    const std::string_view sample = xmlElement(xml, "sample");
    std::string name = xmlUnescaped(xmlElementText(sample, "name"));
    if (showable(name, 80).empty()) name = xmlUnescaped(xmlElementText(sample, "id"));
    scan.sampleName = name;
}

// How deep the elements of an XML text nest; comments, processing instructions, declarations
// and CDATA are passed over.
std::size_t xmlDepth(std::string_view xml) {
    std::size_t depth = 0, deepest = 0, at = 0;
    while ((at = xml.find('<', at)) != std::string_view::npos) {
        const std::string_view rest = xml.substr(at);
        std::string_view close = ">";
        if (rest.starts_with("<!--"))
            close = "-->";
        else if (rest.starts_with("<![CDATA["))
            close = "]]>";
        else if (rest.starts_with("<?"))
            close = "?>";
        const std::size_t end = xml.find(close, at + 1);
        if (end == std::string_view::npos) break;
        if (rest.size() > 1 && rest[1] == '/') {
            if (depth > 0) --depth;
        } else if (close == ">" && rest[1] != '!' && xml[end - 1] != '/') {
            deepest = std::max(deepest, ++depth);
        }
        at = end + close.size();
    }
    return deepest;
}

// xylib 1.6 finds the counts of an XRDML scan under their name of the format's first versions,
// <intensities>; versions 1.3 and later call them <counts>.
std::string xrdmlCountsRenamed(std::string_view xml) {
    std::string out;
    out.reserve(xml.size() + 64);
    // The next of each tag is looked for again only once it is passed, so that a file of
    // millions of one tag and none of the other is still read in one pass.
    std::size_t at = 0, open = xml.find("<counts"), close = xml.find("</counts>");
    while (open != std::string_view::npos || close != std::string_view::npos) {
        const bool isClose = close < open;
        const std::size_t next = isClose ? close : open;
        const std::size_t after = next + (isClose ? 9 : 7);
        out.append(xml.substr(at, next - at));
        if (!isClose && after < xml.size() && xml[after] != ' ' && xml[after] != '>') {
            out.append(xml.substr(next, 7)); // <countsSomething>, another element
        } else {
            out.append(isClose ? "</intensities>" : "<intensities");
        }
        at = after;
        if (isClose)
            close = xml.find("</counts>", at);
        else
            open = xml.find("<counts", at);
    }
    out.append(xml.substr(at));
    return out;
}

// Lines that start with the marker, which begins a range in the file.
std::size_t rangesIn(std::string_view text, std::string_view marker) {
    std::size_t count = 0, at = 0;
    while ((at = text.find(marker, at)) != std::string_view::npos) {
        if (at == 0 || text[at - 1] == '\n' || text[at - 1] == '\r' || marker.front() == '<')
            ++count;
        at += marker.size();
    }
    return count;
}

// xylib 1.6 hands the range a UXD _DRIVE line begins to the file at each data keyword after it
// (_COUNTS, _CPS, _2THETACOUNTS, ...): a second one under the same _DRIVE puts the same range in
// twice, and it is freed twice (a crash found by fuzzing). True for such a file. Lines are taken
// as xylib or any stricter reading takes them: blanks before a keyword do not hide it.
bool uxdRangeTakenTwice(std::string_view text) {
    int dataKeywords = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
        if (line.starts_with("_DRIVE")) {
            dataKeywords = 0;
        } else if (line.starts_with("_COUNT") || line.starts_with("_CPS") ||
                   line.starts_with("_2THETACOUNTS") || line.starts_with("_2THETACPS")) {
            if (++dataKeywords > 1) return true;
        }
    }
    return false;
}

// The format of the bytes by their content (the name is not asked: a UXD file saved as .txt is
// still UXD), with xylib's own detail such as "ver. 3"; nullptr for none of them.
const ScanFormat* formatOf(std::istream& in, std::string& details) {
    for (const ScanFormat& format : kScanFormats) {
        const std::string id(format.id);
        const auto* info =
            static_cast<const xylib::FormatInfo*>(xylib_get_format_by_name(id.c_str()));
        in.clear();
        in.seekg(0);
        details.clear();
        if (info && xylib::check_format(info, in, &details)) return &format;
    }
    return nullptr;
}

// The 2θ and counts columns of a block: the first two, except in a CIF, which names them.
std::pair<int, int> scanColumns(const ScanFormat& format, const xylib::Block& block) {
    if (format.id != "pdcif") return {1, 2};
    int x = 0, y = 0;
    for (int c = 1; c <= block.get_column_count(); ++c) {
        const std::string& name = block.get_column(c).get_name();
        if (x == 0 && name.find("2theta") != std::string::npos) x = c;
        if (y == 0 && (name.find("counts") != std::string::npos ||
                       name.find("intensity") != std::string::npos))
            y = c;
    }
    return {x, y};
}

Result<MeasuredScan> scanOfDataSet(const xylib::DataSet& set, const ScanFormat& format,
                                   std::string_view fileName, MeasuredScan scan) {
    const int blocks = set.get_block_count();
    int chosen = -1, longest = 0;
    for (int b = 0; b < blocks && chosen < 0; ++b) {
        const int points = set.get_block(b)->get_point_count();
        longest = std::max(longest, points);
        if (points >= 10) chosen = b;
    }
    if (chosen < 0) {
        return scanError(fileName, "no scan in this " + std::string(format.name) +
                                       " file has the 10 points a pattern needs (the longest has " +
                                       std::to_string(std::max(longest, 0)) + ")");
    }
    const xylib::Block& block = *set.get_block(chosen);
    const auto points = static_cast<std::size_t>(block.get_point_count());
    if (points > kMaxProfilePoints) {
        return scanError(fileName, "more than " + std::to_string(kMaxProfilePoints) +
                                       " points; a measured pattern has far fewer");
    }
    if (blocks > 1) {
        scan.scanNote = "Scan " + std::to_string(chosen + 1) + " of " + std::to_string(blocks) +
                        " read (" + std::to_string(points) + " points)" +
                        (chosen > 0 ? ": the ones before it have fewer than 10 points" : "");
    }
    const auto [xColumn, yColumn] = scanColumns(format, block);
    if (xColumn == 0 || yColumn == 0 || block.get_column_count() < 2) {
        return scanError(fileName, "the scan has no column of 2θ and counts");
    }
    const xylib::Column& x = block.get_column(xColumn);
    const xylib::Column& y = block.get_column(yColumn);
    if (format.id == "xrdml" && x.get_name() != "2Theta") {
        return scanError(fileName,
                         "the scan runs over " + showable(x.get_name(), 20) + ", not over 2θ");
    }

    struct Point {
        double x, y;
    };
    std::vector<Point> read;
    read.reserve(points);
    for (std::size_t i = 0; i < points; ++i) {
        const Point p{x.get_value(static_cast<int>(i)), y.get_value(static_cast<int>(i))};
        const std::string where = "point " + std::to_string(i + 1) + ": ";
        if (!(p.x > 0.0 && p.x < 180.0)) { // NaN fails too
            char angle[32];
            std::snprintf(angle, sizeof angle, "%g", p.x);
            return scanError(fileName, where + "2θ = " + angle +
                                           "° cannot be a diffraction angle: 2θ lies between 0 "
                                           "and 180°");
        }
        if (!std::isfinite(p.y)) return scanError(fileName, where + "the counts are no number");
        read.push_back(p);
    }
    // Some instruments scan downwards; a repeated angle keeps its first point, as in text files.
    std::stable_sort(read.begin(), read.end(),
                     [](const Point& a, const Point& b) { return a.x < b.x; });
    for (const Point& p : read) {
        if (!scan.profile.twoTheta.empty() && p.x <= scan.profile.twoTheta.back()) continue;
        scan.profile.twoTheta.push_back(p.x);
        scan.profile.counts.push_back(p.y);
    }
    if (scan.profile.twoTheta.size() < 10) {
        return scanError(fileName, "the scan has only " +
                                       std::to_string(scan.profile.twoTheta.size()) +
                                       " different angles; a pattern has at least 10");
    }

    ScanWavelengths& w = scan.wavelengths;
    auto number = [&](std::string_view keys) -> std::optional<double> {
        const std::string* value = keys.empty() ? nullptr : metadataValue(set, block, keys);
        return value ? numberIn(*value) : std::nullopt;
    };
    if (format.id != "xrdml") {
        w.kAlpha1 = number(format.kAlpha1);
        w.kAlpha2 = number(format.kAlpha2);
        w.ratio = number(format.ratio);
        if (const std::string* name =
                format.sample.empty() ? nullptr : metadataValue(set, block, format.sample)) {
            scan.sampleName = *name;
        }
        if (scan.sampleName.empty() && format.id == "pdcif") scan.sampleName = block.get_name();
    }
    w.kAlpha1 = inRange(w.kAlpha1, 0.1, 5.0);
    w.kAlpha2 = inRange(w.kAlpha2, 0.1, 5.0);
    w.ratio = inRange(w.ratio, 0.0, 1.0);
    if (!w.kAlpha1 && !format.anode.empty()) {
        if (const std::string* anode = metadataValue(set, block, format.anode)) {
            w.kAlpha1 = anodeLine(*anode);
            if (w.kAlpha1) w.anode = showable(*anode, 8);
            std::erase_if(w.anode, [](char c) { return c == '\'' || c == '"'; });
        }
    }
    std::string sample = showable(scan.sampleName, 80);
    std::erase_if(sample, [](char c) { return c == '\''; });
    scan.sampleName = sample;
    return scan;
}

// xylib's message without the "[filetype: ...]" it appends, fit to be shown.
std::string xylibReason(const char* what) {
    std::string_view text = what ? what : "";
    if (const std::size_t tail = text.find(" [filetype:"); tail != std::string_view::npos)
        text = text.substr(0, tail);
    const std::string reason = showable(text, 160);
    return reason.empty() ? std::string("xylib gives no reason") : reason;
}

std::string formatName(const ScanFormat& format, const std::string& details) {
    std::string name(format.name);
    // xylib tells the Bruker version as "ver. 3".
    if (format.id == "bruker_raw" && details.starts_with("ver. "))
        name += " version " + details.substr(5);
    return name;
}

} // namespace

Result<MeasuredScan> parseScan(std::string_view bytes, std::string_view fileName) {
    const CNumbersOnThisThread cNumbers;
    if (!cNumbers.ok()) {
        return makeError(ErrorCode::Unreadable, std::string(fileName) +
                                                    ": the numbers of the file cannot be read here "
                                                    "(no \"C\" number format on this system)");
    }
    std::string readAs; // " as a Bruker RAW version 3 file", once the format is known
    try {
        std::istringstream in{std::string(bytes)};
        std::string details;
        const ScanFormat* format = formatOf(in, details);
        if (!format) {
            // Version 4 came to xylib after 1.6; a newer xylib that knows it passed above.
            if (bytes.starts_with("RAW4.00")) {
                return scanError(fileName,
                                 "a Bruker RAW file of version 4, which this xylib (" +
                                     std::string(xylib_get_version()) +
                                     ") cannot read; export the scan as UXD or as 2θ and counts "
                                     "text");
            }
            Result<Profile> profile = parseProfile(bytes);
            if (!profile) return scanError(fileName, profile.error().message);
            MeasuredScan scan;
            scan.profile = std::move(profile).value();
            scan.format = kTextColumnsFormat;
            scan.formatId = "text";
            return scan;
        }
        MeasuredScan scan;
        scan.format = formatName(*format, details);
        scan.formatId = format->id;
        readAs = " as a " + scan.format + " file";
        if (!format->rangeMarker.empty() && rangesIn(bytes, format->rangeMarker) > kMaxRanges) {
            return scanError(fileName, "more than " + std::to_string(kMaxRanges) +
                                           " scans in one " + scan.format + " file");
        }
        if (format->id == "uxd" && uxdRangeTakenTwice(bytes)) {
            return scanError(fileName, "a range of this UXD file has two blocks of counts");
        }
        std::string renamed;
        if (format->id == "xrdml") {
            if (xmlDepth(bytes) > kMaxXmlDepth) {
                return scanError(fileName, "the XML nests deeper than " +
                                               std::to_string(kMaxXmlDepth) +
                                               " elements; no XRDML file does");
            }
            readXrdmlHeader(bytes, scan);
            renamed = xrdmlCountsRenamed(bytes);
            in.str(renamed);
        }
        in.clear();
        in.seekg(0);
        const std::unique_ptr<xylib::DataSet> set(xylib::load_stream(in, std::string(format->id)));
        if (!set)
            return scanError(fileName, "xylib read nothing from this " + scan.format + " file");
        return scanOfDataSet(*set, *format, fileName, std::move(scan));
    } catch (const std::exception& e) {
        return scanError(fileName, "cannot be read" + readAs + ": " + xylibReason(e.what()));
    } catch (...) {
        return scanError(fileName, "cannot be read" + readAs + ": xylib failed without a reason");
    }
}

Result<MeasuredScan> readScanFile(const std::filesystem::path& path) {
    Result<std::string> bytes = readPatternFileBytes(path);
    if (!bytes) return bytes.error();
    return parseScan(bytes.value(), path.filename().string());
}

const std::vector<std::string>& scanFileFilters() {
    static const std::vector<std::string> filters = [] {
        std::vector<std::string> out;
        std::string all = "Patterns and scans (*.xy *.csv *.txt";
        for (const ScanFormat& format : kScanFormats) {
            std::string patterns;
            std::string_view exts = format.extensions;
            while (!exts.empty()) {
                const std::size_t space = exts.find(' ');
                patterns += (patterns.empty() ? "*." : " *.") + std::string(exts.substr(0, space));
                exts =
                    space == std::string_view::npos ? std::string_view() : exts.substr(space + 1);
            }
            if (all.find(patterns) == std::string::npos) all += " " + patterns;
            out.push_back(std::string(format.name) + " (" + patterns + ")");
        }
        out.insert(out.begin(), all + ")");
        out.insert(out.begin() + 1, std::string(kTextColumnsFormat) + " (*.xy *.csv *.txt *.dat)");
        return out;
    }();
    return filters;
}

namespace {

std::string angstromText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.5f Å", value);
    return text;
}

} // namespace

WavelengthDecision decideWavelength(std::optional<double> chosen, const ScanWavelengths& file) {
    WavelengthDecision d;
    const std::string line = file.anode.empty() ? "Kα1" : file.anode + " Kα1";
    // A choice that agrees with the file takes the file's value, which is usually the finer.
    if (file.kAlpha1 && (!chosen || std::fabs(*chosen - *file.kAlpha1) <= 0.001)) {
        d.angstrom = *file.kAlpha1;
        d.source = WavelengthSource::File;
        d.note = "Wavelength " + angstromText(d.angstrom) + " (" + line + ") from the file" +
                 (file.anode.empty() ? "" : "'s anode");
    } else if (chosen) {
        d.angstrom = *chosen;
        d.source = WavelengthSource::Chosen;
        d.note = "Wavelength " + angstromText(d.angstrom) + " as chosen";
        if (file.kAlpha1) {
            d.warning = "The file states " + angstromText(*file.kAlpha1) + " (" + line + "), but " +
                        angstromText(d.angstrom) +
                        " was chosen: the peaks are placed with the wavelength chosen";
        }
    } else {
        d.angstrom = kDefaultWavelength;
        d.note = "Wavelength " + angstromText(d.angstrom) + " (Cu Kα1): the file states none";
    }
    return d;
}

} // namespace lithora
