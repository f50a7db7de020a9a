// The strings of a DXF drawing: how their bytes become the bytes a font
// draws, how a migrated text is written back, and how a legacy text becomes
// its migrated form.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "hebrew/conversions.h"

namespace vornmigrate {

// What the migrated texts hold: the system's own True Type stored form,
// Unicode in reading order, or the display order as a left-to-right string.
enum class Target { Host, Logical, Visual };

enum class Status { Same, Converted, Review };
const char* statusName(Status s);
// The status of two parts together: review before converted before same.
Status worse(Status a, Status b);

// The code pages a drawing's $DWGCODEPAGE may name that strings are decoded
// through. Windows-1255 is the system's own 8-bit form; from FirstTable on,
// the other 8-bit Windows and DOS code pages, in the order of their table
// (code_pages.inc).
enum class CodePage : unsigned char { Ansi1255, Ansi1252, FirstTable };

// The byte rules of one drawing: before R2007 (AC1021) a string is the bytes
// the font draws, with \U+XXXX escapes for other characters; from R2007 it
// is UTF-8 of those bytes decoded through $DWGCODEPAGE.
struct StringRules {
    bool utf8 = false;
    CodePage codePage = CodePage::Ansi1252;
};

// Whether an $ACADVER value is R2007 or later.
bool isUtf8Version(std::string_view acadver);
// The code page of a $DWGCODEPAGE value (any case; ASCII and UNDEFINED are
// Windows-1252); false for one this tool has no table of (the multi-byte
// code pages of East Asia).
bool codePageNamed(std::string_view name, CodePage& out);

char16_t codePageChar(CodePage cp, unsigned char b);
// What the code page shows for bytes, a character each.
std::u16string codePageText(CodePage cp, std::string_view bytes);
// '?' when the code page has no byte for c.
unsigned char codePageByte(CodePage cp, char16_t c);

// One character of a stored string: the byte the font draws, and the raw
// bytes of the file it was read from.
struct StoredChar {
    unsigned char fontByte;
    std::string_view raw;
};

// Reads one character of a value at pos (a \U+XXXX escape, a UTF-8
// sequence or a byte) and advances pos. False at invalid UTF-8.
bool readStoredChar(std::string_view value, std::size_t& pos, const StringRules& rules, StoredChar& out,
                    char16_t& unicode);

// The font bytes and the Unicode text of a whole TEXT or attribute value.
// False when a UTF-8 drawing holds invalid UTF-8.
bool decodeValue(std::string_view value, const StringRules& rules, std::string& fontBytes, std::u16string& unicode);

// A migrated string as the file stores it: ASCII as it is, other characters
// as \U+XXXX (upper-case hex) before R2007 or UTF-8 from R2007. With
// mtextEscapes, backslashes and braces are escaped as MTEXT needs.
void appendEncoded(std::string& out, std::u16string_view text, const StringRules& rules, bool mtextEscapes);

// How a legacy text's new form is made from what the system's editor shows.
struct TextForm {
    hebrew::StyleState style;  // the legacy style the text was read in
    Target target = Target::Host;
    bool attribute = false;  // the attribute editor's forms (no bracket mirroring)
};

struct NewText {
    std::u16string text;
    Status status = Status::Same;
};

// Whether a legacy text is English only and stays as it is stored: a
// letter-code type without any letter of its code (after "%%" letter codes
// are read) and not backwards.
bool staysAsStored(std::string_view fontBytes, const hebrew::StyleState& style);

// A text or paragraph longer than this is left as stored and to review: its
// layout as one paragraph takes some sixteen times its length, and no
// drawing holds one (only a damaged or a made-up file does).
inline constexpr std::size_t kLongestConvertedText = std::size_t(4) << 20;

// The new text for the font bytes of a legacy text; status Review when the
// system's True Type form does not load back into the editor's text.
NewText migrateText(std::string_view fontBytes, const TextForm& form, const hebrew::DisplayOrderer& surface);

// MTEXT contents: formatting codes kept, the text between them converted
// per paragraph. Each paragraph's new contents (its mark included) go to
// each as they are made, so that a long text's new contents need not be
// held (unchanged bytes where nothing changed). The status is the whole's;
// changed: whether any paragraph differs from the old.
struct MtextPieces {
    Status status = Status::Same;
    bool changed = false;
    bool tooLong = false;  // a paragraph was left for its length
};
bool migrateMtextPieces(std::string_view contents, const TextForm& form, const StringRules& rules,
                        const hebrew::DisplayOrderer& surface, MtextPieces& out,
                        const std::function<void(std::string_view)>& each);

// The font bytes of each paragraph of MTEXT contents that holds text, its
// formatting codes left out. False at invalid UTF-8.
bool mtextParagraphs(std::string_view contents, const StringRules& rules,
                     const std::function<void(std::string_view)>& each);

// Cuts MTEXT contents into chunks of at most maxBytes, never inside an
// escape, a formatting code or a UTF-8 sequence.
std::vector<std::string_view> cutMtextChunks(std::string_view contents, std::size_t maxBytes = 250);

}  // namespace vornmigrate
