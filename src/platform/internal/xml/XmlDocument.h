#pragma once

// The document a writing property exchange holds (not exported): sections in
// memory, so that callers may write into any section in any order, put out
// in document order through the streaming Writer when saved, which gives the
// bytes the stream gives for the same document.
//
// Sections are numbered from 0 (the root) in the order they were added; a
// number stays valid while the document grows. A section removed by emptying
// an ancestor stays numbered but is no longer live: nothing is written into
// it. Each section holds its properties, each once, and an ordered content
// of child sections and properties in element form.

#include <cstddef>
#include <string>
#include <vector>

#include "platform/internal/report/Diagnostics.h"

namespace ZkXmlWriter {

class Document {
public:
    static constexpr size_t kNone = static_cast<size_t>(-1);

    // A document of its root section alone; rootName is UTF-8.
    explicit Document(std::string rootName);

    // Nothing has been written into the root yet.
    bool IsEmpty() const;
    bool IsLive(size_t nSection) const;
    size_t Parent(size_t nSection) const;

    // The first child section of that name (UTF-8), added when there is none
    // or when bNew; kNone when the section is not live.
    size_t Child(size_t nSection, const char* name, size_t len, bool bNew);
    // A property as an attribute or as an element holding the value as text.
    // A property of the same name already there takes the new value in its
    // place; written in the other form, it moves to the end in the new one.
    // False when the section is not live. Text is UTF-16 units; ascii is plain
    // ASCII that needs no escaping.
    bool Property(size_t nSection, bool bAttribute, const wchar_t* pszName, const wchar_t* text,
                  size_t n);
    bool PropertyAscii(size_t nSection, bool bAttribute, const wchar_t* pszName, const char* ascii,
                       size_t n);
    // Removes every property and child section of the section.
    void Empty(size_t nSection);

    // Writes the document in document order over the file at path; false,
    // with the reason in the capture, when it could not. A property in
    // element form that has the name of a child section of its section goes
    // out as an attribute: reading looks for an attribute first, and finds a
    // section only among the elements.
    bool Save(const wchar_t* path, ZkDiag::Capture* pCapture);

private:
    struct Prop {
        std::string key;    // the name as it is written (UTF-8)
        std::wstring name;  // as the caller gave it
        std::wstring text;
        std::string ascii;
        bool bAscii = false;
        bool bAttribute = false;
        bool bLive = true;             // false once written again in the other form
        bool bOutAsAttribute = false;  // Save's choice
    };
    struct Entry {
        size_t nIndex;  // into the section's properties, or a section
        bool bProperty;
    };
    struct Section {
        std::string name;
        size_t nParent = kNone;
        bool bLive = true;
        std::vector<Prop> properties;
        std::vector<Entry> content;
    };

    // The property to write, emptied, in the given form.
    Prop* Place(size_t nSection, bool bAttribute, const wchar_t* pszName, bool bAscii);

    std::vector<Section> m_sections;
};

}  // namespace ZkXmlWriter
