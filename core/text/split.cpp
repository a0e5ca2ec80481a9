#include "text/split.h"

namespace lithora {

std::string_view trimBlanks(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && text[begin] == ' ')
        ++begin;
    while (end > begin && text[end - 1] == ' ')
        --end;
    return text.substr(begin, end - begin);
}

std::vector<std::string_view> splitFieldViews(std::string_view text, char delimiter) {
    std::vector<std::string_view> pieces = splitExact(trimBlanks(text), delimiter);
    // A delimiter at the very end gives no empty last field; one field always remains.
    if (pieces.size() > 1 && pieces.back().empty()) pieces.pop_back();
    return pieces;
}

std::vector<std::string> splitFields(std::string_view text, char delimiter) {
    const std::vector<std::string_view> pieces = splitFieldViews(text, delimiter);
    return std::vector<std::string>(pieces.begin(), pieces.end());
}

std::vector<std::string> splitWords(std::string_view text) {
    const std::string_view s = trimBlanks(text);
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < s.size()) {
        std::size_t p = s.find(' ', pos);
        if (p == std::string_view::npos) p = s.size();
        if (p > pos) out.emplace_back(s.substr(pos, p - pos));
        pos = p + 1;
    }
    if (out.empty()) out.emplace_back();
    return out;
}

std::string formulaSymbols(std::string_view formula) {
    std::string withoutX(formula);
    for (char& c : withoutX) {
        if (c == 'x') c = ' ';
    }
    std::string acc;
    for (char c : trimBlanks(withoutX)) {
        if (c >= 'A' && c <= 'Z') {
            acc.push_back(' ');
            acc.push_back(c);
        } else if (c >= 'a' && c <= 'z') {
            acc.push_back(c);
            acc.push_back(' ');
        }
    }
    std::vector<std::string> words = splitWords(acc);
    for (std::size_t i = 0; i + 1 < words.size(); ++i) {
        if (words[i].empty()) continue;
        for (std::size_t j = i + 1; j < words.size(); ++j) {
            if (words[j] == words[i]) words[j].clear();
        }
    }
    std::string out;
    for (const std::string& w : words) {
        if (!w.empty() && static_cast<unsigned char>(w[0]) < 91) {
            out += w;
            out.push_back(' ');
        }
    }
    return std::string(trimBlanks(out));
}

std::vector<std::string_view> splitExact(std::string_view text, char delimiter) {
    std::vector<std::string_view> pieces;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t p = text.find(delimiter, pos);
        if (p == std::string_view::npos) break;
        pieces.push_back(text.substr(pos, p - pos));
        pos = p + 1;
    }
    pieces.push_back(text.substr(pos));
    return pieces;
}

const std::string& fieldOrEmpty(const std::vector<std::string>& fields, std::size_t i) {
    static const std::string empty;
    return i < fields.size() ? fields[i] : empty;
}

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    if (from.empty()) return std::string(text);
    std::size_t pos = 0;
    for (;;) {
        const std::size_t p = text.find(from, pos);
        if (p == std::string_view::npos) break;
        out.append(text.substr(pos, p - pos));
        out.append(to);
        pos = p + from.size();
    }
    out.append(text.substr(pos));
    return out;
}

std::string joinWords(const std::vector<std::string>& parts, std::string_view separator) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += separator;
        out += parts[i];
    }
    return out;
}

} // namespace lithora
