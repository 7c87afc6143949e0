#include "platform/internal/exchange/ExchangeReader.h"

#include <algorithm>

#include "platform/ZkTextPosition.h"

namespace ZkExchangeRead {

// A property or section name (ASCII in practice) against the n bytes of
// UTF-8 at utf8 in the document, compared in place.
bool NameIs(const char* utf8, size_t n, const wchar_t* name)
{
    size_t i = 0;
    // ASCII alike unit by byte, then either the end or the first difference.
    while (i < n && static_cast<unsigned char>(utf8[i]) < 0x80 &&
           static_cast<std::make_unsigned_t<wchar_t>>(name[i]) ==
               static_cast<unsigned char>(utf8[i]))
        ++i;
    if (i == n)
        return name[n] == 0;
    // An ASCII unit there differs from its byte; a character beyond ASCII
    // is compared in UTF-8.
    return !ZkText::IsAscii(name[i]) && ZkText::NameToUtf8(name) == std::string(utf8, n);
}

bool Reader::Load(ZkFileSystem::Bytes&& raw, const ZkFileSystem::Bytes* pFileBytes)
{
    m_tree.Clear();
    m_pFileBytes = pFileBytes;
    if (!ZkXmlDecoder::Decode(std::move(raw), m_text, pCapture))
        return false;
    if (!ZkXmlReader::ReadSimpleMarkup(m_text, m_tree)) {
        ZkXmlReader::Failure failure;
        if (!ZkXmlReader::ReadWithPugixml(m_text, pCapture, m_tree, failure)) {
            if (failure.pszReason != nullptr)  // else the checks said why
                ParseFailed(failure.pszReason, failure.nOffset);
            return false;
        }
    }
    if (pCapture != nullptr && pCapture->outcome == ZkOutcome::kNone)
        pCapture->outcome = ZkOutcome::kDone;
    return true;
}

void Reader::ParseFailed(const char* reason, size_t offset)
{
    if (pCapture != nullptr) {
        pCapture->Fail(ZkOutcome::kMalformed, reason);
        m_bErrorPending = offset != static_cast<size_t>(-1);
        m_nErrorOffset = offset;
        PlacePending();
    }
    m_tree.Clear();
}

void Reader::BadValue(const void* pNode, const wchar_t* pszName, const char* value, size_t n,
                      ZkDiag::ValueType type)
{
    if (pCapture == nullptr)
        return;
    const Element& e = *AsElement(pNode);
    ZkDiag::Warning w;
    w.kind = ZkDiag::WarningKind::kBadValue;
    w.valueType = type;
    w.strSection = ZkDiag::WideFromUtf8(std::string(e.name, e.nNameSize));
    w.strProperty = pszName;
    w.strText = ZkDiag::WideFromUtf8(std::string(value, n));
    const size_t offset = m_text.OffsetOf(value);
    if (pCapture->Add(std::move(w)) && offset != static_cast<size_t>(-1))
        m_pending.emplace_back(pCapture->warnings.size() - 1, offset);
}

// The text was parsed in place: lines are counted in the file's bytes,
// decoded again, only when there is something to place.
void Reader::PlacePending()
{
    if (pCapture == nullptr || m_pFileBytes == nullptr || (m_pending.empty() && !m_bErrorPending))
        return;
    ZkXmlDecoder::DecodedText again;
    if (!ZkXmlDecoder::Decode(ZkFileSystem::Bytes(m_pFileBytes->begin(), m_pFileBytes->end()),
                              again, nullptr))
        return;
    std::sort(m_pending.begin(), m_pending.end(),
              [](const auto& a, const auto& b) { return a.second < b.second; });
    ZkLineCounter lines(again.Data(), again.Size());
    for (const auto& p : m_pending)
        if (p.first < pCapture->warnings.size())
            pCapture->warnings[p.first].at = lines.At(p.second);
    if (m_bErrorPending)
        pCapture->at = ZkLineCounter(again.Data(), again.Size()).At(m_nErrorOffset);
    m_pending.clear();
    m_bErrorPending = false;
}

}  // namespace ZkExchangeRead
