// XML 1.0's well-formedness checker, which the pugixml read needs.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/internal/xml/XmlChecker.h"
#include "platform/internal/xml/XmlDecoder.h"

namespace ZkXmlDecoder {

namespace {

using ZkDiag::Capture;

// XML 1.0's grammar of a document over [0, nInvalid) of the text, and its
// well-formedness constraints but the legal characters (FirstInvalid's):
// what is refused fails with where and why. What the parse needs to know is
// noted on the way, and the first duplicated attribute. A reference to a
// character XML forbids is rewritten to &#1; and reported; a '&' that begins
// no reference is reported and left to read as itself.
class DocumentGrammar {
public:
    DocumentGrammar(DecodedText& text, Capture* pCapture)
        : m_text(text),
          m_p(text.Data()),
          m_n(text.nInvalid),
          m_pCapture(pCapture),
          m_lines(m_p, text.Size())
    {
        m_text.nDuplicateAttribute = std::string::npos;
        m_text.bAttributesChecked = true;
    }

    bool Follow()
    {
        size_t i = 0;
        if (StartsDeclaration(m_p, m_n)) {
            size_t nError = 0;
            const char* pszReason = nullptr;
            i = DeclarationEnd(m_p, m_n, nError, pszReason);
            if (i == 0)
                return Fail(nError, pszReason);
        }
        // White space, comments, PIs and one DOCTYPE, then the root.
        for (;;) {
            i = Space(i);
            if (At(i) != '<')
                return Fail(i, i >= m_n ? "no root element" : "text before the root element");
            if (At(i + 1) == '?' || Starts(i, "<!--")) {
                if (!(At(i + 1) == '?' ? Pi(i, true) : Comment(i, true)))
                    return false;
            } else if (Starts(i, "<!DOCTYPE")) {
                if (m_bDoctype)
                    return Fail(i, "a second DOCTYPE");
                if (!Doctype(i))
                    return false;
            } else if (At(i + 1) == '!') {
                return Fail(i, "a declaration or CDATA section where the root element belongs");
            } else if (At(i + 1) == '/') {
                return Fail(i, "an end tag before the root element's start tag");
            } else {
                break;
            }
        }
        if (!Element(i))
            return false;
        // After the root: white space, comments and PIs.
        for (;;) {
            i = Space(i);
            if (i >= m_n)
                break;
            if (Starts(i, "<!--") || (At(i + 1) == '?' && At(i) == '<')) {
                if (!(At(i + 1) == '?' ? Pi(i, true) : Comment(i, true)))
                    return false;
                continue;
            }
            if (At(i) == '<' && NameEnd(i + 1) > i + 1)
                return Fail(i + 1, "more than one root element");
            return Fail(i, At(i) == '&'             ? "a reference after the root element"
                           : Starts(i, "<![CDATA[") ? "a CDATA section after the root element"
                           : At(i) == '<'           ? "markup after the root element"
                                                    : "text after the root element");
        }
        return i == m_text.Size() || Fail(i, nullptr);
    }

private:
    struct Name {
        size_t nAt;
        size_t nSize;
    };

    // Any byte up to the first invalid one, then NUL.
    char At(size_t i) const { return i < m_n ? m_p[i] : '\0'; }

    template <size_t N>
    bool Starts(size_t i, const char (&s)[N]) const
    {
        return i <= m_n && m_n - i >= N - 1 && std::memcmp(m_p + i, s, N - 1) == 0;
    }

    size_t Space(size_t i) const
    {
        while (IsXmlSpace(At(i)))
            ++i;
        return i;
    }

    // Where the name that starts at i ends; i when none starts there.
    size_t NameEnd(size_t i) const
    {
        size_t len = i < m_n ? NameCharAt(m_p + i, m_n - i, true) : 0;
        if (len == 0)
            return i;
        for (i += len; i < m_n && (len = NameCharAt(m_p + i, m_n - i, false)) != 0;)
            i += len;
        return i;
    }

    // Why no name starts at i, where one must.
    std::string NoName(size_t i, const char* what) const
    {
        return NoNameReason(m_p + i, i < m_n ? m_n - i : 0, what);
    }

    std::string NameText(const Name& name) const { return std::string(m_p + name.nAt, name.nSize); }

    // The file breaks XML's rules at offset; where the text ran out before
    // its first invalid byte, that byte is why.
    bool Fail(size_t offset, const char* reason)
    {
        if (offset >= m_n && m_n < m_text.Size())
            return FailMalformed(m_pCapture, m_p, m_text.Size(), m_n, m_text.pszInvalid);
        return FailMalformed(m_pCapture, m_p, m_text.Size(), offset,
                             reason != nullptr ? reason : "the file ends too early");
    }

