#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "identify/profile.h"

// A diffractometer's own scan file (PANalytical XRDML, Bruker RAW, Bruker/Siemens UXD, Philips RD
// and UDF, Rigaku DAT, powder CIF) read through xylib, with what the file says of the
// instrument; any other file is read as text columns by parseProfile.
namespace lithora {

// The x-ray lines a file states. Values outside 0.1..5 Å (or a ratio outside 0..1) count as not
// stated: several formats write 0 for "unknown".
struct ScanWavelengths {
    std::optional<double> kAlpha1; // Å
    std::optional<double> kAlpha2; // Å
    std::optional<double> ratio;   // intensity of Kα2 / Kα1
    // Set when the file names only its anode ("Fe") and kAlpha1 is that anode's line.
    std::string anode;
};

struct MeasuredScan {
    Profile profile;      // 2θ rising, counts
    std::string format;   // "Bruker RAW version 3", "Text columns (2θ, counts)"
    std::string formatId; // xylib's name of the format, or "text"
    ScanWavelengths wavelengths;
    std::string sampleName; // as the file has it; empty when it has none
    // Which scan of the file was read, when it holds several ("Scan 2 of 3 read: ..."); empty
    // otherwise.
    std::string scanNote;
};

inline constexpr std::string_view kTextColumnsFormat = "Text columns (2θ, counts)";

// Reads a scan file (at most 32 MB, a regular file). The format is told by the content, not by
// the name. Every error names the file and says why.
Result<MeasuredScan> readScanFile(const std::filesystem::path& path);
// The same from the bytes of a file; fileName is only for the messages.
Result<MeasuredScan> parseScan(std::string_view bytes, std::string_view fileName);

// The file formats the open dialogs offer, as "Name (*.ext *.ext)".
const std::vector<std::string>& scanFileFilters();

// Where the wavelength of an identification comes from.
enum class WavelengthSource { Default, Chosen, File };

struct WavelengthDecision {
    double angstrom = 0.0;
    WavelengthSource source = WavelengthSource::Default;
    std::string note;    // "Wavelength 1.54060 Å (Kα1) from the file"
    std::string warning; // empty, or why the user's choice and the file disagree
};

// The wavelength to use for a scan: the one the user chose explicitly (nullopt when they did
// not), else the file's Kα1, else Cu Kα. A choice more than 0.001 Å from the file's Kα1 is kept,
// with a warning that names both.
WavelengthDecision decideWavelength(std::optional<double> chosen, const ScanWavelengths& file);

} // namespace lithora
