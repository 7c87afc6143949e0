// The simple markup read of plain library files against the pugixml read (the checks
// of the whole markup, then pugixml): whatever the simple markup read takes, the pugixml
// read takes too, without a warning, and gives the same tree; what it leaves,
// it leaves unchanged.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "internal/XmlReaderOutline.h"

namespace {

using ZkXmlReader::Tree;

ZkXmlDecoder::DecodedText Prepared(const std::string& bytes, ZkDiag::Capture* pCapture)
{
    ZkXmlDecoder::DecodedText text;
    EXPECT_TRUE(
        ZkXmlDecoder::Decode(ZkFileSystem::Bytes(bytes.begin(), bytes.end()), text, pCapture));
    return text;
}

struct Read {
    bool bTaken = false;
    std::string tree;
};

// The simple markup read; a text it leaves must be as it was.
Read Plain(const std::string& bytes)
{
    ZkXmlDecoder::DecodedText text = Prepared(bytes, nullptr);
    const std::string before(text.Data(), text.Size());
    Tree tree;
    Read r;
    r.bTaken = ZkXmlReader::ReadSimpleMarkup(text, tree);
    if (r.bTaken)
        r.tree = zktest::Outline(tree);
    else
        EXPECT_EQ(before, std::string(text.Data(), text.Size())) << bytes;
    return r;
}

// The pugixml read, taken only when it adds no warning to those of decoding.
Read Full(const std::string& bytes)
{
    ZkDiag::Capture capture;
    ZkXmlDecoder::DecodedText text = Prepared(bytes, &capture);
    const size_t nDecodeWarnings = capture.warnings.size();
    Tree tree;
    ZkXmlReader::Failure failure;
    Read r;
    r.bTaken = ZkXmlReader::ReadWithPugixml(text, &capture, tree, failure) &&
               capture.warnings.size() == nDecodeWarnings;
    if (r.bTaken)
        r.tree = zktest::Outline(tree);
    return r;
}

void ExpectPlainAgrees(const std::string& bytes)
{
    const Read plain = Plain(bytes);
    if (!plain.bTaken)
        return;
    const Read full = Full(bytes);
    EXPECT_TRUE(full.bTaken) << "taken by the simple markup read alone: " << bytes;
    EXPECT_EQ(full.tree, plain.tree) << bytes;
}

}  // namespace

