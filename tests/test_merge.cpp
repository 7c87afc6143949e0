// Two processes saving one library. A copy of a manager keeps a base of its
// own, so here the other process is a copy of the process's manager made
// when both had loaded the same file; tests/merge/ runs real processes.

#include <algorithm>
#include <new>

#include "TestUtil.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

// Copy number N of the manager as it is now. The destructor is private, so
// the copy lives on in static storage and is assigned over the next time.
template <int N, class Manager>
Manager& Copy(Manager* p)
{
    alignas(Manager) static unsigned char storage[sizeof(Manager)];
    static Manager* pCopy = new (storage) Manager(*p);
    *pCopy = *p;
    return *pCopy;
}

CNodeDetailResDataManager* Nd()
{
    return ZkNodeDetailResDataManager();
}

CFitDataManager* Fits()
{
    return ZkFitDataManager();
}

std::string Narrow(const CString& s)
{
    return zktest::Native(s.GetString()).u8string();
}

// "name|name|...", or with the descriptions "name/description|...".
std::string Names(const std::vector<NodeDetailResData>& v, bool bDescriptions = false)
{
    std::string out;
    for (const NodeDetailResData& r : v)
        out += (out.empty() ? "" : "|") + Narrow(r.GetDisplayName()) +
               (bDescriptions ? "/" + Narrow(r.GetDescription()) : "");
    return out;
}

std::string Names(CNodeDetailResDataManager& m, bool bDescriptions = false)
{
    std::vector<NodeDetailResData> v;
    m.GetVecNodeDetailResData(v);
    return Names(v, bDescriptions);
}

// What the node-detail file holds, read by a third manager.
std::string FileNames(bool bDescriptions = false)
{
    CNodeDetailResDataManager& reader = Copy<9>(Nd());
    return reader.Load() ? Names(reader, bDescriptions) : "(does not load)";
}

// "type:name,name;type:..." of the fitting groups.
std::string Groups(const CFitDataManager& m)
{
    std::vector<FittingInfo> groups;
    m.GetVecFitInfo(groups);
    std::string out;
    for (FittingInfo& g : groups) {
        out += (out.empty() ? "" : ";") + std::to_string(static_cast<int>(g.GetFitType())) + ":";
        for (size_t i = 0; i < g.GetVecFitData().size(); ++i)
            out += (i > 0 ? "," : "") + Narrow(g.GetVecFitData()[i].GetDisplayName());
    }
    return out;
}

std::string FileGroups()
{
    CFitDataManager& reader = Copy<9>(Fits());
    return reader.Load() ? Groups(reader) : "(does not load)";
}

// The kinds of the notes of the last report, sorted.
std::string NoteKinds(const ZkReport& report)
{
    static const char* const kKinds[] = {"added",    "deleted",   "changed",
                                         "conflict", "kept-here", "kept-there",
                                         "renamed",  "order",     "file-gone"};
    std::vector<std::string> kinds;
    for (const ZkMergeNote& note : report.vecMerge) {
        EXPECT_FALSE(note.strMessage.IsEmpty());
        kinds.push_back(kKinds[static_cast<int>(note.eKind)]);
    }
    std::sort(kinds.begin(), kinds.end());
    std::string out;
    for (const std::string& k : kinds)
        out += (out.empty() ? "" : " ") + k;
    return out;
}

class MergeTest : public zktest::LibraryTest {
protected:
    // Pump, Valve and Tee, with Pump's drawing and slide, loaded here; the
    // other process loads the same file.
    CNodeDetailResDataManager& StartNodeDetails()
    {
        zktest::ResetDataDirectory();
        zktest::WriteBytes(
            ndFile,
            "<NodeDetailResData>"
            "<NodeDetailResDataRow GuId='G-PUMP' DisplayName='Pump' Description='p'/>"
            "<NodeDetailResDataRow GuId='G-VALVE' DisplayName='Valve' Description='v'/>"
            "<NodeDetailResDataRow GuId='G-TEE' DisplayName='Tee' Description='t'/>"
            "</NodeDetailResData>");
        zktest::WriteBytes(ndFile.parent_path() / "G-PUMP.dwg", "drawing");
        zktest::WriteBytes(ndFile.parent_path() / "G-PUMP.sld", "slide");
        EXPECT_TRUE(Nd()->Load());
        return Copy<1>(Nd());
    }

    // Type 1: F1, F2; type 2: F3. Loaded here and by the other process.
    CFitDataManager& StartFittings()
    {
        zktest::WriteBytes(fitFile,
                           "<FitData><FitInfo FitType='1'>"
                           "<FitRow GUID='G1' DisplayName='F1'/>"
                           "<FitRow GUID='G2' DisplayName='F2'/></FitInfo>"
                           "<FitInfo FitType='2'><FitRow GUID='G3' DisplayName='F3'/>"
                           "</FitInfo></FitData>");
        EXPECT_TRUE(Fits()->Load());
        return Copy<1>(Fits());
    }