    bool Fail(size_t offset, const std::string& reason) { return Fail(offset, reason.c_str()); }

    // Just past the first close (nClose bytes, the first of them c) from
    // from on; npos when the text ends first.
    size_t EndOf(size_t from, char c, const char* close, size_t nClose) const
    {
        for (size_t j = from; j < m_n; ++j) {
            j += FindAny(m_p + j, m_n - j, c, c, c);
            if (j + nClose <= m_n && std::memcmp(m_p + j, close, nClose) == 0)
                return j + nClose;
        }
        return std::string::npos;
    }

    // "<!--" at i; '--' must not stand within.
    bool Comment(size_t& i, bool bNote)
    {
        for (size_t j = i + 4;; ++j) {
            j += FindAny(m_p + j, m_n - j, '-', '-', '-');
            if (j >= m_n)
                return Fail(j, "the file ends inside a comment");
            if (At(j + 1) == '-') {
                if (At(j + 2) != '>')
                    return Fail(j, "\"--\" inside a comment");
                Note(i, bNote);
                i = j + 3;
                return true;
            }
        }
    }

    // "<?" at i: a target, not "xml" in any letter case, then what ends
    // with "?>".
    bool Pi(size_t& i, bool bNote)
    {
        const size_t e = NameEnd(i + 2);
        if (e == i + 2)
            return Fail(i + 2, i + 2 >= m_n ? "the file ends inside a processing instruction"
                                            : "a processing instruction without a target name");
        if (e - i - 2 == 3 && IsXmlInAnyCase(m_p + i + 2))
            return Fail(i, std::memcmp(m_p + i + 2, "xml", 3) == 0 && IsXmlSpace(At(e))
                               ? "an XML declaration that is not at the start of the file"
                               : "a processing instruction named \"xml\", which XML reserves");
        if (!IsXmlSpace(At(e)) && !(At(e) == '?' && At(e + 1) == '>'))
            return Fail(e, e >= m_n ? "the file ends inside a processing instruction"
                                    : "white space or \"?>\" expected after the processing "
                                      "instruction's target");
        const size_t end = EndOf(e, '?', "?>", 2);
        if (end == std::string::npos)
            return Fail(m_n, "the file ends inside a processing instruction");
        Note(i, bNote);
        i = end;
        return true;
    }

    // "<![CDATA[" at i.
    bool CData(size_t& i)
    {
        const size_t end = EndOf(i + 9, ']', "]]>", 3);
        if (end == std::string::npos)
            return Fail(m_n, "the file ends inside a CDATA section");
        Note(i, true);
        i = end;
        return true;
    }

    // Comments, CDATA sections and PIs after the declaration: white space
    // between them is part of a value.
    void Note(size_t i, bool bNote)
    {
        m_text.bMarkupInText = m_text.bMarkupInText || (bNote && i > 0);
    }

    // A quoted literal at i, skipped.
    bool Literal(size_t& i)
    {
        const char quote = At(i);
        if (quote != '"' && quote != '\'')
            return Fail(i, "a quoted literal expected in the DOCTYPE");
        const size_t end = EndOf(i + 1, quote, &quote, 1);
        if (end == std::string::npos)
            return Fail(m_n, "the file ends inside a quoted literal");
        i = end;
        return true;
    }

