#pragma once

// What the fuzz targets share: how an input is cut into parts, the scratch directory each
// process writes its data files into, the control lines that steer a target, and checks that
// stop the run when a property of the core does not hold.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "print/card_print.h"
#include "session/session.h"

namespace lithora::fuzz {

// Parts of an input are separated by this line. Data-directory inputs are the control part
// followed by the eight files of a data directory in the order of PackedSet::kNames.
inline constexpr std::string_view kPartSeparator = "\n#~lithora-part~#\n";
inline constexpr std::size_t kDataFileCount = 8;

std::vector<std::string_view> splitParts(std::string_view input);
std::string joinParts(const std::vector<std::string>& parts);

// This process's scratch directory (under $LITHORA_FUZZ_SCRATCH, /dev/shm or the temporary
// directory), made on first use and removed when the process exits normally. sub names a
// directory inside it, made when missing.
std::filesystem::path scratchDirectory(std::string_view sub);

// Writes bytes to a file, replacing it.
void writeBytes(const std::filesystem::path& path, std::string_view bytes);

// Writes parts[first] .. parts[first + 7] as the eight files of a data directory; a part the
// input lacks removes that file, as a data directory with a missing file.
void writeDataDirectory(const std::filesystem::path& dir,
                        const std::vector<std::string_view>& parts, std::size_t first);

// The control part: one setting per line, "key=value" or a bare key.
struct Setting {
    std::string_view key;
    std::string_view value;
};
std::vector<Setting> settingsOf(std::string_view control);
bool hasSetting(const std::vector<Setting>& settings, std::string_view key);

// A whole number from a setting's text, clamped into lo..hi; fallback when it has none.
int settingNumber(std::string_view text, int lo, int hi, int fallback);

// A session on a data directory written into the scratch directory, its tables loaded and
// errors swallowed, started as the program starts. The result of startUp is returned.
Status startSession(Session& session, const std::filesystem::path& dir);

// Printing needs text widths: every character is half the point size wide, bold a tenth wider.
class FixedWidthMeasurer : public TextMeasurer {
  public:
    double width(std::string_view text, const PrintFont& font) const override;
    double lineHeight(const PrintFont& font) const override;
};

// Stops the run with a message when a property of the core does not hold.
[[noreturn]] void checkFailed(const char* what, const char* file, int line);

} // namespace lithora::fuzz

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) ::lithora::fuzz::checkFailed(#condition, __FILE__, __LINE__);            \
    } while (false)

// The entry point every target defines.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
