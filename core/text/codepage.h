#pragma once

#include <string>
#include <string_view>

// Windows-1252 is the single-byte character set of every record in the data files. The five
// codes that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control
// characters of the same value, so every byte has exactly one character and back.
namespace lithora {

char32_t cp1252ToCodePoint(unsigned char byte);

// The byte that holds the character, or -1 when Windows-1252 has no such character.
int codePointToCp1252(char32_t codePoint);

std::string cp1252ToUtf8(std::string_view bytes);

// Converts UTF-8 text into Windows-1252 bytes. Characters the code page lacks, and malformed
// UTF-8, become "?"; the result is false when that happened.
bool utf8ToCp1252(std::string_view utf8, std::string& out);

// Decodes one UTF-8 character at pos and advances pos; malformed input gives U+FFFD and
// advances by one byte.
char32_t nextCodePoint(std::string_view utf8, std::size_t& pos);
void appendUtf8(std::string& out, char32_t codePoint);

// Upper case as the program's Western locale has it: a-z, the accented Latin-1 letters, and
// š œ ž ÿ of Windows-1252. Everything else stays.
char32_t upperCodePoint(char32_t codePoint);
std::string upperCase(std::string_view utf8);
unsigned char upperCp1252(unsigned char byte);

// Number of characters (code points) of a UTF-8 text.
std::size_t characterCount(std::string_view utf8);

} // namespace lithora
