#include "identify/profile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <numeric>

#include "datafiles/regular_file.h"

namespace lithora {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

Error lineError(std::size_t line, const std::string& what) {
    return makeError(ErrorCode::Damaged, "Line " + std::to_string(line) + ": " + what);
}

// Looks like text: no NUL, and few control characters among the first 4 KB.
bool looksLikeText(std::string_view text) {
    const std::string_view head = text.substr(0, 4096);
    std::size_t control = 0;
    for (char c : head) {
        const auto u = static_cast<unsigned char>(c);
        if (u == 0) return false;
        if (u < 0x20 && c != '\n' && c != '\r' && c != '\t' && c != '\f' && c != '\v') ++control;
    }
    return control * 20 <= head.size();
}

// The words of a data line. With semicolons or tabs between the columns a comma is the decimal
// point ("12,5;340"); otherwise it separates columns too.
std::vector<std::string> columnsOf(std::string_view line) {
    const bool commaDecimal = line.find_first_of(";\t") != std::string_view::npos;
    std::vector<std::string> words;
    std::string word;
    for (char c : line) {
        const bool separator = isBlank(c) || c == ';' || (c == ',' && !commaDecimal);
        if (separator) {
            if (!word.empty()) words.push_back(std::move(word));
            word.clear();
        } else {
            word.push_back(c == ',' ? '.' : c);
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

std::vector<double> movingAverage(const std::vector<double>& y, int half) {
    const std::size_t n = y.size();
    std::vector<double> out(n);
    if (n == 0) return out;
    std::vector<double> prefix(n + 1, 0.0);
    for (std::size_t i = 0; i < n; ++i)
        prefix[i + 1] = prefix[i] + y[i];
    const auto h = static_cast<std::size_t>(std::max(half, 0));
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t lo = i >= h ? i - h : 0;
        const std::size_t hi = std::min(n - 1, i + h);
        out[i] = (prefix[hi + 1] - prefix[lo]) / static_cast<double>(hi - lo + 1);
    }
    return out;
}

// The running minimum (or maximum) over i - half .. i + half, in one pass with a deque of the
// indexes that can still be the extreme.
template <typename Better>
std::vector<double> runningExtreme(const std::vector<double>& y, int half, Better better) {
    const std::size_t n = y.size();
    std::vector<double> out(n);
    std::deque<std::size_t> window;
    const auto h = static_cast<std::size_t>(std::max(half, 0));
    std::size_t next = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t hi = std::min(n - 1, i + h);
        for (; next <= hi; ++next) {
            while (!window.empty() && !better(y[window.back()], y[next]))
                window.pop_back();
            window.push_back(next);
        }
        while (window.front() + h < i)
            window.pop_front();
        out[i] = y[window.front()];
    }
    return out;
}

double medianStep(const Profile& p) {
    std::vector<double> steps;
    steps.reserve(p.twoTheta.size());
    for (std::size_t i = 1; i < p.twoTheta.size(); ++i)
        steps.push_back(p.twoTheta[i] - p.twoTheta[i - 1]);
    if (steps.empty()) return 0.02;
    auto mid = steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2);
    std::nth_element(steps.begin(), mid, steps.end());
    return *mid > 1e-6 ? *mid : 0.02;
}

struct Widths {
    int smoothing;
    int background;
};

Widths widthsOf(const Profile& p, const PeakFinding& o) {
    const double step = medianStep(p);
    Widths w{};
    // A lab peak is about 0.1° wide: smoothing over ±0.04° keeps its height and calms the noise.
    // Never fewer than ±2 points: a quadratic through 3 points is the points themselves, which
    // would leave the noise as it is and measure it as none.
    w.smoothing = o.smoothingHalfWidth > 0
                      ? std::min(o.smoothingHalfWidth, 50)
                      : std::clamp(static_cast<int>(std::lround(0.04 / step)), 2, 10);
    const double width = o.backgroundWidth > 0.0 ? o.backgroundWidth : 2.0;
    w.background =
        std::clamp(static_cast<int>(std::lround(width / 2.0 / step)), w.smoothing + 1, 5000);
    return w;
}

// Savitzky-Golay smoothing, a quadratic fitted over ±h points: it calms the noise and keeps a
// peak's height and centre, where a plain running mean would flatten it.
double savitzkyGolayWeight(int h, int i) {
    const double hh = static_cast<double>(h);
    return (3.0 * (3.0 * hh * hh + 3.0 * hh - 1.0) - 15.0 * static_cast<double>(i * i)) /
           ((2.0 * hh + 1.0) * (4.0 * hh * hh + 4.0 * hh - 3.0));
}

std::vector<double> smoothed(const Profile& p, const Widths& w) {
    const std::size_t n = p.counts.size();
    const int h = w.smoothing;
    std::vector<double> weights;
    for (int i = -h; i <= h; ++i)
        weights.push_back(savitzkyGolayWeight(h, i));
    std::vector<double> out(p.counts);
    if (n < static_cast<std::size_t>(2 * h + 1)) return out;
    for (std::size_t i = static_cast<std::size_t>(h); i + static_cast<std::size_t>(h) < n; ++i) {
        double sum = 0.0;
        for (int k = -h; k <= h; ++k)
            sum += weights[static_cast<std::size_t>(k + h)] *
                   p.counts[static_cast<std::size_t>(static_cast<std::ptrdiff_t>(i) + k)];
        out[i] = sum;
    }
    return out;
}

// The background is the smoothed profile opened (a running minimum, then a running maximum,
// each over the background width): whatever is narrower than that width, every peak, lies above
// it. The opening is then averaged over the same width to round its corners.
std::vector<double> backgroundOf(const std::vector<double>& y, const Widths& w) {
    const auto lower = runningExtreme(y, w.background, [](double a, double b) { return a < b; });
    const auto opened =
        runningExtreme(lower, w.background, [](double a, double b) { return a > b; });
    return movingAverage(opened, w.background);
}

} // namespace

