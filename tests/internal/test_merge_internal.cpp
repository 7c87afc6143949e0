// White-box tests of the three-way merge of record lists, on node details:
// base, ours and theirs in, the list written and the notes out.

#include <algorithm>
#include <sstream>

#include "TestUtil.h"
#include "nodedetail/internal/NodeDetailMerge.h"

namespace {

// "G:name:description" records separated by spaces; the GUID may be empty
// (":name"), the description left out.
std::vector<NodeDetailResData> Records(const std::string& text)
{
    std::vector<NodeDetailResData> out;
    std::istringstream in(text);
    std::string token;
    while (in >> token) {
        std::vector<std::string> part(3);
        size_t i = 0;
        for (const char c : token)
            if (c == ':' && i < 2)
                ++i;
            else
                part[i] += c;
        NodeDetailResData r;
        r.SetGuid(std::wstring(part[0].begin(), part[0].end()).c_str());
        r.SetDisplayName(std::wstring(part[1].begin(), part[1].end()).c_str());
        r.SetDescription(std::wstring(part[2].begin(), part[2].end()).c_str());
        out.push_back(r);
    }
    return out;
}

std::string Text(const std::vector<NodeDetailResData>& records)
{
    std::string out;
    for (const NodeDetailResData& r : records) {
        out += (out.empty() ? "" : " ") + zktest::Ascii(r.GetGuid()) + ":" +
               zktest::Ascii(r.GetDisplayName());
        if (!r.GetDescription().IsEmpty())
            out += ":" + zktest::Ascii(r.GetDescription());
    }
    return out;
}

// The notes as "kind name[.field]", sorted.
std::string Notes(const ZkDiag::Capture& capture)
{
    static const char* const kKinds[] = {"added",     "deleted",    "changed", "conflict",
                                         "kept-here", "kept-there", "renamed", "order"};
    std::vector<std::string> notes;
    for (const ZkDiag::MergeNote& m : capture.merges) {
        std::string note = kKinds[static_cast<int>(m.kind)];
        if (!m.strName.empty())
            note += " " + std::string(m.strName.begin(), m.strName.end());
        if (!m.strField.empty())
            note += "." + std::string(m.strField.begin(), m.strField.end());
        notes.push_back(note);
    }
    std::sort(notes.begin(), notes.end());
    std::string out;
    for (const std::string& n : notes)
        out += (out.empty() ? "" : ", ") + n;
    return out;
}

using List = std::vector<NodeDetailResData>;

// What a save of ours writes over theirs, ours last loaded or saved as base
// (with the snapshot and origin a merge kept, where given); the notes go to
// capture, where each of ours went to origin.
List Merge(ZkDiag::Capture& capture, ZkRecords::Origin& origin, const List& base, const List& ours,
           const List& theirs, const List* pSnapshot = nullptr,
           const ZkRecords::Origin* pSnapshotOrigin = nullptr)
{
    capture.Reset();
    ZkRecords::Scope scope;
    scope.pCapture = &capture;
    List result;
    ZkRecords::MergeLists<ZkNodeDetailMerge>(scope, pSnapshot, pSnapshotOrigin, base, ours, theirs,
                                             result, origin);
    return result;
}

struct MergeCase {
    std::string what, base, ours, theirs, result, notes;
};

// One case a line, its six fields separated by '|'.
std::vector<MergeCase> MergeCases(const std::string& table)
{
    std::vector<MergeCase> out;
    std::istringstream lines(table);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty())
            continue;
        std::vector<std::string> field;
        std::istringstream in(line);
        for (std::string f; std::getline(in, f, '|');) {
            const size_t first = f.find_first_not_of(' ');
            field.push_back(first == std::string::npos
                                ? std::string()
                                : f.substr(first, f.find_last_not_of(' ') + 1 - first));
        }
        field.resize(6);
        out.push_back({field[0], field[1], field[2], field[3], field[4], field[5]});
    }
    return out;
}

}  // namespace

