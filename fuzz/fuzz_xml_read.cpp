// Any bytes as a library file: what the one-pass read takes, the full read
// takes too, without a warning of its own, and reads as the same tree; what the one pass
// leaves, it leaves unchanged.

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "internal/XmlReaderOutline.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* p = reinterpret_cast<const char*>(data);
    ZkXmlDecoder::DecodedText plainText;
    if (!ZkXmlDecoder::Decode(ZkFileSystem::Bytes(p, p + size), plainText, nullptr))
        return 0;
    const std::string before(plainText.Data(), plainText.Size());
    ZkXmlReader::Tree plain;
    if (!ZkXmlReader::ReadSimpleMarkup(plainText, plain)) {
        ZK_FUZZ_CHECK(before == std::string(plainText.Data(), plainText.Size()));
        return 0;
    }
    ZkDiag::Capture capture;
    ZkXmlDecoder::DecodedText fullText;
    ZK_FUZZ_CHECK(ZkXmlDecoder::Decode(ZkFileSystem::Bytes(p, p + size), fullText, &capture));
    // Decoding may warn (a lone surrogate in UTF-16); the read must not.
    const size_t nDecodeWarnings = capture.warnings.size();
    ZkXmlReader::Tree full;
    ZkXmlReader::Failure failure;
    ZK_FUZZ_CHECK(ZkXmlReader::ReadWithPugixml(fullText, &capture, full, failure));
    ZK_FUZZ_CHECK(capture.warnings.size() == nDecodeWarnings);
    ZK_FUZZ_CHECK(zktest::Outline(plain) == zktest::Outline(full));
    return 0;
}
