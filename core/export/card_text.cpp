#include "export/card_text.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "card/card_texts.h"
#include "print/card_print.h"
#include "text/split.h"

namespace lithora {

namespace {

std::string trimmed(std::string_view text) {
    return std::string(trimBlanks(text));
}

// Blank-separated values that the card spreads over wide gaps or several boxes.
std::string words(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view part : parts) {
        for (const std::string& w : splitWords(part)) {
            if (w.empty()) continue;
            if (!out.empty()) out += ' ';
            out += w;
        }
    }
    return out;
}

class TextWriter {
  public:
    void line(std::string_view text) {
        m_text.append(text);
        m_text += '\n';
    }
    void field(std::string_view caption, std::string_view value) {
        const std::string v = trimmed(value);
        if (v.empty()) return;
        m_text.append(caption);
        m_text += ": ";
        m_text += v;
        m_text += '\n';
    }
    std::string take() { return std::move(m_text); }

  private:
    std::string m_text;
};

// "1.544 – 1.553 (note)": the two values of an index or angle row and the note beside them.
std::string rangeWithNote(const OpticsFieldTexts& of, std::size_t first) {
    const std::string low = trimmed(of[first]);
    const std::string high = trimmed(of[first + 1]);
    const std::string note = trimmed(of[first + 2]);
    std::string out = low.empty() || high.empty() ? low + high : low + " – " + high;
    if (!note.empty()) out += out.empty() ? note : " (" + note + ")";
    return out;
}

// "Low 12.1, High 13.0, Avg 12.5" for one wavelength of the reflectivity table.
std::string reflectivity(const OpticsFieldTexts& of, std::size_t first) {
    std::string out;
    const char* names[] = {"Low", "High", "Avg"};
    for (std::size_t k = 0; k < 3; ++k) {
        const std::string v = trimmed(of[first + k]);
        if (v.empty()) continue;
        if (!out.empty()) out += ", ";
        out += std::string(names[k]) + " " + v;
    }
    return out;
}

void writeOptics(TextWriter& w, const OpticsFieldTexts& of) {
    w.line("");
    w.line("Optics");
    w.field("Optical Character", of[2]);
    w.field("Color", of[3]);
    w.field("Luster", of[4]);
    w.field("Optical Class", of[6]);
    w.field("Optical Sign", of[8]);
    w.field("N, Nα, Nε", rangeWithNote(of, 16));
    w.field("Nβ", rangeWithNote(of, 19));
    w.field("Nγ, Nω", rangeWithNote(of, 22));
    w.field("2V Meas", rangeWithNote(of, 25));
    w.field("2V Calc", rangeWithNote(of, 28));
    w.field("Orientation", of[10]);
    w.field("Dispersion", of[11]);
    w.field("Absorption", of[12]);
    w.field("Pleochroism", of[13]);
    w.field("Anisotropism", of[15]);
    const char* wavelengths[] = {"470", "546", "589", "650"};
    for (std::size_t r = 0; r < 4; ++r)
        w.field("Reflectivity " + std::string(wavelengths[r]) + " nm",
                reflectivity(of, 33 + 3 * r));
    w.field("Overall Avg. Reflectivity", of[45]);
    w.field("Birefringence", of[46]);
    w.field("Avg. N", of[47]);
    w.field("Calc 2V", of[48]);
    w.field("Calc Optic Sign", of[49]);
}

} // namespace

std::string cardPlainText(const CardState& state, char decimalSeparator) {
    const MainFieldTexts tf = mainFieldTexts(state);
    TextWriter w;
    w.line(trimmed(tf[0]));
    if (state.currentCardNumber > 0) w.field("Card", std::to_string(state.currentCardNumber));
    w.field("Status", tf[41]);
    w.field("Last Updated", tf[42]);
    w.field("Synonym", tf[1]);
    w.field("Formula", tf[2]);
    w.field("Elements", words({tf[3]}));
    w.field("CrysSys", tf[4]);
    w.field("Space Gr", tf[5]);
    w.field("Xl Cl", tf[6]);
    w.field("Cell Edges", words({tf[7], tf[8], tf[9]}));
    w.field("Mohs", tf[13]);
    w.field("SGm", tf[15]);
    w.field("Cell Angles", words({tf[10], tf[11], tf[12]}));
    w.field("Z", tf[14]);
    w.field("SGc", tf[16]);
    w.field("Strunz Class", tf[17]);
    w.field("Group", tf[18]);
    w.field("NameRef", tf[19]);
    w.field("Compare With", tf[20]);
    w.field("ICDD#", tf[21]);
    w.field("Appearance", tf[22]);
    w.field("Type Locality", tf[23]);

    // The eight boxes of d spacings over the eight of intensities, as pairs.
    std::vector<std::string> lines;
    std::size_t dWidth = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const std::string d = trimmed(tf[25 + i]);
        if (!d.empty() || !trimmed(tf[33 + i]).empty()) dWidth = std::max(dWidth, d.size());
    }
    for (std::size_t i = 0; i < 8; ++i) {
        const std::string d = trimmed(tf[25 + i]);
        const std::string intensity = trimmed(tf[33 + i]);
        if (d.empty() && intensity.empty()) continue;
        std::string line = "  " + d;
        if (!intensity.empty()) line += std::string(dWidth - d.size() + 2, ' ') + intensity;
        lines.push_back(std::move(line));
    }
    if (!lines.empty()) {
        w.line("d Spacing / Intensity:");
        for (const std::string& line : lines)
            w.line(line);
    }
    w.field("Notes", tf[24]);

    const std::vector<std::string> references = printedReferences(state.currentReferences);
    if (!references.empty()) {
        w.line("References:");
        for (const std::string& reference : references)
            w.line("  " + reference);
    }
    if (!state.currentOpticalRecord.empty())
        writeOptics(w, opticsFieldTexts(state.currentOpticalRecord, decimalSeparator));
    return w.take();
}

} // namespace lithora
