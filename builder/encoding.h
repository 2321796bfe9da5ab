// Text encodings of the input: bases hold Windows-1252; product tables and schema
// files may be UTF-8. Conversion goes through iconv.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lodex::build {

// Whether text is well-formed UTF-8.
bool IsUtf8(std::string_view text);

// UTF-8 to Windows-1252. On failure answers false and sets *bad_offset to the byte
// offset in `in` of the character that is not UTF-8 or has no Windows-1252 form.
bool Utf8ToWindows1252(std::string_view in, std::string* out, size_t* bad_offset = nullptr);

// Windows-1252 to UTF-8 (for messages and listings); bytes without a character pass
// through as '?'.
std::string Windows1252ToUtf8(std::string_view in);

}  // namespace lodex::build
