// Plain text files for the multiline editor's import and export. The
// encoding of a file follows its byte order mark; a file without one is in
// the ANSI code page, Windows-1255.
#pragma once

#include <string>
#include <string_view>

#include "hebrew/text_encoding.h"

namespace editors {

using hebrew::TextEncoding;

struct DecodedText {
    std::u16string text;  // line breaks as CR LF, as an edit box holds them
    TextEncoding encoding = TextEncoding::Ansi;
};

// A file's bytes as text: the mark picks the encoding and is not part of the
// text; any line break (CR LF, LF, CR) becomes CR LF. Bytes that do not decode
// become U+FFFD, so a damaged file still loads.
DecodedText decodeTextFile(std::string_view bytes);

// The bytes of a file for text: its line breaks written as CR LF, no break
// added at the end, with the encoding's mark (none for ANSI). A character
// that Windows-1255 lacks is written as "?" in ANSI.
std::string encodeTextFile(std::u16string_view text, TextEncoding encoding);

// Every line break of text as CR LF.
std::u16string normalizeLineBreaks(std::u16string_view text);

// Reading and writing whole files. On failure they return false and set
// `error` to the platform's message for it; nothing is read or kept then.
bool readFileBytes(const std::u16string& path, std::string& bytes, std::u16string& error);
bool writeFileBytes(const std::u16string& path, std::string_view bytes, std::u16string& error);

}  // namespace editors
