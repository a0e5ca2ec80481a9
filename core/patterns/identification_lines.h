#pragma once

#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "datafiles/reference_patterns.h"

// The diffraction lines the identification compares a measured pattern with: the card's whole
// computed pattern when lithora.p holds it, else the eight lines of its entry record.
namespace lithora {

enum class LineSource {
    None,      // neither: the card has no diffraction lines
    Pattern,   // the whole pattern of lithora.p
    CardLines, // the d-spacing and intensity fields of the entry record
};

class IdentificationLines {
  public:
    IdentificationLines() = default;
    explicit IdentificationLines(const PatternView& pattern)
        : m_source(LineSource::Pattern), m_pattern(pattern) {}

    LineSource source() const { return m_source; }
    std::size_t size() const { return d().size(); }
    // Both in decreasing d (card lines: never increasing; two may share a d). Intensities are
    // relative to the card's strongest line, 100.
    std::span<const float> d() const {
        return m_pattern ? m_pattern->d : std::span<const float>(m_cardD).first(m_cardCount);
    }
    std::span<const float> intensity() const {
        return m_pattern ? m_pattern->intensity
                         : std::span<const float>(m_cardIntensity).first(m_cardCount);
    }
    // The strongest lines, (intensity, d), strongest first (PatternView::strongest); none for
    // card lines.
    std::span<const std::pair<float, float>> strongest() const {
        return m_pattern ? m_pattern->strongest : std::span<const std::pair<float, float>>();
    }
    // The pattern itself (hkl, multiplicity, I/Ic, lines cut) when source() is Pattern.
    const std::optional<PatternView>& pattern() const { return m_pattern; }

  private:
    friend IdentificationLines identificationLines(const ReferencePatterns*, int, std::string_view,
                                                   std::string_view);

    LineSource m_source = LineSource::None;
    std::optional<PatternView> m_pattern;
    std::size_t m_cardCount = 0;
    std::array<float, 8> m_cardD{};
    std::array<float, 8> m_cardIntensity{};
};

// The lines of a card for the identification. patterns may be null (no store at hand), and
// dField and intensityField are fields 6 and 7 of the card's entry record, read only when the
// store holds no pattern for the card; their lines are taken as the ranking reads them
// (identify/ranking.h cardLinesOf: at most eight, a line without an intensity counts as 50).
IdentificationLines identificationLines(const ReferencePatterns* patterns, int card,
                                        std::string_view dField, std::string_view intensityField);

} // namespace lithora