Result<Profile> parseProfile(std::string_view text) {
    if (!looksLikeText(text)) {
        return makeError(ErrorCode::Damaged,
                         "This is not a pattern file: it holds binary data. A pattern file is "
                         "text with two columns, 2θ and counts");
    }
    struct Point {
        double x, y;
    };
    std::vector<Point> points;
    bool dataBegan = false;
    std::size_t lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        ++lineNumber;
        pos = end + 1;
        if (end < text.size() && text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
        std::size_t first = 0;
        while (first < line.size() && isBlank(line[first]))
            ++first;
        if (first == line.size()) continue;
        const char lead = line[first];
        if (lead == '#' || lead == '!' || lead == ';') continue;
        const std::vector<std::string> words = columnsOf(line);
        std::optional<double> x, y;
        if (words.size() >= 2) {
            x = parseDecimal(words[0]);
            y = parseDecimal(words[1]);
        }
        if (!x || !y) {
            if (!dataBegan) continue; // a header line
            if (words.size() < 2) {
                return lineError(lineNumber, "one column where a pattern file has two, 2θ and "
                                             "counts");
            }
            return lineError(lineNumber,
                             "\"" + (x ? words[1] : words[0]).substr(0, 40) + "\" is not a number");
        }
        dataBegan = true;
        if (!(*x > 0.0 && *x < 180.0)) {
            return lineError(lineNumber, "2θ = " + words[0] +
                                             "° cannot be a diffraction angle: 2θ lies between "
                                             "0 and 180°");
        }
        if (points.size() >= kMaxProfilePoints) {
            return lineError(lineNumber, "more than " + std::to_string(kMaxProfilePoints) +
                                             " points; a measured pattern has far fewer");
        }
        points.push_back(Point{*x, *y});
    }
    if (points.size() < 10) {
        return makeError(ErrorCode::Damaged,
                         points.empty()
                             ? "This is not a pattern file: no line holds two numbers, 2θ and "
                               "counts"
                             : "Too few points: " + std::to_string(points.size()) +
                                   " lines of 2θ and counts, a pattern has at least 10");
    }
    std::stable_sort(points.begin(), points.end(),
                     [](const Point& a, const Point& b) { return a.x < b.x; });
    Profile profile;
    profile.twoTheta.reserve(points.size());
    profile.counts.reserve(points.size());
    for (const Point& p : points) {
        if (!profile.twoTheta.empty() && p.x <= profile.twoTheta.back()) continue;
        profile.twoTheta.push_back(p.x);
        profile.counts.push_back(p.y);
    }
    // Ten lines at one angle are one point.
    if (profile.twoTheta.size() < 10) {
        return makeError(ErrorCode::Damaged,
                         "Too few points: " + std::to_string(profile.twoTheta.size()) +
                             " different angles 2θ, a pattern has at least 10");
    }
    return profile;
}

