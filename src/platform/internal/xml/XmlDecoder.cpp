#include "platform/internal/xml/XmlDecoder.h"

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/internal/text/Unicode.h"
#include "platform/internal/xml/XmlChecker.h"

namespace ZkXmlDecoder {

using ZkDiag::Capture;

bool FailMalformed(Capture* pCapture, const char* text, size_t size, size_t offset,
                   const char* reason)
{
    if (pCapture != nullptr) {
        pCapture->Fail(ZkOutcome::kMalformed, reason);
        pCapture->at = ZkLineCounter(text, size).At(offset);
    }
    return false;
}

void WarnReplaced(Capture* pCapture, ZkLineCounter& lines, size_t offset, unsigned long ch)
{
    if (pCapture == nullptr)
        return;
    ZkDiag::Warning w;
    w.kind = ZkDiag::WarningKind::kReplacedCharacter;
    w.at = lines.At(offset);
    w.nCharacter = ch;
    pCapture->Add(std::move(w));
}

namespace {

bool Undecodable(Capture* pCapture, const std::string& name)
{
    if (pCapture != nullptr) {
        pCapture->Fail(ZkOutcome::kUndecodableEncoding, "no decoder for the declared encoding");
        pCapture->strName = ZkDiag::WideFromUtf8(name);
    }
    return false;
}

// UTF-16 or UTF-32 (kWidth bytes a unit) to UTF-8. A lone UTF-16 surrogate
// becomes U+FFFD and a warning. A UTF-32 unit that is no character at all (a
// surrogate, or beyond U+10FFFF) is malformed: unlike a lone UTF-16
// surrogate, no older version ever wrote one.
template <size_t kWidth>
bool FromUnits(const ZkFileSystem::Bytes& raw, size_t begin, bool bBigEndian, DecodedText& text,
               Capture* pCapture)
{
    const auto* s = reinterpret_cast<const unsigned char*>(raw.data()) + begin;
    const size_t nUnits = (raw.size() - begin) / kWidth;
    auto unit = [s, bBigEndian](size_t k) {
        unsigned long v = 0;
        for (size_t b = 0; b < kWidth; ++b)
            v = (v << 8) | s[k * kWidth + (bBigEndian ? b : kWidth - 1 - b)];
        return v;
    };
    ZkFileSystem::Bytes& out = text.bytes;
    out.resize(nUnits * (kWidth == 2 ? 3 : 4));
    char* end = out.data();
    // Found before the lines are counted.
    std::vector<std::pair<size_t, unsigned long>> replaced;
    if (kWidth == 2) {
        end = ZkText::Utf16RunToUtf8(unit, nUnits, end, [&replaced](size_t at, unsigned long c) {
            replaced.emplace_back(at, c);
        });
    }
    for (size_t k = 0; kWidth == 4 && k < nUnits; ++k) {
        const unsigned long c = unit(k);
        if (c > 0x10FFFF || ZkText::IsSurrogate(c)) {
            out.resize(static_cast<size_t>(end - out.data()));
            return FailMalformed(pCapture, out.data(), out.size(), out.size(),
                                 "a UTF-32 unit that is no Unicode character");
        }
        end = ZkText::EncodeUtf8(end, c);
    }
    out.resize(static_cast<size_t>(end - out.data()));
    if (begin + nUnits * kWidth != raw.size())
        return FailMalformed(pCapture, out.data(), out.size(), out.size(),
                             kWidth == 2 ? "UTF-16 text ends in the middle of a character"
                                         : "UTF-32 text ends in the middle of a character");
    ZkLineCounter lines(out.data(), out.size());
    for (const auto& r : replaced)
        WarnReplaced(pCapture, lines, r.first, r.second);
    return true;
}

// The encoding name of a declaration at the very start, where the name
// stands and where the declaration ends; false when there is none or it
// names no encoding.
bool DeclaredEncoding(const char* p, size_t n, std::string& name, size_t& nNameAt, size_t& nDeclEnd)
{
    if (n < 6 || std::memcmp(p, "<?xml", 5) != 0 || !IsXmlSpace(p[5]))
        return false;
    const size_t limit = n < 1024 ? n : 1024;
    size_t end = 5;
    while (end + 1 < limit && !(p[end] == '?' && p[end + 1] == '>'))
        ++end;
    if (end + 1 >= limit)
        return false;
    nDeclEnd = end + 2;
    const std::string decl(p, end);
    size_t at = decl.find("encoding");
    if (at == std::string::npos)
        return false;
    at += 8;
    while (at < decl.size() && IsXmlSpace(decl[at]))
        ++at;
    if (at >= decl.size() || decl[at] != '=')
        return false;
    ++at;
    while (at < decl.size() && IsXmlSpace(decl[at]))
        ++at;
    if (at >= decl.size() || (decl[at] != '"' && decl[at] != '\''))
        return false;
    const size_t close = decl.find(decl[at], at + 1);
    if (close == std::string::npos)
        return false;
    name = decl.substr(at + 1, close - at - 1);
    nNameAt = at + 1;
    return true;
}

// Whether a declared encoding name names form (UTF-8, UTF-16LE, UTF-16BE,
// UTF-32LE or UTF-32BE), which the file's first bytes told.
bool NamesForm(const std::string& name, const char* form)
{
    if (SameEncodingName(name, form))
        return true;
    if (std::strcmp(form, "UTF-8") == 0)
        return SameEncodingName(name, "UTF8");
    const bool b16 = std::strncmp(form, "UTF-16", 6) == 0;
    for (const char* other : {"UTF-16", "UTF16", "UCS-2", "ISO-10646-UCS-2", "CSUNICODE"})
        if (b16 && SameEncodingName(name, other))
            return true;
    for (const char* other : {"UTF-32", "UTF32", "UCS-4", "ISO-10646-UCS-4", "CSUCS4"})
        if (!b16 && SameEncodingName(name, other))
            return true;
    return false;
}

// A file whose first bytes tell its encoding (a byte-order mark, or '<' in
// UTF-16 or UTF-32) and whose declaration names another: XML makes that an
// error. A byte-order mark is the word of the editor that last saved the file
// (Notepad's "Unicode" keeps a declaration of UTF-8), so the file is read by
// it, with a warning; the next Save writes a declaration that agrees. Told by
// the first character alone, the two disagree without a witness: refused.
bool DeclarationAgrees(const DecodedText& text, const char* form, bool bByteOrderMark,
                       Capture* pCapture)
{
    std::string name;
    size_t nNameAt = 0;
    size_t nDeclEnd = 0;
    if (!DeclaredEncoding(text.Data(), text.Size(), name, nNameAt, nDeclEnd) ||
        NamesForm(name, form))
        return true;
    if (bByteOrderMark) {
        if (pCapture != nullptr) {
            ZkDiag::Warning w;
            w.kind = ZkDiag::WarningKind::kEncodingByByteOrderMark;
            w.at = ZkLineCounter(text.Data(), text.Size()).At(nNameAt);
            w.strText = ZkDiag::WideFromUtf8(name);
            w.strProperty = ZkDiag::WideFromUtf8(form);
            pCapture->Add(std::move(w));
        }
        return true;
    }
    const std::string reason = "the declaration names the encoding \"" + name +
                               "\", but the file is " + form + " by its first character";
    return FailMalformed(pCapture, text.Data(), text.Size(), nNameAt, reason.c_str());
}

// XML's EncName: a letter, then letters, digits, '.', '_' and '-'.
bool IsEncName(const std::string& name)
{
    auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    if (name.empty() || !letter(name[0]))
        return false;
    for (const char c : name)
        if (!letter(c) && !(c >= '0' && c <= '9') && c != '.' && c != '_' && c != '-')
            return false;
    return true;
}

bool IsGbFamily(const std::string& name)
{
    for (const char* gb : {"GB2312", "GBK", "GB18030", "CP936", "MS936", "WINDOWS-936", "X-GBK",
                           "EUC-CN", "CSGB2312", "GB_2312-80"})
        if (SameEncodingName(name, gb))
            return true;
    return false;
}

bool IsUnicodeOtherThanUtf8(const std::string& name)
{
    std::string upper;
    for (char c : name)
        upper.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    return upper.compare(0, 6, "UTF-16") == 0 || upper.compare(0, 6, "UTF-32") == 0 ||
           upper.compare(0, 4, "UCS-") == 0 || upper.compare(0, 4, "UCS2") == 0 ||
           upper.compare(0, 4, "UCS4") == 0;
}

// Where the text first stops being valid UTF-8 of characters XML allows raw,
// and why.
void FindInvalid(DecodedText& text)
{
    ZkText::Utf8Fault fault = ZkText::Utf8Fault::kNone;
    text.nInvalid = ZkText::ValidXmlUtf8(text.Data(), text.Size(), fault);
    text.pszInvalid = fault == ZkText::Utf8Fault::kInvalid     ? "invalid UTF-8"
                      : fault == ZkText::Utf8Fault::kForbidden ? "a character XML does not allow"
                                                               : nullptr;
}

}  // namespace

bool SameEncodingName(const std::string& name, const char* upper)
{
    size_t i = 0;
    for (; i < name.size() && upper[i] != 0; ++i) {
        char c = name[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i])
            return false;
    }
    return i == name.size() && upper[i] == 0;
}

