// The fitting library, each operation beside a baseline in the same run, on
// 50 fitting types of 200 and of 2,000 fittings with 4 connectors each:
//   Load  vs pugixml parsing the same file;
//   Save  vs pugixml building the same document from the records and saving
//         it with the same flush and rename.
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "fitting/CFitDataManager.h"

namespace {

struct Connector {
    double pos[3];
    double dAngle;
    int nConType;
    int nIndex;
};

struct Fitting {
    std::wstring guid;
    std::wstring block;
    std::wstring name;
    std::wstring description;
    double pos[3];
    double direction[3];
    double buttress[3];
    double dScale;
    std::vector<Connector> connectors;
};

struct Group {
    int nType;
    std::vector<Fitting> fittings;
};

struct Library {
    std::vector<Group> groups;
    std::string strBytes;  // the file as Save writes it
    zkbench::FileCase file;
};

using Lib = zkbench::LibraryOf<CFitDataManager>;

pugi::xml_document BuildDocument(const std::vector<Group>& groups)
{
    using zkbench::AppendElement, zkbench::RealText, zkbench::TripleText, zkbench::Utf8;
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("FitData");
    for (const Group& group : groups) {
        pugi::xml_node info =
            AppendElement(root, "FitInfo", {{"FitType", std::to_string(group.nType)}});
        for (const Fitting& fit : group.fittings) {
            pugi::xml_node row = AppendElement(info, "FitRow",
                                               {{"Pos", TripleText(fit.pos)},
                                                {"GUID", Utf8(fit.guid)},
                                                {"BlockName", Utf8(fit.block)},
                                                {"Scale", RealText(fit.dScale)},
                                                {"DisplayName", Utf8(fit.name)},
                                                {"Description", Utf8(fit.description)},
                                                {"Direction", TripleText(fit.direction)},
                                                {"ButtressPos", TripleText(fit.buttress)}});
            pugi::xml_node cons = row.append_child("vecConnector");
            for (const Connector& con : fit.connectors)
                AppendElement(cons, "Connector",
                              {{"Pos", TripleText(con.pos)},
                               {"Angle", RealText(con.dAngle)},
                               {"ConType", std::to_string(con.nConType)},
                               {"Index", std::to_string(con.nIndex)}});
        }
    }
    return doc;
}

// Fittings as a product library holds them: positions in millimetres with a
// few decimals, unit or 45-degree directions, connectors at the ends of the
// fitting's arms.
std::vector<Group> MakeGroups(int nGroups, int nFittings)
{
    zkbench::TextMaker maker(static_cast<uint32_t>(nGroups * nFittings));
    const double kDiagonal = 0.7071067811865476;
    const double directions[][3] = {{1, 0, 0},
                                    {0, 1, 0},
                                    {0, 0, 1},
                                    {-1, 0, 0},
                                    {kDiagonal, kDiagonal, 0},
                                    {0, -kDiagonal, kDiagonal}};
    std::vector<Group> groups(static_cast<size_t>(nGroups));
    for (int g = 0; g < nGroups; ++g) {
        Group& group = groups[static_cast<size_t>(g)];
        group.nType = g + 1;
        group.fittings.resize(static_cast<size_t>(nFittings));
        for (int i = 0; i < nFittings; ++i) {
            Fitting& fit = group.fittings[static_cast<size_t>(i)];
            const int nSize = maker.Number(0, 15);
            fit.guid = maker.GuidText();
            fit.block = maker.BlockName(group.nType, nSize);
            fit.name = maker.FittingName(group.nType, nSize) + L"-" + std::to_wstring(i + 1);
            fit.description = maker.FittingDescription(group.nType, nSize);
            for (int k = 0; k < 3; ++k) {
                fit.pos[k] = k == 2 ? 0.0 : maker.Coordinate();
                fit.direction[k] = directions[i % 6][k];
                fit.buttress[k] = k == 2 ? -maker.Number(1, 40) * 12.5 : 0.0;
            }
            fit.dScale = (i % 5 == 0) ? 0.5 : 1.0;
            const double dArm = maker.Number(40, 600) * 0.5;
            for (int c = 0; c < 4; ++c) {
                const double dAngle = 90.0 * c;
                const double dx = c % 2 == 0 ? (c == 0 ? dArm : -dArm) : 0.0;
                const double dy = c % 2 == 1 ? (c == 1 ? dArm : -dArm) : 0.0;
                fit.connectors.push_back(
                    Connector{{dx, dy, 0.0}, dAngle, maker.Number(0, 3), c + 1});
            }
        }
    }
    return groups;
}

zkbench::Holdings g_holds;

void HoldFile(const Library& lib)
{
    g_holds.File(&lib, Lib::File(), lib.strBytes);
}

// Empties the manager's list untimed: Update of a missing file leaves it empty.
void EmptyList()
{
    const std::string strAside = Lib::File() + ".aside";
    std::rename(Lib::File().c_str(), strAside.c_str());
    Lib::Manager()->Update();
    std::rename(strAside.c_str(), Lib::File().c_str());
    g_holds.pList = nullptr;
}

// The library as a Load into an empty list leaves it: loaded straight over
// the old list, it would take the freed blocks last freed first.
void HoldList(const Library& lib)
{
    if (g_holds.pList != &lib) {
        HoldFile(lib);
        EmptyList();
        zkbench::SettleHeap();
        Lib::Manager()->Load();
        g_holds.pList = &lib;
    }
}

const Library& Generated(int nGroups, int nFittings)
{
    static std::map<std::pair<int, int>, std::unique_ptr<Library>> cache;
    std::unique_ptr<Library>& lib = cache[{nGroups, nFittings}];
    if (lib)
        return *lib;
    lib = std::make_unique<Library>();
    Library* p = lib.get();
    p->groups = MakeGroups(nGroups, nFittings);

    zkbench::FileCase& file = p->file;
    file.fnBeforeLoad = [p] {
        HoldFile(*p);
        EmptyList();
    };
    file.fnLoad = [p, nGroups] {
        const bool bOk = Lib::Manager()->Load();
        g_holds.pList = p;
        return bOk && Lib::Manager()->GetDataCount() == nGroups;
    };
    file.fnBeforeSave = [p] { HoldList(*p); };
    file.fnSave = [] { return Lib::Manager()->Save(); };
    file.fnBuild = [p] { return BuildDocument(p->groups); };
    file.strParseFile = Lib::Folder() + "parse-" + std::to_string(nGroups) + "x" +
                        std::to_string(nFittings) + ".xml";
    file.strSaveFile = Lib::Folder() + "baseline-save.xml";

    std::filesystem::create_directories(Lib::Folder());
    zkbench::SaveLikeLibrary(file.fnBuild(), file.strParseFile);
    p->strBytes = zkbench::ReadFile(file.strParseFile);
    HoldList(*p);
    Lib::Manager()->Save();
    zkbench::CheckSame(
        Lib::Manager()->GetDataCount() == nGroups && zkbench::ReadFile(Lib::File()) == p->strBytes,
        "the saved fitting library");
    return *lib;
}

}  // namespace

int main(int argc, char** argv)
{
    return zkbench::Main(argc, argv, [](bool) {
        for (const int nFittings : {200, 2000})
            zkbench::RegisterLoadSave("FitData ", "50x" + std::to_string(nFittings) + "x4",
                                      [nFittings]() -> const zkbench::FileCase& {
                                          return Generated(50, nFittings).file;
                                      });
    });
}
