#include "source/records.h"

namespace lithora {

std::string entryRecordText(const SourceEntry& entry) {
    std::string text;
    for (std::size_t i = 0; i < entry.cells.size(); ++i) {
        if (i > 0) text.push_back('|');
        text += entry.cells[i];
    }
    return text;
}

std::string referenceRecordText(const SourceReference& reference) {
    std::string text = std::to_string(reference.card) + "|" + reference.reference;
    if (!reference.addition.empty()) text += "|" + reference.addition;
    return text;
}

std::string opticsRecordText(const SourceOptics& optics) {
    std::size_t used = optics.fields.size();
    while (used > 0 && optics.fields[used - 1].empty())
        --used;
    std::string text;
    for (std::size_t i = 0; i < used; ++i) {
        if (i > 0) text.push_back('|');
        text += optics.fields[i];
    }
    return text;
}

std::string normalizeBlanks(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == ' ') {
            if (!out.empty() && out.back() != ' ') out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

} // namespace lithora