bool Decode(ZkFileSystem::Bytes&& raw, DecodedText& text, Capture* pCapture)
{
    const auto* b = reinterpret_cast<const unsigned char*>(raw.data());
    const size_t n = raw.size();
    text.nBegin = 0;
    text.bMarkupInText = false;
    text.bWhiteSpaceValues = false;
    // The Unicode encoding the first bytes tell, if they tell one. FF FE 00
    // 00 is UTF-32 and not UTF-16 with a NUL, which XML does not allow.
    const char* pszForm = nullptr;
    bool bByteOrderMark = true;
    auto zero = [&](size_t i) { return b[i] == 0; };
    if (n >= 4 && zero(0) && zero(1) &&
        ((b[2] == 0xFE && b[3] == 0xFF) || (zero(2) && b[3] == '<'))) {
        pszForm = "UTF-32BE";
        bByteOrderMark = b[3] == 0xFF;
        if (!FromUnits<4>(raw, bByteOrderMark ? 4 : 0, true, text, pCapture))
            return false;
    } else if (n >= 4 && zero(2) && zero(3) &&
               ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == '<' && zero(1)))) {
        pszForm = "UTF-32LE";
        bByteOrderMark = b[0] == 0xFF;
        if (!FromUnits<4>(raw, bByteOrderMark ? 4 : 0, false, text, pCapture))
            return false;
    } else if (n >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        pszForm = b[0] == 0xFE ? "UTF-16BE" : "UTF-16LE";
        if (!FromUnits<2>(raw, 2, b[0] == 0xFE, text, pCapture))
            return false;
    } else if (n >= 2 && ((b[0] == '<' && b[1] == 0) || (b[0] == 0 && b[1] == '<'))) {
        pszForm = b[0] == 0 ? "UTF-16BE" : "UTF-16LE";
        bByteOrderMark = false;
        if (!FromUnits<2>(raw, 0, b[0] == 0, text, pCapture))
            return false;
    } else if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        pszForm = "UTF-8";
        text.bytes = std::move(raw);
        text.nBegin = 3;
    } else {
        std::string name;
        size_t nNameAt = 0;
        size_t nDeclEnd = 0;
        if (!DeclaredEncoding(raw.data(), n, name, nNameAt, nDeclEnd) ||
            SameEncodingName(name, "UTF-8") || SameEncodingName(name, "UTF8")) {
            text.bytes = std::move(raw);
        } else {
            if (!IsEncName(name) || IsUnicodeOtherThanUtf8(name))
                return Undecodable(pCapture, name);
            ZkFileSystem::Bytes out;
            size_t nBad = 0;
            const DecodeResult r =
                DecodeToUtf8(IsGbFamily(name) ? "GB18030" : name, raw.data(), n, out, nBad);
            if (r == DecodeResult::kUnknownEncoding)
                return Undecodable(pCapture, name);
            if (r == DecodeResult::kInvalidBytes)
                return FailMalformed(pCapture, out.data(), out.size(), out.size(),
                                     ("bytes that are not " + name).c_str());
            // A decoder that is not ASCII-compatible would not give the
            // declaration back: its text would be garbage.
            if (out.size() < nDeclEnd || std::memcmp(out.data(), raw.data(), nDeclEnd) != 0)
                return Undecodable(pCapture, name);
            text.bytes = std::move(out);
        }
    }
    text.bytes.push_back('\0');
    if (pszForm != nullptr && !DeclarationAgrees(text, pszForm, bByteOrderMark, pCapture))
        return false;
    FindInvalid(text);
    return true;
}

