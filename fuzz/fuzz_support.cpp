#include "fuzz_support.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "source/packer.h"
#include "text/codepage.h"

namespace lithora::fuzz {

namespace {

std::filesystem::path g_scratch;

void removeScratch() {
    std::error_code ec;
    if (!g_scratch.empty()) std::filesystem::remove_all(g_scratch, ec);
}

std::filesystem::path scratchRoot() {
    std::error_code ec;
    if (const char* own = std::getenv("LITHORA_FUZZ_SCRATCH"); own && *own) return own;
    if (std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0)
        return "/dev/shm";
    return std::filesystem::temp_directory_path(ec);
}

} // namespace

std::vector<std::string_view> splitParts(std::string_view input) {
    std::vector<std::string_view> parts;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t p = input.find(kPartSeparator, pos);
        if (p == std::string_view::npos) break;
        parts.push_back(input.substr(pos, p - pos));
        pos = p + kPartSeparator.size();
    }
    parts.push_back(input.substr(pos));
    return parts;
}

std::string joinParts(const std::vector<std::string>& parts) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += kPartSeparator;
        out += parts[i];
    }
    return out;
}

std::filesystem::path scratchDirectory(std::string_view sub) {
    if (g_scratch.empty()) {
        g_scratch = scratchRoot() / ("lithora-fuzz-" + std::to_string(::getpid()));
        std::atexit(removeScratch);
    }
    const std::filesystem::path dir = g_scratch / sub;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::fprintf(stderr, "cannot make the scratch directory %s\n", dir.c_str());
        std::abort();
    }
    return dir;
}

void writeBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::abort();
    }
    const std::size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), f);
    if (std::fclose(f) != 0 || written != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::abort();
    }
}

void writeDataDirectory(const std::filesystem::path& dir,
                        const std::vector<std::string_view>& parts, std::size_t first) {
    for (std::size_t i = 0; i < kDataFileCount; ++i) {
        const std::filesystem::path file = dir / PackedSet::kNames[i];
        if (first + i < parts.size()) {
            writeBytes(file, parts[first + i]);
        } else {
            std::error_code ec;
            std::filesystem::remove(file, ec);
        }
    }
}

std::vector<Setting> settingsOf(std::string_view control) {
    std::vector<Setting> settings;
    std::size_t pos = 0;
    while (pos < control.size()) {
        std::size_t end = control.find('\n', pos);
        if (end == std::string_view::npos) end = control.size();
        const std::string_view line = control.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty()) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            settings.push_back({line, {}});
        } else {
            settings.push_back({line.substr(0, eq), line.substr(eq + 1)});
        }
    }
    return settings;
}

bool hasSetting(const std::vector<Setting>& settings, std::string_view key) {
    for (const Setting& s : settings) {
        if (s.key == key) return true;
    }
    return false;
}

int settingNumber(std::string_view text, int lo, int hi, int fallback) {
    long long value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) return text.starts_with('-') ? lo : hi;
    if (ec != std::errc()) return fallback;
    if (value < lo) return lo;
    if (value > hi) return hi;
    return static_cast<int>(value);
}

Status startSession(Session& session, const std::filesystem::path& dir) {
    session.data.dir = dir;
    session.errorSink = [](std::string_view, std::string_view) {};
    return startUp(session);
}

double FixedWidthMeasurer::width(std::string_view text, const PrintFont& font) const {
    const double perCharacter = font.points * (font.bold ? 0.55 : 0.5);
    return static_cast<double>(characterCount(text)) * perCharacter;
}

double FixedWidthMeasurer::lineHeight(const PrintFont& font) const {
    return font.points * 1.2;
}

void checkFailed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::fflush(stderr);
    std::abort();
}

} // namespace lithora::fuzz