Result<std::string> readPatternFileBytes(const std::filesystem::path& path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) {
        return makeError(ErrorCode::NotFound, path.string() + ": no such file");
    }
    if (std::filesystem::is_directory(status)) {
        return makeError(ErrorCode::Unreadable, path.string() + " is a folder, not a file");
    }
    // A pipe or a device would be read without end, or wait for a writer that never comes.
    if (!std::filesystem::is_regular_file(status)) {
        return makeError(ErrorCode::Unreadable,
                         path.string() + " is not an ordinary file; open a saved pattern file");
    }
    const Error tooLarge = makeError(
        ErrorCode::Damaged, path.filename().string() + " is larger than 32 MB: no pattern file is");
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > static_cast<std::uintmax_t>(kMaxProfileFileSize)) return tooLarge;
    Result<std::FILE*> opened = openRegularFile(path);
    if (!opened) return opened.error();
    std::FILE* f = opened.value();
    std::string bytes;
    if (!ec) bytes.reserve(static_cast<std::size_t>(size));
    char buffer[1 << 16];
    std::size_t n = 0;
    // The limit holds for a file that grew since its size was taken, too.
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0 &&
           bytes.size() <= static_cast<std::size_t>(kMaxProfileFileSize))
        bytes.append(buffer, n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return makeError(ErrorCode::Unreadable, "read error in " + path.string());
    if (bytes.size() > static_cast<std::size_t>(kMaxProfileFileSize)) return tooLarge;
    return bytes;
}

Result<Profile> readProfileFile(const std::filesystem::path& path) {
    Result<std::string> bytes = readPatternFileBytes(path);
    if (!bytes) return bytes.error();
    Result<Profile> profile = parseProfile(bytes.value());
    if (!profile) {
        return makeError(profile.error().code,
                         path.filename().string() + ": " + profile.error().message);
    }
    return profile;
}

namespace {

struct Analysis {
    std::vector<double> smooth;
    std::vector<double> background;
    double noise = 0.0; // of the smoothed counts
};

Analysis analyse(const Profile& profile, const PeakFinding& options) {
    Analysis a;
    const std::size_t n = profile.counts.size();
    const Widths w = widthsOf(profile, options);
    a.smooth = smoothed(profile, w);
    std::vector<double> deviation(n);
    for (std::size_t i = 0; i < n; ++i)
        deviation[i] = std::fabs(profile.counts[i] - a.smooth[i]);
    auto mid = deviation.begin() + static_cast<std::ptrdiff_t>(n / 2);
    std::nth_element(deviation.begin(), mid, deviation.end());
    // The counts differ from the smoothed counts by their noise times √(1 − c0), c0 the centre
    // weight; the smoothed counts keep √c0 of it (c0 is the sum of the squared weights).
    const double c0 = savitzkyGolayWeight(w.smoothing, 0);
    a.noise = 1.4826 * *mid * std::sqrt(c0 / std::max(1.0 - c0, 0.05));
    // The opening follows the troughs of the noise; raised by twice the noise it runs through
    // the middle of it.
    a.background = backgroundOf(a.smooth, w);
    for (double& b : a.background)
        b += 2.0 * a.noise;
    return a;
}

} // namespace

std::vector<double> profileBackground(const Profile& profile, const PeakFinding& options) {
    if (profile.counts.size() < 3) return std::vector<double>(profile.counts.size(), 0.0);
    return analyse(profile, options).background;
}

