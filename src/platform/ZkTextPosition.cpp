#include "platform/ZkTextPosition.h"

#include "platform/internal/text/Unicode.h"

ZkTextPosition ZkLineCounter::At(size_t nOffset)
{
    if (nOffset > m_n)
        return ZkTextPosition();
    if (nOffset < m_nDone)
        *this = ZkLineCounter(m_p, m_n);
    for (; m_nDone < nOffset; ++m_nDone) {
        const char c = m_p[m_nDone];
        if (c == '\n' || (c == '\r' && (m_nDone + 1 >= m_n || m_p[m_nDone + 1] != '\n'))) {
            ++m_nLine;
            m_nColumn = 1;
        } else if (c != '\r' && !ZkText::IsContinuation(static_cast<unsigned char>(c))) {
            ++m_nColumn;
        }
    }
    ZkTextPosition pos;
    pos.nLine = m_nLine;
    pos.nColumn = m_nColumn;
    if (nOffset < m_n && ZkText::IsContinuation(static_cast<unsigned char>(m_p[nOffset])) &&
        pos.nColumn > 1)
        --pos.nColumn;
    return pos;
}