    const fs::path ndFile = zktest::Library::NodeDetail().file;
    const fs::path fitFile = zktest::Library::Fitting().file;
};

FittingData Fit(int nType, const wchar_t* pszGuid, const wchar_t* pszName)
{
    FittingData fit;
    fit.SetFitType(NodeDetailEx::FittingType(nType));
    fit.SetGUID(pszGuid);
    fit.SetDisplayName(pszName);
    return fit;
}

}  // namespace

// One process copies a node detail, another deletes one; whichever saves
// last, the file holds both changes, and the copy's files stay.
TEST_F(MergeTest, TwoProcessesEditingOneLibraryKeepBothEdits)
{
    for (const bool bCopierFirst : {true, false}) {
        SCOPED_TRACE(bCopierFirst);
        CNodeDetailResDataManager& other = StartNodeDetails();
        ASSERT_EQ(1, Nd()->CopyNode(L"Pump"));
        ASSERT_TRUE(other.DelNode(L"Valve"));
        CNodeDetailResDataManager& first = bCopierFirst ? *Nd() : other;
        CNodeDetailResDataManager& second = bCopierFirst ? other : *Nd();
        ASSERT_TRUE(first.Save());
        EXPECT_FALSE(first.GetLastReport().bMerged);
        ASSERT_TRUE(second.Save());
        const ZkReport& report = second.GetLastReport();
        EXPECT_TRUE(report.Succeeded() && report.bMerged);
        EXPECT_EQ(bCopierFirst ? "added" : "deleted", NoteKinds(report));
        EXPECT_EQ("Pump(1)|Pump|Tee", FileNames());
        EXPECT_EQ(5u, zktest::FolderEntries(ndFile.parent_path()).size());
    }
}

// A row of the edit tables below: the file as the two saves leave it, and
// the kinds of notes of the second save.
template <typename Manager>
struct EditCase {
    const char* what;
    std::function<void(Manager&)> first, second;
    const char* file;
    const char* notes;
};