    // "<!DOCTYPE" at i: its name, external identifier and internal subset
    // are skipped as XML delimits them; nothing is declared or fetched.
    bool Doctype(size_t& i)
    {
        m_bDoctype = true;
        m_text.bAttributesChecked = false;
        size_t j = i + 9;
        if (!IsXmlSpace(At(j)))
            return Fail(j, "white space expected after \"<!DOCTYPE\"");
        j = Space(j);
        const size_t e = NameEnd(j);
        if (e == j)
            return Fail(j, "a name expected in the DOCTYPE");
        j = Space(e);
        const bool bSystem = Starts(j, "SYSTEM");
        if (bSystem || Starts(j, "PUBLIC")) {
            j += 6;
            for (int k = bSystem ? 1 : 2; k > 0; --k) {
                const size_t s = j;
                j = Space(j);
                if (j == s)
                    return Fail(j, "white space expected in the DOCTYPE's external identifier");
                if (!Literal(j))
                    return false;
            }
            j = Space(j);
        }
        if (At(j) == '[') {
            for (j = Space(j + 1); At(j) != ']'; j = Space(j)) {
                if (Starts(j, "<!--")) {
                    if (!Comment(j, false))
                        return false;
                } else if (Starts(j, "<?")) {
                    if (!Pi(j, false))
                        return false;
                } else if (At(j) == '%') {
                    const size_t pe = NameEnd(j + 1);
                    if (pe == j + 1 || At(pe) != ';')
                        return Fail(j, "a parameter-entity reference is \"%name;\"");
                    j = pe + 1;
                } else if (Starts(j, "<!")) {
                    // A markup declaration: to its '>', quoted literals and all.
                    for (j += 2; At(j) != '>';) {
                        if (At(j) == '"' || At(j) == '\'') {
                            if (!Literal(j))
                                return false;
                        } else if (j >= m_n) {
                            return Fail(j, "the file ends inside the DOCTYPE");
                        } else {
                            ++j;
                        }
                    }
                    ++j;
                } else {
                    return Fail(j, j >= m_n ? "the file ends inside the DOCTYPE"
                                            : "not a declaration in the DOCTYPE's internal subset");
                }
            }
            j = Space(j + 1);
        }
        if (At(j) != '>')
            return Fail(j, "'>' expected to end the DOCTYPE");
        i = j + 1;
        return true;
    }

    // A '&' at i, in an attribute value (bAttribute) or in text: a
    // reference, or a '&' that stands for itself.
    bool Reference(size_t& i, bool bAttribute)
    {
        if (At(i + 1) == '#') {
            ZkXmlDecoder::Reference r;
            if (!ReadReference(m_p, m_n, i, r))
                return Fail(i,
                            "a character reference is \"&#\" and decimal digits or \"&#x\" "
                            "and hexadecimal digits, then \";\"");
            if (ForbiddenCharacter(r.nValue)) {
                // Rewritten to stand for U+0001, which values read as U+FFFD.
                WarnReplaced(m_pCapture, m_lines, i, r.nValue);
                for (size_t k = r.nFirst; k < r.nEnd; ++k)
                    m_p[k] = k + 1 == r.nEnd ? '1' : '0';
            }
            i = r.nEnd + 1;
            return true;
        }
        const size_t e = NameEnd(i + 1);
        if (e > i + 1 && At(e) == ';') {
            static const char* const kPredefined[] = {"amp", "lt", "gt", "quot", "apos"};
            for (const char* name : kPredefined)
                if (e - i - 1 == std::strlen(name) &&
                    std::memcmp(m_p + i + 1, name, e - i - 1) == 0) {
                    i = e + 1;
                    return true;
                }
            const std::string ref(m_p + i, e + 1 - i);
            return Fail(i, m_bDoctype ? "a reference to the entity " + ref +
                                            ", which this reader does not expand"
                                      : "a reference to the undeclared entity " + ref +
                                            " (without a DOCTYPE only &amp; &lt; &gt; &quot; "
                                            "&apos; exist)");
        }
        if (m_pCapture != nullptr) {
            ZkDiag::Warning w;
            w.kind = ZkDiag::WarningKind::kAmpersandAsText;
            w.at = m_lines.At(i);
            w.strText = ZkDiag::WideFromUtf8(std::string(m_p + i, e - i));
            const Name property = bAttribute       ? m_attribute
                                  : m_open.empty() ? Name{0, 0}
                                                   : m_open.back();
            const Name section = bAttribute          ? m_open.back()
                                 : m_open.size() > 1 ? m_open[m_open.size() - 2]
                                                     : Name{0, 0};
            w.strSection = ZkDiag::WideFromUtf8(NameText(section));
            w.strProperty = ZkDiag::WideFromUtf8(NameText(property));
            m_pCapture->Add(std::move(w));
        }
        i = e;
        return true;
    }

