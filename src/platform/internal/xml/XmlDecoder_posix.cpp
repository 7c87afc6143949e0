#include <iconv.h>

#include <cerrno>

#include "platform/internal/xml/XmlDecoder.h"

// The C library's converter decodes whatever encoding it knows by name.

namespace ZkXmlDecoder {

DecodeResult DecodeToUtf8(const std::string& strEncoding, const char* p, size_t n,
                          ZkFileSystem::Bytes& out, size_t& nBadOffset)
{
    iconv_t cd = iconv_open("UTF-8", strEncoding.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return DecodeResult::kUnknownEncoding;
    const size_t begin = out.size();
    out.resize(begin + n + n / 2 + 16);
    char* in = const_cast<char*>(p);
    size_t inLeft = n;
    size_t used = begin;
    DecodeResult result = DecodeResult::kOk;
    while (inLeft > 0) {
        char* dst = out.data() + used;
        size_t outLeft = out.size() - used;
        const size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
        used = out.size() - outLeft;
        if (r != static_cast<size_t>(-1))
            continue;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ: a sequence it cannot decode; EINVAL: cut short at the end.
        nBadOffset = static_cast<size_t>(in - p);
        result = DecodeResult::kInvalidBytes;
        break;
    }
    out.resize(used);
    iconv_close(cd);
    return result;
}

}  // namespace ZkXmlDecoder
