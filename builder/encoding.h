// Text between Windows-1252, which bases hold, and UTF-8, which product tables, schema
// files and terminals may use. Shared by lodex-build and lodex; conversion goes through
// iconv.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lodex {

// Whether text is well-formed UTF-8.
bool IsUtf8(std::string_view text);

// UTF-8 to Windows-1252. On failure answers false and sets *bad_offset to the byte
// offset in `in` of the character that is not UTF-8 or has no Windows-1252 form.
bool Utf8ToWindows1252(std::string_view in, std::string* out, size_t* bad_offset = nullptr);

// UTF-8 to Windows-1252 for texts typed by a user: each character that is not UTF-8
// or has no Windows-1252 form becomes one '?'.
std::string Utf8ToWindows1252OrQuestionMarks(std::string_view in);

// Windows-1252 to UTF-8 (for messages and listings); bytes without a character pass
// through as '?'.
std::string Windows1252ToUtf8(std::string_view in);

}  // namespace lodex
