#include "patterns/identification_lines.h"

#include "identify/ranking.h"

namespace lithora {

IdentificationLines identificationLines(const ReferencePatterns* patterns, int card,
                                        std::string_view dField, std::string_view intensityField) {
    if (patterns) {
        if (const std::optional<PatternView> pattern = patterns->find(card))
            return IdentificationLines(*pattern);
    }
    IdentificationLines lines;
    const CardLines own = cardLinesOf(dField, intensityField);
    static_assert(kMaxCardLines == std::tuple_size_v<decltype(lines.m_cardD)>);
    // cardLinesOf gives the strongest first; a pattern runs in decreasing d, and so do these.
    std::size_t count = 0;
    for (int j = 0; j < own.count; ++j) {
        const auto d = static_cast<float>(own.d[static_cast<std::size_t>(j)]);
        std::size_t k = count++;
        for (; k > 0 && lines.m_cardD[k - 1] < d; --k) {
            lines.m_cardD[k] = lines.m_cardD[k - 1];
            lines.m_cardIntensity[k] = lines.m_cardIntensity[k - 1];
        }
        lines.m_cardD[k] = d;
        lines.m_cardIntensity[k] = static_cast<float>(own.intensity[static_cast<std::size_t>(j)]);
    }
    lines.m_cardCount = count;
    lines.m_source = count > 0 ? LineSource::CardLines : LineSource::None;
    return lines;
}

} // namespace lithora
