#include "print/card_print.h"

#include "text/numeric.h"
#include "text/split.h"

namespace lithora {

const std::vector<std::string_view> kPrintCaptions = {
    "Synonym",      "Formula",     "Unit Cell",     "Axial Ratio",
    "Cell Volume",  "Space Group", "XI Class",      "Crystal System",
    "Strunz Class", "Group",       "Mohs",          "SGm",
    "SGc",          "Z",           "Name ref.",     "Compare with",
    "ICDD Nr.",     "Appearance",  "Type Locality", "d & Intensity",
    "Notes",        "References"};

namespace {

// Lays the page out line by line, keeping a current position as a printer does.
class PageWriter {
  public:
    PageWriter(const TextMeasurer& measurer, double pageWidth) : m_measurer(measurer) {
        m_page.width = pageWidth;
        m_margin = pageWidth / 20;
        m_valueX = m_margin + measurer.width("-Crystal-System-:---", PrintFont{});
        m_valueWidth = pageWidth - m_valueX - 2 * m_margin;
    }

    double margin() const { return m_margin; }
    double valueX() const { return m_valueX; }
    double y() const { return m_y; }
    void setY(double y) { m_y = y; }
    PrintFont& font() { return m_font; }

    // Prints a text at x and moves to the next line.
    void printLine(double x, std::string_view text) {
        if (!text.empty())
            m_page.items.push_back(
                {PrintItem::Kind::Text, x, m_y, 0, std::string(text), m_font, 0});
        m_y += m_measurer.lineHeight(m_font);
    }

    void rule(double y) {
        m_page.items.push_back(
            {PrintItem::Kind::Rule, m_margin, y, m_page.width - 2 * m_margin, {}, m_font, y});
        m_page.bottom = y;
    }

    void wrapped(std::string_view text) {
        const auto measure = [this](std::string_view t) { return m_measurer.width(t, m_font); };
        for (const std::string& line : wrapText(text, m_valueWidth, measure))
            printLine(m_valueX, line);
    }

    // A caption in italics in the left column and its value at the value column.
    void property(std::string_view caption, std::string_view value, bool wrap) {
        const double top = m_y;
        m_font.italic = true;
        printLine(m_margin, caption);
        m_font.italic = false;
        m_y = top;
        if (wrap) {
            wrapped(value);
        } else {
            printLine(m_valueX, value);
        }
    }

    PrintPage take() { return std::move(m_page); }

  private:
    const TextMeasurer& m_measurer;
    PrintPage m_page;
    PrintFont m_font;
    double m_margin = 0;
    double m_valueX = 0;
    double m_valueWidth = 0;
    double m_y = 0;
};

} // namespace

std::vector<std::string> wrapText(std::string_view text, double width,
                                  const std::function<double(std::string_view)>& measure) {
    if (measure(text) <= width) return {std::string(text)};
    std::vector<std::string> words;
    for (std::string& w : splitWords(text)) {
        if (!w.empty()) words.push_back(std::move(w));
    }
    std::vector<std::string> lines;
    if (words.empty()) return {std::string()};
    std::string line;
    for (std::size_t i = 0; i + 1 < words.size(); ++i) {
        line += words[i] + " ";
        // The line so far already ends with a blank; the test adds one more and the next word.
        if (measure(line + " " + words[i + 1]) > width) {
            lines.push_back(line);
            line.clear();
        }
    }
    line += words.back();
    lines.push_back(line);
    return lines;
}

std::string axialRatioText(std::string_view cell, char sep) {
    const std::vector<std::string> w = splitWords(cell);
    if (w.size() < 3) return std::string();
    const float a = numericValue(w[0]);
    const float b = numericValue(w[1]);
    const float c = numericValue(w[2]);
    if (a == 0.0f || b == 0.0f || (b == a && c == a)) return std::string();
    return "a/b = " + formatNumber(a / b, 1, 4, sep) +
           ",   c/a = " + formatNumber(c / a, 1, 4, sep);
}

std::string printedSynonym(std::string_view synonym) {
    std::string s(synonym);
    if (contains(s, "?") && contains(s, "alpha")) s = replaceAll(s, "?", "a");
    return s;
}

namespace {

// Every "<...>" taken out in one pass from left to right.
std::string withoutTagsInOnePass(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    for (;;) {
        const std::size_t open = text.find('<', pos);
        const std::size_t close = open == std::string_view::npos ? open : text.find('>', open);
        if (close == std::string_view::npos) break;
        out.append(text.substr(pos, open - pos));
        pos = close + 1;
    }
    out.append(text.substr(pos));
    return out;
}

// Taking out tags one distinct tag at a time costs a pass over the text per tag; beyond this
// many characters passed over, the rest is done in one pass.
constexpr std::size_t kMarkupWork = 1u << 24;

} // namespace

std::string withoutMarkup(std::string text) {
    for (std::string_view tag : {"<i>", "</i>", "</A>"})
        text = replaceAll(text, tag, "");
    // The first tag left is taken out wherever it stands, then the next, until none is left
    // (taking one out may join the text around it into another). Only a damaged file holds so
    // many distinct tags that this would take long: then the rest go in one pass.
    std::size_t work = 0;
    for (;;) {
        const std::size_t open = text.find('<');
        if (open == std::string::npos) break;
        const std::size_t close = text.find('>', open);
        if (close == std::string::npos) break;
        work += text.size();
        if (work > kMarkupWork) return withoutTagsInOnePass(text);
        text = replaceAll(text, text.substr(open, close - open + 1), "");
    }
    return text;
}

std::vector<std::string> printedReferences(const std::vector<std::string>& references) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < references.size(); ++i) {
        const std::string_view trimmed = trimBlanks(references[i]);
        if (trimmed.empty()) continue;
        out.push_back(withoutMarkup(std::to_string(i + 1) + ". " + std::string(trimmed)));
    }
    return out;
}

