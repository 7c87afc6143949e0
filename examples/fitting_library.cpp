// A host module that reads the fitting library and lists what it holds.
#include "fitting_library.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Utf.h"
#include "frame/ZkNodeDetail.h"
#include "platform/ZkHost.h"
#include "platform/ZkPath.h"

using ZkUtf::Utf8;

namespace {

// Two elbows and a tee, as the product ships a library file.
const char kSampleLibrary[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<FitData>\n"
    "  <FitInfo FitType=\"1\">\n"
    "    <FitRow Pos=\"0,0,0\" GUID=\"3F2504E0-4F89-11D3-9A0C-0305E82C3301\" "
    "BlockName=\"ELBOW90\"\n"
    "            Scale=\"1\" DisplayName=\"Elbow 90\" Description=\"long radius\"\n"
    "            Direction=\"1,0,0\" ButtressPos=\"0,-0.5,0\">\n"
    "      <vecConnector>\n"
    "        <Connector Pos=\"-1,0,0\" Angle=\"0\" ConType=\"1\" Index=\"1\"/>\n"
    "        <Connector Pos=\"0,1,0\" Angle=\"90\" ConType=\"1\" Index=\"2\"/>\n"
    "      </vecConnector>\n"
    "    </FitRow>\n"
    "    <FitRow Pos=\"0,0,0\" GUID=\"3F2504E0-4F89-11D3-9A0C-0305E82C3302\" "
    "BlockName=\"ELBOW45\"\n"
    "            Scale=\"1\" DisplayName=\"Elbow 45\" Description=\"\"\n"
    "            Direction=\"1,0,0\" ButtressPos=\"0,0,0\">\n"
    "      <vecConnector>\n"
    "        <Connector Pos=\"-1,0,0\" Angle=\"0\" ConType=\"1\" Index=\"1\"/>\n"
    "        <Connector Pos=\"0.7071,0.7071,0\" Angle=\"45\" ConType=\"1\" Index=\"2\"/>\n"
    "      </vecConnector>\n"
    "    </FitRow>\n"
    "  </FitInfo>\n"
    "  <FitInfo FitType=\"2\">\n"
    "    <FitRow Pos=\"0,0,0\" GUID=\"3F2504E0-4F89-11D3-9A0C-0305E82C3303\" BlockName=\"TEE\"\n"
    "            Scale=\"2\" DisplayName=\"Equal tee\" Description=\"welded\"\n"
    "            Direction=\"1,0,0\" ButtressPos=\"0,0,0\">\n"
    "      <vecConnector>\n"
    "        <Connector Pos=\"-1,0,0\" Angle=\"0\" ConType=\"2\" Index=\"1\"/>\n"
    "        <Connector Pos=\"1,0,0\" Angle=\"180\" ConType=\"2\" Index=\"2\"/>\n"
    "        <Connector Pos=\"0,1,0\" Angle=\"90\" ConType=\"2\" Index=\"3\"/>\n"
    "      </vecConnector>\n"
    "    </FitRow>\n"
    "  </FitInfo>\n"
    "</FitData>\n";

bool WriteSampleLibrary(const std::filesystem::path& file)
{
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(kSampleLibrary, sizeof kSampleLibrary - 1);
    return static_cast<bool>(out);
}

}  // namespace

int RunFittingLibraryDemo()
{
    CFitDataManager* pManager = ZkFitDataManager();
    // The manager fixed its path from the host's data directory when it was built.
    const CString strFile = pManager->GetFileName();
    const std::filesystem::path file = ZkToNativePath(strFile);
    if (!ZkIsFileExist(strFile)) {
        if (!WriteSampleLibrary(file)) {
            std::printf("cannot write a sample fitting library to %s\n", file.u8string().c_str());
            return 1;
        }
        std::printf("wrote a sample fitting library\n");
    }
    if (!pManager->Load()) {
        std::printf("cannot read the fitting library %s\n", file.u8string().c_str());
        return 1;
    }

    std::printf("fitting library %s: %d group(s)\n", file.u8string().c_str(),
                pManager->GetDataCount());
    // The library is reached by fitting type, and the product's types are
    // small numbers; only the first group of each type is listed.
    for (int nType = -1; nType <= 64; ++nType) {
        std::vector<FittingData> vecFit;
        if (pManager->FindFitDataArrByFitType(static_cast<NodeDetailEx::FittingType>(nType),
                                              vecFit) == 0)
            continue;
        std::printf("  type %d: %d fitting(s)\n", nType, static_cast<int>(vecFit.size()));
        for (const FittingData& fit : vecFit) {
            const stu3Value dir = fit.GetDirection();
            std::printf("    %-10s block %-8s scale %g direction (%g, %g, %g) %d connector(s)\n",
                        Utf8(fit.GetDisplayName()).c_str(), Utf8(fit.GetBlockName()).c_str(),
                        fit.GetScale(), dir.x, dir.y, dir.z, fit.GetConNum());
            std::vector<ConnectorData> vecCon;
            fit.GetConnector(vecCon);
            for (const ConnectorData& con : vecCon) {
                const stu3Value pos = con.GetPos();
                std::printf("      #%d at (%g, %g, %g) angle %g type %d\n", con.GetIndex(), pos.x,
                            pos.y, pos.z, con.GetAngle(), static_cast<int>(con.GetConType()));
            }
        }
    }

    CString strGuid = L"3f2504e0-4f89-11d3-9a0c-0305e82c3303";
    std::printf("fitting with GUID %s: %s\n", Utf8(strGuid).c_str(),
                Utf8(pManager->GetFitName(strGuid)).c_str());
    std::printf("\"elbow 45\" %s\n", pManager->CheckNameExist(L"elbow 45") ? "exists" : "is free");
    return 0;
}
