#pragma once

// A library file's bytes made into UTF-8 text that the XML parser reads in
// place (not exported). What XML 1.0 asks of the bytes is checked here before
// parsing: the encoding (byte-order mark, UTF-16 or UTF-32 by its first
// characters, or the one the declaration names), valid sequences of it, and
// only characters that XML allows. Decode (XmlDecoder.cpp) decodes and finds
// where the text first breaks; CheckWellFormed (XmlChecker.cpp), which the
// pugixml read needs and the simple markup read does not, follows XML's
// grammar of a whole document. A character reference to a
// character XML forbids (older versions wrote &#1; for control characters)
// is rewritten in place to read as U+0001, which the value decoding turns
// into U+FFFD; each is recorded as a warning, and so is a '&' that begins no
// reference, which reads as itself.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/internal/files/FileSystem.h"
#include "platform/internal/report/Diagnostics.h"

namespace ZkXmlDecoder {

// XML's white space: space, TAB, LF and CR.
inline bool IsXmlSpace(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u <= ' ' && ((uint64_t{1} << u) &
                        ((uint64_t{1} << ' ') | (1u << '\t') | (1u << '\n') | (1u << '\r'))) != 0;
}

struct DecodedText {
    // The text, from nBegin, then a NUL that readers may look at for the end.
    ZkFileSystem::Bytes bytes;
    size_t nBegin = 0;
    // Comments, CDATA sections or processing instructions after the
    // declaration: white space between them is part of a value.
    bool bMarkupInText = false;
    // An element holding nothing but white space, which is its value.
    bool bWhiteSpaceValues = false;
    // Where the name of the first attribute that repeats one of its
    // element's stands (npos: none), known when bAttributesChecked; a
    // DOCTYPE leaves it to the parsed document.
    size_t nDuplicateAttribute = std::string::npos;
    bool bAttributesChecked = false;
    // Where the text first stops being valid UTF-8 of characters XML allows
    // raw (Size(): nowhere), and why.
    size_t nInvalid = 0;
    const char* pszInvalid = nullptr;

    // A text not yet decoded is empty, and still ends in a NUL.
    char* Data() { return bytes.empty() ? m_none : bytes.data() + nBegin; }
    const char* Data() const { return bytes.empty() ? m_none : bytes.data() + nBegin; }
    size_t Size() const { return bytes.empty() ? 0 : bytes.size() - 1 - nBegin; }
    // Where p lies in the text, for placing a warning or an error; -1 when
    // it lies elsewhere.
    size_t OffsetOf(const char* p) const
    {
        return p >= Data() && p < Data() + Size() ? static_cast<size_t>(p - Data())
                                                  : static_cast<size_t>(-1);
    }

private:
    char m_none[1] = {};
};

// Decodes raw (taken over) and finds where it stops being valid. False when
// it cannot be decoded: the capture, when given, says why and where, and
// receives the warnings.
bool Decode(ZkFileSystem::Bytes&& raw, DecodedText& text, ZkDiag::Capture* pCapture);

// Follows the markup of decoded text and notes what the pugixml read needs.
// False when the text is malformed; the capture says why and where, and
// receives the warnings.
bool CheckWellFormed(DecodedText& text, ZkDiag::Capture* pCapture);

// Whether p starts with an XML declaration: "<?xml" and white space.
bool StartsDeclaration(const char* p, size_t n);

// Where the XML declaration that starts p ends, just past its "?>"; 0 when
// it breaks XML's rule for it (version, then encoding and standalone, each
// in its form), with where and why.
size_t DeclarationEnd(const char* p, size_t n, size_t& nError, const char*& pszReason);

// A character reference "&#digits;" or "&#xhex;" whose '&' is at p[i] and
// '#' after it: its number, at most 0x110000, which stands for any larger,
// and where its digits start and end (at the ';'). False when no digits end
// in a ';': it is no reference then, and stays text.
struct Reference {
    size_t nFirst = 0;
    size_t nEnd = 0;
    unsigned long nValue = 0;
};
bool ReadReference(const char* p, size_t n, size_t i, Reference& r);

// Whether XML forbids the character even written as a reference.
bool ForbiddenCharacter(unsigned long v);

// Whether name is upper (upper case) but for letter case.
bool SameEncodingName(const std::string& name, const char* upper);

// The operating system's decoders (XmlDecoder_posix.cpp, XmlDecoder_windows.cpp).
enum class DecodeResult { kOk, kUnknownEncoding, kInvalidBytes };
// Appends [p, p + n) decoded from the named encoding to out as UTF-8. On
// invalid bytes out holds what came before them and nBadOffset is where they
// start.
DecodeResult DecodeToUtf8(const std::string& strEncoding, const char* p, size_t n,
                          ZkFileSystem::Bytes& out, size_t& nBadOffset);

}  // namespace ZkXmlDecoder
