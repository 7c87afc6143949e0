// The natural name order on any names: irreflexive, asymmetric, transitive,
// and in agreement with a plain reference written from the rule itself
// (tokens of one class, numeric tokens by value, others by code unit, a name
// that runs out of tokens first when shorter).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "nodedetail/NodeDetailResData.h"
#include "platform/ZkCompiler.h"

// Only the library's code guides the fuzzer: the reference and the input
// decoding are left out of the coverage (and out of its comparison tracing,
// which would otherwise take most of the time on long names).

namespace {

using Units = std::vector<uint16_t>;

// ---- Reference -------------------------------------------------------------

ZKND_NOT_COVERED int ClassOf(uint16_t u)
{
    if (u >= '0' && u <= '9')
        return 0;
    if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z'))
        return 1;
    return 2;
}

ZKND_NOT_COVERED std::vector<Units> Tokenize(const Units& s)
{
    std::vector<Units> tokens;
    for (size_t i = 0; i < s.size(); ++i) {
        if (i == 0 || ClassOf(s[i]) != ClassOf(s[i - 1]))
            tokens.emplace_back();
        tokens.back().push_back(s[i]);
    }
    return tokens;
}

// The host's decimal test: optional sign, digits, optional fraction, at least
// one digit.
ZKND_NOT_COVERED bool IsNumeric(const Units& t)
{
    size_t i = 0;
    size_t digits = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        ++i;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i)
        ++digits;
    if (i < t.size() && t[i] == '.')
        for (++i; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i)
            ++digits;
    return digits > 0 && i == t.size();
}

ZKND_NOT_COVERED double ValueOf(const Units& t)
{
    const std::string narrow(t.begin(), t.end());  // numeric tokens are ASCII
    return std::strtod(narrow.c_str(), nullptr);
}

ZKND_NOT_COVERED bool ReferenceLess(const Units& a, const Units& b)
{
    const std::vector<Units> ta = Tokenize(a);
    const std::vector<Units> tb = Tokenize(b);
    for (size_t i = 0; i < ta.size() && i < tb.size(); ++i) {
        if (ta[i] == tb[i])
            continue;
        const bool numA = IsNumeric(ta[i]);
        const bool numB = IsNumeric(tb[i]);
        if (numA && numB)
            return ValueOf(ta[i]) < ValueOf(tb[i]);
        if (numA != numB)
            return numA;
        return ta[i] < tb[i];  // lexicographic on unsigned units, prefix first
    }
    return a.size() < b.size();
}

// ---- Input -----------------------------------------------------------------

// Names separated by 0xFF, so that seeds read as text; a name stops at 2,048
// units. Bytes below 0x80 are ASCII units (NUL becomes '0': a name is a C
// string); 0x80-0xBF pick a fixed non-ASCII unit (a CJK character, a full-width
// and an Arabic-Indic digit, both of the other class, a lone surrogate);
// 0xC0-0xEF with the next byte repeat the unit after them up to 1,024 times,
// for digit runs longer than any double holds; 0xF0-0xFE take the next two
// bytes as any 16-bit unit.
class Decoder {
public:
    static const size_t kMaxUnits = 2048;

    Decoder(const uint8_t* data, size_t size) : m_p(data), m_end(data + size) {}

    ZKND_NOT_COVERED Units NextName()
    {
        Units name;
        while (m_p != m_end && name.size() < kMaxUnits) {
            const uint8_t b = *m_p++;
            if (b == 0xFF)
                break;
            size_t repeat = 1;
            uint8_t lead = b;
            if (b >= 0xC0 && b <= 0xEF) {
                repeat = ((static_cast<size_t>(b & 0x03) << 8) | Byte()) + 1;
                if (m_p == m_end)
                    break;
                lead = *m_p++;
            }
            name.insert(name.end(), repeat, Unit(lead));
        }
        return name;
    }

private:
    ZKND_NOT_COVERED uint8_t Byte() { return m_p != m_end ? *m_p++ : 0; }

    ZKND_NOT_COVERED uint16_t Unit(uint8_t b)
    {
        static const uint16_t kWide[] = {0x4E2D, 0xFF11, 0x0661, 0x00E9, 0xD800, 0xFFFD};
        if (b < 0x80)
            return b == 0 ? uint16_t('0') : b;
        if (b < 0xC0)
            return kWide[(b - 0x80) % (sizeof kWide / sizeof kWide[0])];
        if (b == 0xFF)
            return '?';
        const uint16_t u = static_cast<uint16_t>((Byte() << 8) | Byte());
        return u == 0 ? uint16_t('0') : u;
    }

    const uint8_t* m_p;
    const uint8_t* m_end;
};

NodeDetailResData Record(const Units& name)
{
    std::wstring text(name.begin(), name.end());
    NodeDetailResData data;
    data.SetDisplayName(text.c_str());
    ZK_FUZZ_CHECK(data.GetDisplayName().GetLength() == static_cast<int>(name.size()));
    return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Decoder in(data, size);
    std::vector<Units> names;
    for (int i = 0; i < 3; ++i)
        names.push_back(in.NextName());

    std::vector<NodeDetailResData> records;
    for (const Units& name : names)
        records.push_back(Record(name));

    bool less[3][3];
    for (size_t i = 0; i < 3; ++i) {
        for (size_t j = 0; j < 3; ++j) {
            less[i][j] = records[i] < records[j];
            ZK_FUZZ_CHECK(less[i][j] == ReferenceLess(names[i], names[j]));
        }
    }
    for (size_t i = 0; i < 3; ++i) {
        ZK_FUZZ_CHECK(!less[i][i]);
        for (size_t j = 0; j < 3; ++j) {
            ZK_FUZZ_CHECK(!(less[i][j] && less[j][i]));
            for (size_t k = 0; k < 3; ++k)
                ZK_FUZZ_CHECK(!(less[i][j] && less[j][k]) || less[i][k]);
        }
    }
    return 0;
}