// The peak finder:
//  1. smooth the counts with a Savitzky-Golay filter (a quadratic over ±h points; h from the
//     step width, about ±0.04° 2θ, or as the user sets it);
//  2. estimate the noise as 1.4826 × the median absolute difference between the counts and the
//     smoothed counts (scaled to what the smoothing leaves of it);
//  3. take off the background: the smoothed profile opened over the background width (a running
//     minimum, then a running maximum), averaged, and raised by twice the noise;
//  4. every local maximum of what is left is a peak when it stands at least the threshold (a
//     share of the highest one) and four times the noise above the background;
//  5. two neighbouring maxima whose valley stays above three quarters of the lower one are one
//     peak (the higher one);
//  6. a peak must rise three times the noise above the higher of the valleys that part it from
//     its neighbours (or the scan's ends), in the smoothed counts: where the background climbs
//     faster than its estimate follows (the low-angle rise), the noise's wiggles stand above the
//     background but rise above nothing;
//  7. a peak's position is the vertex of the parabola through its point and its neighbours.
std::vector<FoundPeak> findPeaks(const Profile& profile, const PeakFinding& options) {
    const std::size_t n = std::min(profile.twoTheta.size(), profile.counts.size());
    if (n < 3) return {};
    const Analysis analysis = analyse(profile, options);
    const std::vector<double>& smooth = analysis.smooth;
    std::vector<double> net(n);
    for (std::size_t i = 0; i < n; ++i)
        net[i] = std::max(0.0, smooth[i] - analysis.background[i]);

    const double highest = *std::max_element(net.begin(), net.end());
    const double threshold = std::clamp(options.thresholdPercent, 0.0, 100.0) / 100.0;
    const double floor = std::max({threshold * highest, 4.0 * analysis.noise, 1e-12});

    std::vector<std::size_t> maxima;
    for (std::size_t i = 1; i + 1 < n; ++i) {
        if (net[i] > net[i - 1] && net[i] >= net[i + 1] && net[i] >= floor) maxima.push_back(i);
    }
    std::vector<std::size_t> kept;
    for (std::size_t i : maxima) {
        if (!kept.empty()) {
            const std::size_t last = kept.back();
            const double valley = *std::min_element(net.begin() + static_cast<std::ptrdiff_t>(last),
                                                    net.begin() + static_cast<std::ptrdiff_t>(i));
            if (valley > 0.75 * std::min(net[last], net[i])) {
                if (net[i] > net[last]) kept.back() = i;
                continue;
            }
        }
        kept.push_back(i);
    }

    std::vector<std::size_t> prominent;
    for (std::size_t k = 0; k < kept.size(); ++k) {
        const std::size_t i = kept[k];
        const std::size_t from = k > 0 ? kept[k - 1] : 0;
        const std::size_t to = k + 1 < kept.size() ? kept[k + 1] : n - 1;
        const double left = *std::min_element(smooth.begin() + static_cast<std::ptrdiff_t>(from),
                                              smooth.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        const double right =
            *std::min_element(smooth.begin() + static_cast<std::ptrdiff_t>(i),
                              smooth.begin() + static_cast<std::ptrdiff_t>(to) + 1);
        if (smooth[i] - std::max(left, right) >= 3.0 * analysis.noise) prominent.push_back(i);
    }
    kept = std::move(prominent);

    std::vector<FoundPeak> peaks;
    peaks.reserve(kept.size());
    for (std::size_t i : kept) {
        const double y0 = smooth[i - 1], y1 = smooth[i], y2 = smooth[i + 1];
        const double curvature = y0 - 2.0 * y1 + y2;
        double offset = curvature < 0.0 ? 0.5 * (y0 - y2) / curvature : 0.0;
        offset = std::clamp(offset, -0.5, 0.5);
        const double step = offset < 0.0 ? profile.twoTheta[i] - profile.twoTheta[i - 1]
                                         : profile.twoTheta[i + 1] - profile.twoTheta[i];
        peaks.push_back(FoundPeak{profile.twoTheta[i] + offset * step, net[i]});
    }
    if (peaks.size() > kMaxPeaks) {
        std::nth_element(
            peaks.begin(), peaks.begin() + kMaxPeaks, peaks.end(),
            [](const FoundPeak& a, const FoundPeak& b) { return a.height > b.height; });
        peaks.resize(kMaxPeaks);
        std::sort(peaks.begin(), peaks.end(),
                  [](const FoundPeak& a, const FoundPeak& b) { return a.twoTheta < b.twoTheta; });
    }
    return peaks;
}

MeasuredPattern patternOfPeaks(const std::vector<FoundPeak>& peaks, double wavelength) {
    MeasuredPattern pattern;
    for (const FoundPeak& p : peaks) {
        const double d = dFromTwoTheta(p.twoTheta, wavelength);
        if (d > 0.0 && d <= kMaxD) pattern.peaks.push_back(Peak{d, p.height});
    }
    normalisePattern(pattern);
    return pattern;
}

} // namespace lithora