// Edits of the same records, saved by one process and then the other: what
// the file holds, and what the second save reports.
TEST_F(MergeTest, EditsOfTheSameRecordsAreSettledAndReported)
{
    auto rename = [](int i, const wchar_t* psz) {
        return [=](CNodeDetailResDataManager& m) { ASSERT_TRUE(m.ModifyNodeName(i, psz)); };
    };
    auto del = [](const wchar_t* psz) {
        return [=](CNodeDetailResDataManager& m) { ASSERT_TRUE(m.DelNode(psz)); };
    };
    auto copy = [](const wchar_t* psz) {
        return [=](CNodeDetailResDataManager& m) { ASSERT_EQ(1, m.CopyNode(psz)); };
    };
    const EditCase<CNodeDetailResDataManager> cases[] = {
        {"both renamed one record: the later name", rename(1, L"Gate"), rename(1, L"Check"),
         "Pump|Check|Tee", "conflict"},
        {"renamed, then deleted: kept as renamed", rename(1, L"Gate"), del(L"Valve"),
         "Pump|Gate|Tee", "kept-there"},
        {"deleted, then renamed: kept as renamed", del(L"Valve"), rename(1, L"Gate"),
         "Pump|Gate|Tee", "kept-here"},
        {"both copied one record: the later copy takes the next name", copy(L"Pump"), copy(L"Pump"),
         "Pump(2)|Pump(1)|Pump|Valve|Tee", "added renamed"},
        {"two records renamed alike", rename(1, L"Same"), rename(2, L"SAME"), "Pump|Same|SAME(1)",
         "changed renamed"},
        {"sorted after another process added", copy(L"Valve"),
         [](CNodeDetailResDataManager& m) { m.SortData(); }, "Pump|Valve(1)|Tee|Valve", "added"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CNodeDetailResDataManager& other = StartNodeDetails();
        zktest::WriteBytes(ndFile.parent_path() / "G-VALVE.dwg", "drawing");
        zktest::WriteBytes(ndFile.parent_path() / "G-VALVE.sld", "slide");
        c.first(*Nd());
        c.second(other);
        ASSERT_TRUE(Nd()->Save() && other.Save());
        // Copies share one report: before the file is read.
        EXPECT_EQ(c.notes, NoteKinds(other.GetLastReport()));
        EXPECT_EQ(c.file, FileNames());
    }
    // The conflict names both values, and which was written.
    CNodeDetailResDataManager& other = StartNodeDetails();
    rename(1, L"Gate")(*Nd());
    rename(1, L"Check")(other);
    ASSERT_TRUE(Nd()->Save() && other.Save());
    const ZkMergeNote& note = other.GetLastReport().vecMerge.at(0);
    EXPECT_TRUE(note.strField == L"DisplayName" && note.strOurs == L"Check" &&
                note.strTheirs == L"Gate" && note.strGuid == L"G-VALVE");
    EXPECT_NE(-1, note.strMessage.Find(L"\"Check\" was written"));
}

// Save never changes the list, and a later Save neither undoes nor repeats
// what a merge wrote; Load then shows the other process's work.
TEST_F(MergeTest, SaveLeavesTheListAndLaterSavesKeepTheMerge)
{
    CNodeDetailResDataManager& other = StartNodeDetails();
    ASSERT_EQ(1, other.CopyNode(L"Pump"));
    ASSERT_TRUE(other.DelNode(L"Valve") && other.Save());

    ASSERT_EQ(1, Nd()->CopyNode(L"Pump"));
    ASSERT_TRUE(Nd()->ModifyNodeCheckSta(3, true));
    std::vector<NodeDetailResData> before;
    Nd()->GetVecNodeDetailResData(before);
    ASSERT_TRUE(Nd()->Save());
    EXPECT_EQ("added deleted renamed", NoteKinds(Nd()->GetLastReport()));
    std::vector<NodeDetailResData> after;
    Nd()->GetVecNodeDetailResData(after);
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_TRUE(before[i].GetGuid() == after[i].GetGuid() &&
                    before[i].GetDisplayName() == after[i].GetDisplayName() &&
                    before[i].GetCheck() == after[i].GetCheck());
    EXPECT_TRUE(Nd()->DataChanged());
    EXPECT_EQ("Pump(2)|Pump(1)|Pump|Tee", FileNames());

    // Nothing changed since: the same file, nothing reported.
    const std::string bytes = zktest::ReadBytes(ndFile);
    ASSERT_TRUE(Nd()->Save());
    EXPECT_EQ(bytes, zktest::ReadBytes(ndFile));
    EXPECT_FALSE(Nd()->GetLastReport().bMerged);
    EXPECT_EQ("", NoteKinds(Nd()->GetLastReport()));
    // A rename here goes over the file as it is: the other's copy stays, so
    // does the name the merge gave, and Valve stays deleted.
    ASSERT_TRUE(Nd()->ModifyNodeName(3, L"Tee-2"));
    ASSERT_TRUE(Nd()->Save());
    EXPECT_EQ("Pump(2)|Pump(1)|Pump|Tee-2", FileNames());
    // Meanwhile the other process renames its copy; then this one renames
    // Pump.
    ASSERT_TRUE(other.ModifyNodeName(0, L"Copy") && other.Save());
    EXPECT_EQ("Pump(2)|Copy|Pump|Tee-2", FileNames());
    ASSERT_TRUE(Nd()->ModifyNodeName(1, L"Pump-2") && Nd()->Save());
    EXPECT_EQ("Pump(2)|Copy|Pump-2|Tee-2", FileNames());
    ASSERT_TRUE(Nd()->Load());
    EXPECT_EQ("Pump(2)|Copy|Pump-2|Tee-2", Names(*Nd()));
}

// A file deleted since, no file at Load, a manager whose Load failed, and a
// file that holds no library any more.
TEST_F(MergeTest, FilesGoneMissingOrReplacedByOtherThings)
{
    StartNodeDetails();
    fs::remove(ndFile);
    ASSERT_TRUE(Nd()->ModifyNodeName(0, L"P") && Nd()->Save());
    EXPECT_EQ("file-gone", NoteKinds(Nd()->GetLastReport()));
    EXPECT_EQ("P|Valve|Tee", FileNames());

    // No file at Load: the list stays, and so does what it was read from.
    // Update empties the list: its base is then an empty library, and the
    // file another process makes meanwhile is kept.
    fs::remove(ndFile);
    EXPECT_FALSE(Nd()->Load());
    EXPECT_EQ("P|Valve|Tee", Names(*Nd()));
    EXPECT_TRUE(Nd()->Update());
    CNodeDetailResDataManager& other = Copy<1>(Nd());
    other.SetVecNodeDetailResData({NodeDetailResData(L"X")});
    ASSERT_TRUE(other.Save());
    EXPECT_EQ("", NoteKinds(other.GetLastReport()));
    Nd()->SetVecNodeDetailResData({NodeDetailResData(L"Y")});
    ASSERT_TRUE(Nd()->Save());
    EXPECT_EQ("added", NoteKinds(Nd()->GetLastReport()));
    EXPECT_EQ("Y|X", FileNames());

    // The last Load failed: the list replaces whatever is there.
    zktest::WriteBytes(ndFile, "<NodeDetailResData>");
    EXPECT_FALSE(Nd()->Load());
    Nd()->SetVecNodeDetailResData({NodeDetailResData(L"Z")});
    zktest::WriteBytes(ndFile, zktest::NodeDetailXml(2, 0));
    ASSERT_TRUE(Nd()->Save());
    EXPECT_FALSE(Nd()->GetLastReport().bMerged);
    EXPECT_EQ("Z", FileNames());

    // Changed since the Load into something that is no library (a hand edit
    // gone wrong, another program's file): kept, and the Save says why.
    const std::pair<const char*, ZkOutcome> unreadable[] = {
        {"<NodeDetailResData><NodeDetailResDataRow", ZkOutcome::kMalformed},
        {"<FitData/>", ZkOutcome::kWrongRoot},
        {"<?xml version=\"1.0\" encoding=\"x-none\"?><NodeDetailResData/>",
         ZkOutcome::kUndecodableEncoding},
    };
    for (const auto& [text, outcome] : unreadable) {
        ASSERT_TRUE(Nd()->Load());
        zktest::WriteBytes(ndFile, text);
        EXPECT_FALSE(Nd()->Save()) << text;
        const ZkReport& report = Nd()->GetLastReport();
        EXPECT_EQ(outcome, report.eOutcome) << text;
        EXPECT_NE(-1, report.strReason.Find(L"nothing was written")) << text;
        EXPECT_EQ(text, zktest::ReadBytes(ndFile));
        zktest::WriteBytes(ndFile, zktest::NodeDetailXml(1, 0));
    }
}

#if !defined(_WIN32)
// A file changed since the last Load that the saver cannot read is not
// written over: Save says why.
TEST_F(MergeTest, AChangedFileThatCannotBeReadIsNotOverwritten)
{
    CNodeDetailResDataManager& other = StartNodeDetails();
    ASSERT_TRUE(other.DelNode(L"Valve") && other.Save());
    const std::string bytes = zktest::ReadBytes(ndFile);
    fs::permissions(ndFile,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write);
    fs::permissions(ndFile.parent_path(), fs::perms::all);
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        // Root reads whatever the modes say: the child becomes "nobody".
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(99);
        const bool bSaved = Nd()->Save();
        const ZkReport& report = Nd()->GetLastReport();
        _exit(!bSaved && report.eOutcome == ZkOutcome::kNotPermitted &&
                      report.strReason.Find(L"another process") >= 0
                  ? 0
                  : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    fs::permissions(ndFile, fs::perms::owner_read | fs::perms::owner_write);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 99)
        GTEST_SKIP() << "no unprivileged user to be";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(bytes, zktest::ReadBytes(ndFile));
}
#endif

// The fitting library: groups by type and rank, fittings by GUID within
// their group, the order of a group won by the side that changed it.
TEST_F(MergeTest, FittingEditsOfTwoProcesses)
{
    auto add = [](int nType, const wchar_t* pszGuid, const wchar_t* pszName) {
        return [=](CFitDataManager& m) { m.AddFit(Fit(nType, pszGuid, pszName)); };
    };
    auto rename = [](int g, int r, const wchar_t* psz) {
        return [=](CFitDataManager& m) { ASSERT_TRUE(m.ModifyFitName(g, r, psz)); };
    };
    auto del = [](int g, int r) {
        return [=](CFitDataManager& m) { ASSERT_TRUE(m.DelFit(g, r)); };
    };
    const EditCase<CFitDataManager> cases[] = {
        {"added there, renamed and moved to the front here", add(1, L"GN", L"N"),
         rename(0, 1, L"F2x"), "1:N,F2x,F1;2:F3", "added"},
        {"a group of a new type added on both sides", add(7, L"Ga", L"a"), add(7, L"Gb", L"b"),
         "1:F1,F2;2:F3;7:b,a", "added"},
        {"both renamed one fitting", rename(0, 0, L"X"), rename(0, 0, L"Y"), "1:Y,F2;2:F3",
         "conflict"},
        {"deleted there, the order changed here", del(0, 0), rename(0, 1, L"F2x"), "1:F2x;2:F3",
         "deleted"},
        {"renamed there, deleted here: kept", rename(0, 0, L"Z"), del(0, 0), "1:Z,F2;2:F3",
         "kept-there"},
        {"two fittings of a group named alike", rename(0, 0, L"Same"), rename(0, 1, L"same"),
         "1:same(1),Same;2:F3", "changed renamed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CFitDataManager& other = StartFittings();
        c.first(*Fits());
        c.second(other);
        ASSERT_TRUE(Fits()->Save() && other.Save());
        EXPECT_EQ(c.notes, NoteKinds(other.GetLastReport()));
        EXPECT_EQ(c.file, FileGroups());
    }
}