// Each document with whether the simple markup read takes it. Long for its
// table: a row per document.
TEST(XmlReaderTest, SimpleMarkupReadTakesPlainFilesAsPugixmlReadsThem)
{
    const std::string row = "<r a=\"1\" b='2'/>";
    const struct {
        std::string xml;
        bool bPlain;
    } cases[] = {
        {"<?xml version=\"1.0\"?>\n<R>\n  " + row + "\n</R>\n", true},
        {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?><R>" + row + "</R>", true},
        {"<?xml version=\"1.0\" encoding=\"GB2312\"?><R d=\"\xB9\xDC\"/>", true},
        {"<R/>", true},
        {" \t\r\n<R></R> \n", true},
        {"<R><a><b><c x=\"\"/></b></a><a/></R>", true},
        {"<R\n\ta\n=\n'x\"y' b = \"x'y>z\" / >", false},
        {"<R\n\ta\n=\n'x\"y' b = \"x'y>z\"\n/>", true},
        {"<R a=\"&amp;&lt;&gt;&quot;&apos;\"/>", true},
        {"<R a=\"&#65;&#x42;&#x4a;&#x4A;&#20013;&#x1F600;&#9;&#10;&#13;&#0000000065;\"/>", true},
        {"<R a=\"x\ty\nz\rw\r\nv\n\r\"/>", true},
        {"<R a=\"&#1;\"/>", false},
        {"<R a=\"&#xD800;\"/>", false},
        {"<R a=\"&#xFFFE;\"/>", false},
        {"<R a=\"&#x110000;\"/>", false},
        {"<R a=\"&#99999999999999999999999;\"/>", false},
        {"<R a=\"&#X41;\"/>", false},
        {"<R a=\"&#;\"/>", false},
        {"<R a=\"&#x;\"/>", false},
        {"<R a=\"&#65\"/>", false},
        {"<R a=\"&amp\"/>", false},
        {"<R a=\"&nbsp;\"/>", false},
        {"<R a=\"a & b\"/>", false},
        {"<R a=\"a<b\"/>", false},
        {"<R a=\"1\" a=\"2\"/>", false},
        {"<R a=\"1\"b=\"2\"/>", false},
        {"<R a=\"1\"/ >", false},
        {"<R a=1/>", false},
        {"<R a/>", false},
        {"<R> </R>", false},
        {"<R>\n</R>", false},
        {"<R>text</R>", false},
        {"<R><a/>text</R>", false},
        {"<R><!-- c --></R>", false},
        {"<!-- c --><R/>", false},
        {"<R/><!-- c -->", false},
        {"<R><![CDATA[x]]></R>", false},
        {"<R><?pi x?></R>", false},
        {"<?xml-stylesheet href=\"a\"?><R/>", false},
        {"<?XML version=\"1.0\"?><R/>", false},
        {"<!DOCTYPE R><R/>", false},
        {"<R></S>", false},
        {"<R></RR>", false},
        {"<RR></R>", false},
        {"<R></R >", true},
        {"<R></R/>", false},
        {"<R/><R/>", false},
        {"<R/>x", false},
        {"", false},
        {"<?xml version=\"1.0\"?>", false},
        {"<?xml version=\"1.0\"", false},
        {"<R", false},
        {"<R a=\"1", false},
        {"<R>", false},
        {"<R><a>", false},
        {"<1R/>", false},
        {"<-R/>", false},
        {"<_R:x.y-z9 _a:b.c-d1=\"\"/>", true},
        {"<\xE8\x8A\x82\xE7\x82\xB9 \xE5\x90\x8D=\"\xE7\xA7\xB0\"/>", false},
        {"<R \xE5\x90\x8D=\"\xE7\xA7\xB0\"/>", false},
        {"<R a=\"\xE7\xA7\xB0\"><\xE8\x8A\x82/></R>", false},
        {"<R a=\"\xC3\x28\"/>", false},
        {"<R a=\"\xE4\xB8\"/>", false},
        {"<R a=\"\xED\xA0\x80\"/>", false},
        {"<R a=\"\xEF\xBF\xBE\"/>", false},
        {"<R a=\"x\x80\"/>", false},
        {"<R a=\"\x01\"/>", false},
        {"<R a=\"\x7F\"/>", true},
        {"<R\xE4\xB8 a=\"\"/>", false},
        {"<R><a\xFF/></R>", false},
        {"<R \xE4\xB8=\"\"/>", false},
        {"<?xml version=\"1.0\" x=\"\xC3\"?><R/>", false},
        {"<?xml version='1.1' encoding='UTF-8' standalone='no' ?><R/>", true},
        {"<?xml version=\"1.0\" standalone=\"YES\"?><R/>", false},
        {"<?xml encoding=\"UTF-8\" version=\"1.0\"?><R/>", false},
        {"<?xml version=\"1.0\"encoding=\"UTF-8\"?><R/>", false},
        {"<?xml version=\"1.0 \"?><R/>", false},
        {"<?xml version=\"1.0'?><R/>", false},
        {"<?xml version=\"1.0\" standalone=\"no\" encoding=\"UTF-8\"?><R/>", false},
        {"<\xC2\xB7R/>", false},
        {"<R \xCC\x80"
         "a=\"\"/>",
         false},
        {"<R><\xE2\x80\xBF"
         "a/></R>",
         false},
        {"<R\xC3\x97/>", false},
        {"<R a\xCC\x80=\"\" \xE4\xB8\xAD\xC2\xB7=\"\"><\xF0\x90\x80\x80/></R>", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.bPlain, Plain(c.xml).bTaken) << c.xml;
        ExpectPlainAgrees(c.xml);
    }
    // Sequences slid through values long enough to be read 16 bytes at a
    // time, with text after them: a broken one is left wherever it falls.
    const struct {
        const char* seq;
        bool bValid;
    } seqs[] = {{"\xE4\xB8\xAD", true},
                {"\xF0\x9F\x98\x80", true},
                {"\xC3\xA4", true},
                {"\xE4\xB8", false},
                {"\x80", false},
                {"\xED\xA0\x80", false},
                {"\xEF\xBF\xBE", false},
                {"\xC0\x80", false},
                {"\xF4\x90\x80\x80", false},
                {"\x01", false}};
    for (const auto& q : seqs)
        for (size_t nBefore = 0; nBefore < 34; ++nBefore) {
            const std::string value =
                std::string(nBefore, 'a') + q.seq + std::string(33 - nBefore, 'z');
            const std::string xml =
                "<R><r a=\"" + value + "\" b=\"" + value + "\"/></R>" + std::string(20, ' ');
            EXPECT_EQ(q.bValid, Plain(xml).bTaken) << xml;
            ExpectPlainAgrees(xml);
        }
    // Beyond 32 attributes the simple markup read leaves the comparisons to the pugixml one.
    std::string many = "<R";
    for (int i = 0; i < 32; ++i)
        many += " n" + std::to_string(i) + "=\"\"";
    EXPECT_TRUE(Plain(many + "/>").bTaken);
    EXPECT_FALSE(Plain(many + " m=\"\"/>").bTaken);
    ExpectPlainAgrees(many + "/>");
}

// Plain documents with bytes that matter to XML put in, taken out or changed
// at random: the simple markup read never takes what the pugixml read would not, nor reads
// it otherwise.
TEST(XmlReaderTest, SimpleMarkupReadAgreesOnMutatedDocuments)
{
    const std::string seed =
        "<?xml version=\"1.0\"?>\n<R>\n  <r a=\"1 &amp; &#x4E2D;\" b='x\ty'/>\n"
        "  <s c=\"\xE4\xB8\xAD\"><t/></s>\n</R>\n";
    const std::string alphabet = "<>/=\"'&#;xX \t\r\n!?-[]a1:._\xE4\xB8\xAD";
    std::mt19937 random(20261207);
    size_t nTaken = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string xml = seed;
        for (int k = static_cast<int>(random() % 3) + 1; k > 0; --k) {
            const size_t at = random() % (xml.size() + 1);
            const char c = alphabet[random() % alphabet.size()];
            switch (random() % 3) {
            case 0:
                xml.insert(at, 1, c);
                break;
            case 1:
                if (at < xml.size())
                    xml.erase(at, 1);
                break;
            default:
                if (at < xml.size())
                    xml[at] = c;
                break;
            }
        }
        nTaken += Plain(xml).bTaken ? 1 : 0;
        ExpectPlainAgrees(xml);
    }
    // Enough of them stay plain for the comparison to mean something.
    EXPECT_GT(nTaken, 1500u);
}
