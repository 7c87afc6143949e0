// The example of README.md, between the snippet markers as the page shows it.
#include "usage.h"

// snippet: readme
#include "frame/ZkNodeDetail.h"

// The display names of the resource library's node details in natural name
// order ("Detail2" before "Detail10"). Empty when the library cannot be read:
// GetLastReport() says why.
std::vector<CString> NodeDetailNames()
{
    CNodeDetailResDataManager* pLib = ZkNodeDetailResDataManager();
    std::vector<CString> vecNames;
    if (!pLib->Load())
        return vecNames;
    pLib->SortData();
    std::vector<NodeDetailResData> vecRows;
    pLib->GetVecNodeDetailResData(vecRows);
    for (const NodeDetailResData& row : vecRows)
        vecNames.push_back(row.GetDisplayName());
    return vecNames;
}
// snippet end