bool StartsDeclaration(const char* p, size_t n)
{
    return n >= 6 && std::memcmp(p, "<?xml", 5) == 0 && IsXmlSpace(p[5]);
}

size_t DeclarationEnd(const char* p, size_t n, size_t& nError, const char*& pszReason)
{
    size_t i = 5;
    auto fail = [&](size_t at, const char* reason) -> size_t {
        nError = at;
        pszReason = reason;
        return 0;
    };
    auto space = [&]() {
        const size_t from = i;
        while (i < n && IsXmlSpace(p[i]))
            ++i;
        return i > from;
    };
    auto word = [&](const char* w) {
        const size_t len = std::strlen(w);
        return n - i >= len && std::memcmp(p + i, w, len) == 0;
    };
    // name="value" at i, where name is known to stand; the value's bounds.
    size_t nValue = 0;
    size_t nValueEnd = 0;
    auto pair = [&](size_t nName) -> const char* {
        i += nName;
        space();
        if (i >= n || p[i] != '=')
            return "'=' expected in the XML declaration";
        ++i;
        space();
        if (i >= n || (p[i] != '"' && p[i] != '\''))
            return "a value in quotes expected in the XML declaration";
        const char quote = p[i];
        nValue = ++i;
        while (i < n && p[i] != quote && p[i] != '?' && p[i] != '>' && p[i] != '"' && p[i] != '\'')
            ++i;
        if (i >= n || p[i] != quote)
            return "a value in the XML declaration not closed by the quote that opens it";
        nValueEnd = i++;
        return nullptr;
    };
    auto is = [&](const char* value) {
        return nValueEnd - nValue == std::strlen(value) &&
               std::memcmp(p + nValue, value, nValueEnd - nValue) == 0;
    };
    bool bSpace = space();
    if (!word("version"))
        return fail(i, "the XML declaration begins with version");
    if (const char* reason = pair(7))
        return fail(i, reason);
    bool bVersion = nValueEnd - nValue >= 3 && p[nValue] == '1' && p[nValue + 1] == '.';
    for (size_t k = nValue + 2; bVersion && k < nValueEnd; ++k)
        bVersion = p[k] >= '0' && p[k] <= '9';
    if (!bVersion)
        return fail(nValue, "the XML declaration's version is not 1.0 (\"1.\" and digits)");
    bSpace = space();
    if (bSpace && word("encoding")) {
        if (const char* reason = pair(8))
            return fail(i, reason);
        if (!IsEncName(std::string(p + nValue, nValueEnd - nValue)))
            return fail(nValue, "not an encoding name in the XML declaration");
        bSpace = space();
    }
    if (bSpace && word("standalone")) {
        if (const char* reason = pair(10))
            return fail(i, reason);
        if (!is("yes") && !is("no"))
            return fail(nValue, "standalone is \"yes\" or \"no\" in the XML declaration");
        space();
    }
    if (n - i >= 2 && p[i] == '?' && p[i + 1] == '>')
        return i + 2;
    if (word("version") || word("encoding") || word("standalone"))
        return fail(i, bSpace ? "the XML declaration holds version, encoding and standalone in "
                                "this order, each once"
                              : "white space expected in the XML declaration");
    return fail(i,
                "\"?>\" expected to end the XML declaration, which holds only version, "
                "encoding and standalone");
}

}  // namespace ZkXmlDecoder