PrintPage layoutCardPage(const CardState& s, double pageWidth, const TextMeasurer& measurer,
                         char sep) {
    PageWriter page(measurer, pageWidth);
    const double m = page.margin();

    // Header: the rule, then product line and card line, then the name large and bold.
    page.rule(m);
    page.setY(m);
    page.printLine(m, " ");
    const double top = page.y();
    page.font().bold = true;
    page.printLine(m, "ZTK-Lithora");
    page.setY(top);
    page.font().bold = false;
    page.printLine(page.valueX(), "Card " + std::to_string(s.currentCardNumber) + ", Status " +
                                      s.currentStatus + ", " + s.currentLastUpdated);
    page.printLine(page.valueX(), "");
    page.font().bold = true;
    page.font().points *= 2;
    page.printLine(m, s.currentName);
    page.font().points /= 2;
    page.printLine(m, " ");
    page.font().bold = false;

    page.property("Synonym", printedSynonym(s.currentSynonym), true);
    page.property("Formula", s.currentFormula, false);
    page.property("Unit Cell", s.currentCell, false);
    page.property("Axial Ratio",
                  s.currentCell.empty() ? std::string() : axialRatioText(s.currentCell, sep),
                  false);
    page.property("Cell Volume", s.currentCellVolume, false);
    page.property("Space Group", s.currentSpaceGroup, false);
    page.property("XI Class", s.currentCrystalClass, false);
    page.property("Crystal System", s.currentCrystalSystem, false);
    page.property("Strunz Class", s.currentStrunzClass, false);
    page.property("Group", s.currentGroup, false);
    page.property("Mohs", s.currentMohs, false);
    page.property("SGm", s.currentDensityMeasured, false);
    page.property("SGc", s.currentDensityCalculated, false);
    page.property("Z", s.currentZ, false);
    page.property("Name ref.", s.currentNameReference, true);
    page.property("Compare with", s.currentCompareWith, true);
    page.property("ICDD Nr.", s.currentIcddNumber, false);
    page.property("Appearance", s.currentAppearance, true);
    page.property("Type Locality", s.currentTypeLocality, true);
    page.property("d & Intensity", s.currentDIPairs, false);
    page.property("Notes", s.currentNotes, true);
    page.printLine(m, "");

    page.font().italic = true;
    page.printLine(m, "References");
    page.font().italic = false;
    for (const std::string& reference : printedReferences(s.currentReferences))
        page.wrapped(reference);

    page.printLine(m, " ");
    page.rule(page.y());
    return page.take();
}

} // namespace lithora
