#include "list/name_search.h"

#include <cmath>

#include "text/codepage.h"
#include "text/numeric.h"
#include "text/split.h"

namespace lithora {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The accent folding of the name search, by Windows-1252 code; capitals other than Ö stay.
char32_t foldAccent(char32_t c) {
    if (c == 0xD6) return U'O';
    if (c == 0xDF) return U'b';
    if (c >= 0xE0 && c <= 0xE6) return U'a';
    if (c == 0xE7) return U'c';
    if (c >= 0xE8 && c <= 0xEB) return U'e';
    if (c >= 0xEC && c <= 0xEF) return U'i';
    if (c == 0xF1) return U'n';
    if (c == 0xF3 || c == 0xF4 || c == 0xF6 || c == 0xF8) return U'o';
    if (c >= 0xFA && c <= 0xFC) return U'u';
    if (c == 0xFD) return U'y';
    return c;
}

} // namespace

NameFieldRequest parseNameField(std::string_view text, int maxCardNumber) {
    const std::string s = upperCase(trimBlanks(text));
    const double value = numericValue(s);
    const double n = std::nearbyint(value); // halves to even, as the field always took them
    NameFieldRequest request;
    if (n > 0 && n <= maxCardNumber) {
        request.kind = NameFieldRequest::Kind::CardNumber;
        request.cardNumber = static_cast<int>(n);
    } else if (n <= maxCardNumber && characterCount(s) >= 2) {
        request.kind = NameFieldRequest::Kind::NamePrefix;
        request.prefix = s;
    }
    return request;
}

std::string foldedUpperName(std::string_view name) {
    std::string folded;
    std::size_t pos = 0;
    while (pos < name.size())
        appendUtf8(folded, foldAccent(nextCodePoint(name, pos)));
    return upperCase(folded);
}

int findNameRow(const std::vector<ListRow>& rows, std::string_view prefix) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (startsWith(upperCase(rows[i][ColName]), prefix)) return static_cast<int>(i) + 1;
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (startsWith(foldedUpperName(rows[i][ColName]), prefix)) return static_cast<int>(i) + 1;
    }
    return 0;
}

int findCardRow(const std::vector<ListRow>& rows, int cardNumber) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (numericValue(rows[i][ColCard]) == static_cast<float>(cardNumber))
            return static_cast<int>(i) + 1;
    }
    return 0;
}

std::optional<std::string> alphabeticalJumpPrefix(int keyCode) {
    if (keyCode < 65 || keyCode > 122) return std::nullopt;
    return upperCase(std::string(1, static_cast<char>(keyCode)));
}

std::string commandLineArgument(std::string_view commandLine) {
    std::string_view c = trimBlanks(commandLine);
    if (const std::size_t blank = c.find(' '); blank != std::string_view::npos)
        c = trimBlanks(c.substr(blank + 1));
    return std::string(c);
}

std::string nameFromCommandLineArgument(std::string_view argument) {
    std::string c(trimBlanks(replaceAll(argument, "/i", "")));
    if (const std::size_t slash = c.find_last_of("\\/"); slash != std::string::npos)
        c = c.substr(slash + 1);
    if (const std::size_t dot = c.find('.'); dot != std::string::npos) c = c.substr(0, dot);
    if (const std::size_t blank = c.find(' '); blank != std::string::npos) c = c.substr(0, blank);
    return upperCase(c);
}

} // namespace lithora