    // A start tag at i (a '<' and a name); bEmpty when it ends with "/>".
    // Its name is pushed on m_open while its attributes are read.
    bool StartTag(size_t& i, bool& bEmpty)
    {
        const size_t e = NameEnd(i + 1);
        if (e == i + 1)
            return Fail(i + 1, NoName(i + 1,
                                      "a '<' that begins no tag (the character is "
                                      "written \"&lt;\")"));
        m_open.push_back(Name{i + 1, e - i - 1});
        m_names.clear();
        for (size_t j = e;;) {
            const size_t k = Space(j);
            const char c = At(k);
            if (c == '>' || (c == '/' && At(k + 1) == '>')) {
                bEmpty = c == '/';
                i = k + (bEmpty ? 2 : 1);
                break;
            }
            if (c == '/')
                return Fail(k + 1, "'>' expected after '/'");
            const size_t ne = NameEnd(k);
            if (ne == k)
                return Fail(k, k >= m_n ? "the file ends inside a tag"
                                        : NoName(k,
                                                 "an attribute, '>' or \"/>\" expected in the "
                                                 "tag"));
            if (k == j)
                return Fail(k, "white space expected before the attribute");
            size_t q = Space(ne);
            if (At(q) != '=')
                return Fail(q, "'=' expected after the attribute's name");
            q = Space(q + 1);
            const char quote = At(q);
            if (quote != '"' && quote != '\'')
                return Fail(q, "the attribute's value expected, in quotes");
            m_attribute = Name{k, ne - k};
            m_names.push_back(ne);
            for (j = q + 1;;) {
                j += FindAny(m_p + j, m_n - j, quote, '<', '&');
                if (j >= m_n)
                    return Fail(j, "the file ends inside an attribute value");
                if (m_p[j] == quote)
                    break;
                if (m_p[j] == '<')
                    return Fail(j, "'<' in an attribute value");
                if (!Reference(j, true))
                    return false;
            }
            ++j;
        }
        if (m_names.size() > 1 && m_text.nDuplicateAttribute == std::string::npos)
            m_text.nDuplicateAttribute = DuplicateAttribute(m_p, m_open.back().nAt, m_names);
        if (bEmpty)
            m_open.pop_back();
        return true;
    }

    // The element whose start tag is at i, and all within it; i ends past
    // its end.
    bool Element(size_t& i)
    {
        m_open.clear();
        for (;;) {
            bool bEmpty = false;
            if (!StartTag(i, bEmpty))
                return false;
            if (m_open.empty())
                return true;
            size_t nStartTagEnd = bEmpty ? 0 : i;
            // Content up to the next start tag.
            for (;;) {
                // DecodedText, "]]>" excluded.
                for (;; ++i) {
                    i += FindAny(m_p + i, m_n - i, '<', '&', ']');
                    if (At(i) != ']')
                        break;
                    if (At(i + 1) == ']' && At(i + 2) == '>')
                        return Fail(i, "\"]]>\" in text (written \"]]&gt;\" there)");
                }
                if (At(i) == '&') {
                    if (!Reference(i, false))
                        return false;
                    continue;
                }
                if (At(i) != '<')
                    return Fail(
                        i, "the file ends before the end tag of <" + NameText(m_open.back()) + ">");
                const size_t since = nStartTagEnd;
                nStartTagEnd = 0;
                if (At(i + 1) == '/') {
                    if (since != 0 && since < i) {
                        size_t k = since;
                        while (k < i && IsXmlSpace(m_p[k]))
                            ++k;
                        m_text.bWhiteSpaceValues = m_text.bWhiteSpaceValues || k == i;
                    }
                    if (!EndTag(i))
                        return false;
                    if (m_open.empty())
                        return true;
                } else if (Starts(i, "<!--")) {
                    if (!Comment(i, true))
                        return false;
                } else if (Starts(i, "<![CDATA[")) {
                    if (!CData(i))
                        return false;
                } else if (At(i + 1) == '?') {
                    if (!Pi(i, true))
                        return false;
                } else if (At(i + 1) == '!') {
                    return Fail(i, "a declaration inside an element");
                } else {
                    break;
                }
            }
        }
    }

    // "</" at i, which must close the innermost open element.
    bool EndTag(size_t& i)
    {
        const Name& open = m_open.back();
        const size_t e = NameEnd(i + 2);
        if (e - i - 2 != open.nSize || std::memcmp(m_p + i + 2, m_p + open.nAt, open.nSize) != 0)
            return Fail(i, e >= m_n ? "the file ends inside an end tag"
                                    : "the end tag </" + std::string(m_p + i + 2, e - i - 2) +
                                          "> does not close <" + NameText(open) + ">");
        const size_t j = Space(e);
        if (At(j) != '>')
            return Fail(j, "'>' expected to end the end tag");
        m_open.pop_back();
        i = j + 1;
        return true;
    }

    DecodedText& m_text;
    char* const m_p;
    const size_t m_n;
    Capture* const m_pCapture;
    ZkLineCounter m_lines;
    bool m_bDoctype = false;
    std::vector<Name> m_open;     // the open elements' names, the innermost last
    Name m_attribute{0, 0};       // the name of the attribute being read
    std::vector<size_t> m_names;  // where the names of the tag's attributes end
};

}  // namespace

bool CheckWellFormed(DecodedText& text, Capture* pCapture)
{
    return DocumentGrammar(text, pCapture).Follow();
}

}  // namespace ZkXmlDecoder