TEST(RecordMergeTest, ThreeWayMergeOfNodeDetails)
{
    // what | base | ours | theirs | the list written | the notes
    const std::vector<MergeCase> cases = MergeCases(R"(
additions on both sides, each next to its neighbour | A:a B:b | A:a N:n B:b | A:a B:b M:m | A:a N:n B:b M:m | added m
a deletion here, an addition there | A:a B:b | A:a | A:a B:b C:c | A:a C:c | added c
a deletion there | A:a B:b | A:a B:b | A:a | A:a | deleted b
one field changed on both sides: ours | A:a:x | A:a1:x | A:a2:x | A:a1:x | conflict a2.DisplayName
different fields changed | A:a:x | A:a1:x | A:a:y | A:a1:y | changed a.Description
changed here, deleted there: kept | A:a:x B:b | A:a:z B:b | B:b | A:a:z B:b | kept-here a
deleted here, changed there: kept | A:a:x B:b | B:b | A:a:y B:b | A:a:y B:b | kept-there a
both copied to one name: ours takes the next | S:Pump | N1:Pump(1) S:Pump | N2:Pump(1) S:Pump | N1:Pump(2) N2:Pump(1) S:Pump | added Pump(1), renamed Pump(2)
a name ours gave that theirs took since | A:a | A:a N:x | A:x | A:x N:x(1) | changed x.DisplayName, renamed x(1)
both renamed alike, letter case aside | A:a B:b | A:a B:Same | A:SAME B:b | A:SAME B:Same(1) | changed SAME.DisplayName, renamed Same(1)
a name ours gave that only its own records have | A:a B:b | A:a B:a | A:a B:b C:c | A:a B:a C:c | added c
ours sorted: ours' order, theirs' additions by their neighbours | A:b B:a | B:a A:b | A:b B:a C:c | B:a C:c A:b | added c
theirs reordered: theirs' order, ours' additions by their neighbours | A:a B:b C:c | A:a B:b N:n C:c | C:c B:b A:a | C:c B:b N:n A:a | 
both reordered: ours | A:a B:b C:c | C:c A:a B:b | B:b A:a C:c | C:c A:a B:b | order
ours sorted: theirs' additions in a row stay in their order | A:b B:a | B:a A:b | A:b C:c D:d B:a | B:a A:b C:c D:d | added c, added d
theirs reordered: ours' additions in a row stay in their order | A:a B:b C:c | A:a N:n M:m B:b C:c | C:c B:b A:a | C:c B:b A:a N:n M:m | 
added on both sides alike |  | A:a:x | A:a:y | A:a:x | conflict a.Description
GUID texts match as lookups match them | abc:a | ABC:a | abc:a2 | ABC:a2 | changed a2.DisplayName
empty GUID texts: by name | :a:x :b:y | :a:x1 :b:y | :a:x :b:y2 | :a:x1 :b:y2 | changed b.Description
repeated GUID texts: by name | G:a G:b | G:a:1 G:b | G:a G:b:2 | G:a:1 G:b:2 | changed b.Description
repeated names too: by rank | :a:1 :a:2 | :a:1 :a:3 | :a:4 :a:2 | :a:4 :a:3 | changed a.Description
deleted on both sides | A:a B:b | A:a | A:a | A:a | 
theirs emptied the library | A:a B:b | A:a B:b |  |  | deleted a, deleted b
)");
    for (const MergeCase& c : cases) {
        SCOPED_TRACE(c.what);
        const auto base = Records(c.base);
        const auto ours = Records(c.ours);
        const auto theirs = Records(c.theirs);
        ZkDiag::Capture capture;
        ZkRecords::Origin origin;
        const List result = Merge(capture, origin, base, ours, theirs);
        EXPECT_EQ(c.result, Text(result));
        EXPECT_EQ(c.notes, Notes(capture));
        // Where each of ours went: its own record, or none when dropped.
        ASSERT_EQ(ours.size(), origin.vecToBase.size());
        for (size_t o = 0; o < ours.size(); ++o) {
            if (origin.vecToBase[o] >= 0) {
                EXPECT_EQ(0, ours[o].GetGuid().CompareNoCase(
                                 result[static_cast<size_t>(origin.vecToBase[o])].GetGuid()));
            }
        }
    }
}

// After a merge the file holds more than the list: the next merge, from the
// list as it was then, neither undoes nor repeats it.
TEST(RecordMergeTest, ASecondMergeKeepsWhatTheFirstDid)
{
    const auto base = Records("S:Pump A:a");
    const auto ours = Records("N1:Pump(1) S:Pump A:a");
    const auto theirs = Records("N2:Pump(1) S:Pump M:m");  // A deleted, M added
    ZkDiag::Capture capture;
    ZkRecords::Origin origin;
    const List written = Merge(capture, origin, base, ours, theirs);
    ASSERT_EQ("N1:Pump(2) N2:Pump(1) S:Pump M:m", Text(written));

    // Ours then renames its copy and changes S; the file is as written.
    auto next = ours;
    next[1].SetDescription(L"d");
    ZkRecords::Origin originAgain;
    const List again = Merge(capture, originAgain, written, next, written, &ours, &origin);
    EXPECT_EQ("N1:Pump(2) N2:Pump(1) S:Pump:d M:m", Text(again));
    EXPECT_EQ("", Notes(capture));
    // With the file written as the list's base, N2 and M would be taken for
    // records ours deleted, and A for one ours added.
    const List naive = Merge(capture, originAgain, written, next, written);
    EXPECT_NE(Text(again), Text(naive));
}

TEST(RecordMergeTest, NameStemDropsOneTrailingCounter)
{
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {{L"Pump(2)", L"Pump"},
                                                               {L"Pump", L"Pump"},
                                                               {L"Pump(1)(1)", L"Pump(1)"},
                                                               {L"Pump()", L"Pump()"},
                                                               {L"Pump(x)", L"Pump(x)"},
                                                               {L"(3)", L""},
                                                               {L"", L""}};
    for (const auto& [name, stem] : cases)
        EXPECT_EQ(CString(stem), ZkRecords::NameStem(name)) << CString(name).GetLength();
}
