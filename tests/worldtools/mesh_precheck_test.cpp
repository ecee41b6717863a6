// The checks made on PLY and STL bytes before the importer reads them: each shape of file the
// importer writes, reads or allocates past its arrays on is refused with the place it goes
// wrong, and well-formed files, ASCII and binary, pass untouched.
#include <gtest/gtest.h>

#include "test_files.h"
#include "tests/worldtools/mesh_scenes.h"
#include "tools/world/mesh_export.h"
#include "tools/world/mesh_import.h"
#include "tools/world/mesh_precheck.h"
#include "tools/world/primitives.h"

namespace {

std::string why(const std::string& ext, const std::string& bytes) {
    std::string error;
    if (precheckMeshBytes(ext, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), error)) return "passes";
    return error;
}

const char* const kHead = "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\nproperty float z\n";
const char* const kVerts = "0 0 0\n1 0 0\n0 1 0\n";

std::string binaryPly(const std::string& faceHeader, const std::string& faceBytes) {
    std::string s = "ply\nformat binary_little_endian 1.0\nelement vertex 3\nproperty uchar x\nproperty uchar y\n"
                    "property uchar z\n" + faceHeader + "end_header\n";
    s += std::string("\0\0\0\1\0\0\0\1\0", 9);
    return s + faceBytes;
}

TEST(MeshPrecheck, PlyShapesTheImporterMisreadsAreRefused) {
    const std::string face = "element face 1\nproperty list uchar int vertex_indices\n";
    const struct {
        std::string file, says;
    } cases[] = {
        {"ply\nformat ascii 1.0\nelement vertex 3\nformat binary_little_endian 1.0\nproperty uchar x\nend_header\n",
         "PLY header line 4: expected \"format ascii|binary_little_endian|binary_big_endian 1.0\" once, before the elements"},
        {"ply\nelement vertex 0\nend_header\n", "the PLY header has no format line"},
        // The importer ends a line at a lone carriage return, which would cut z from the vertex.
        {"ply\nformat ascii 1.0\nelement vertex 3\nproperty float y\n\r\rproperty float z\nend_header\n",
         "the PLY header holds a byte that is not text (line 5)"},
        {"ply\nformat binary_little_endian 1.0\nelement vertex 1\nproperty uchar x\nend_header\n\n",
         "the binary PLY body starts with a line feed byte, which the importer skips"},
        {kHead + face + "end_header\n" + kVerts + "3 0 1.5 2\n",
         "element \"face\" 0 (at offset 172): a value of \"vertex_indices\" is not a whole number, as its type (int) needs"},
        {"ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\ncomment y follows\nproperty float y\nend_header\n",
         "PLY header line 5: comments and blank lines go before the first element"},
        {"ply\nformat binary_little_endian 1.0\nelement verlex 9\nproperty float x\nelement face 1\n"
         "property list short int vertex_indices\nend_header\n" + std::string(38, '\xEF'),
         "PLY header line 3: element \"verlex\" is not read (only vertex and face)"},
        {kHead + face + face + "end_header\n" + kVerts + "3 0 1 2\n3 0 1 2\n", "PLY header line 9: element \"face\" is declared twice"},
        {kHead + std::string("element tristrips 1\nproperty list int int vertex_indices\nend_header\n") + kVerts + "3 0 1 2\n",
         "PLY header line 7: triangle strips (element \"tristrips\") are not read"},
        {kHead + std::string("element face 1\nproperty list float int vertex_indices\nend_header\n") + kVerts + "3 0 1 2\n",
         "PLY header line 8: a list's count, and a vertex index, has a whole-number type"},
        {kHead + std::string("element face 1\nproperty list uchar float vertex_indices\nend_header\n") + kVerts + "3 0 1 2\n",
         "PLY header line 8: a list's count, and a vertex index, has a whole-number type"},
        {kHead + face + "end_header\n" + kVerts + "300 0 1 2\n",
         "element \"face\" 0 (at offset 172): the count of list \"vertex_indices\" is not a whole number that fits its type (uchar)"},
        {kHead + face + "end_header\n" + kVerts + "3.0 0 1 2\n", "element \"face\" 0 (at offset 172): the count of list"},
        {kHead + face + "end_header\n" + kVerts + "4 0 1 2\n",
         "element \"face\" 0 (at offset 172): the line ends before the element's last value"},
        // The importer reads one element per line: values split over lines or run together shift
        // what it takes for a list count.
        {kHead + face + "end_header\n0 0\n0\n1 0 0\n0 1 0\n3 0 1 2\n",
         "element \"vertex\" 0 (at offset 154): the line ends before the element's last value"},
        {kHead + face + "end_header\n0 0 0 1 0 0\n0 1 0\n3 0 1 2\n",
         "element \"vertex\" 0 (at offset 154): the line holds more values than the element has properties"},
        {kHead + face + "end_header\n" + kVerts + "\n3 0 1 2\n",
         "element \"face\" 0 (at offset 172): a blank line where the element's values belong"},
        {kHead + face + "end_header\n" + kVerts + "3 0 1 2\n3 0 1 2\n", "the PLY body holds more lines than its elements"},
        {kHead + face + "end_header\n" + kVerts + "3 0 1\r2\n",
         "element \"face\" 0 (at offset 172): a carriage return that does not end the line"},
        {kHead + std::string("element face 2\nproperty list uchar int vertex_indices\nend_header\n") + kVerts + "3 0 1 2\n",
         "the PLY body ends before element \"face\" 1"},
        {kHead + face + "property list uchar float texcoord\nend_header\n" + kVerts + "2 0 1 6 0 0 1 0 0 1\n",
         "element \"face\" 0 (at offset 207): 6 texture coordinates for 2 corners"},
        {kHead + std::string("element face 1\nproperty list uchar float texcoord\nend_header\n") + kVerts + "6 0 0 1 0 0 1\n",
         "the PLY faces have a texcoord list but no vertex_indices list"},
        {kHead + std::string("element face 1\nproperty list uchar int vertex_indices\nproperty list uchar uchar red\n"
                             "end_header\n") + kVerts + "3 0 1 2 0\n",
         "PLY header line 9: \"red\" is a list; lists other than vertex_indices and texcoord are not read"},
        {binaryPly("element face 1\nproperty list char int vertex_indices\n", std::string("\xFF", 1)),
         "element \"face\" 0 (at offset 177): the count of list \"vertex_indices\" is not a whole number"},
        {binaryPly("element face 1\nproperty list ushort uchar vertex_indices\n", std::string("\x00\x01\x00\x01\x02", 5)),
         "the PLY body ends inside element \"face\" 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(why("ply", c.file).rfind(c.says, 0), 0u) << why("ply", c.file);
    }
    // The same shapes written properly pass: a face with per-corner coordinates, a binary face.
    EXPECT_EQ(why("ply", kHead + face + "property list uchar float texcoord\nend_header\n" + kVerts + "3 0 1 2 6 0 0 1 0 0 1\n"),
              "passes");
    EXPECT_EQ(why("ply", kHead + face + "end_header\r\n0 0 0\r\n1 0 0\r\n0 1 0\r\n3 0 1 2\r\n\n"), "passes");
    EXPECT_EQ(why("ply", binaryPly("element face 1\nproperty list ushort uchar vertex_indices\n",
                                   std::string("\x03\x00\x00\x01\x02", 5))),
              "passes");
    EXPECT_EQ(why("ply", binaryPly("element face 1\nproperty list ushort uchar vertex_indices\n", "")).rfind(
                  "the PLY header's elements need at least", 0),
              0u);
}

TEST(MeshPrecheck, StlIsBinaryBySizeOrAsciiInItsGrammar) {
    PrimitiveParams p;
    const Mesh box = makeBox(p);
    const std::vector<uint8_t> bin = stlBinary(box);
    const std::string ascii = stlAscii(box);
    EXPECT_EQ(why("stl", std::string(bin.begin(), bin.end())), "passes");
    EXPECT_EQ(why("stl", ascii), "passes");
    EXPECT_EQ(why("stl", ascii + ascii), "passes");  // several solids
    // A binary header may hold anything but a byte-order mark, which the importer converts
    // (reading past the end for UTF-32).
    for (const std::string& mark : {std::string("\xFE\xFF\0\0", 4), std::string("\0\0\xFE\xFF", 4), std::string("\xEF\xBB\xBF"),
                                   std::string("\xFE\xFF"), std::string("\xFF\xFE")}) {
        std::string marked(bin.begin(), bin.end());
        marked.replace(0, mark.size(), mark);
        EXPECT_EQ(why("stl", marked), "the file starts with a text byte-order mark, which the importer would convert");
    }
    const std::string tri = "solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\n";
    EXPECT_EQ(why("stl", tri), "passes");  // no endsolid at the end
    std::string crlf;
    for (char c : tri) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(why("stl", crlf + "endsolid t\r\n"), "passes");
    EXPECT_EQ(why("stl", "solid\n" + tri.substr(8) + "endsolid\n"), "passes");  // no name
    EXPECT_EQ(why("stl", "solid Exported from a modeller (1.0)\n" + tri.substr(8) + "endsolid\n"), "passes");

    const struct {
        std::string file, says;
    } cases[] = {
        {"", "ASCII STL line 1: expected \"solid\""},
        {"solid t\nfacet normal 0 0\nouter loop\n", "ASCII STL line 2: expected three numbers on the line"},
        {"solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nvertex 1 1 0\n",
         "ASCII STL line 7: expected \"endloop\""},
        {"solid t\nfacet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nendloop\n", "ASCII STL line 6: expected \"vertex\""},
        {tri + "endsolid t\ngarbage\n", "ASCII STL line 10: expected \"solid\" or the end of the file"},
        {tri + "facets\n", "ASCII STL line 9: expected \"facet\" or \"endsolid\""},
        {"solid t\nfacet normal 0 0 1e\n", "ASCII STL line 2: expected three numbers on the line"},
        {"solid " + std::string(1200, 'n') + "\n", "ASCII STL line 1: a name longer than 1000 characters"},
        {"solid boxZ facet normal 0  zverrmal", "ASCII STL line 1: the solid's name holds the keyword \"facet\""},
        // The importer reads numbers only from the keyword's line, takes the first word after
        // "solid" for the name even when it is "endsolid", and stops a number at a bare point.
        {"solid x\nfacet normal 0\n0 0\n", "ASCII STL line 2: expected three numbers on the line"},
        {"solid x\nfacet\nnormal 0 0 1\n", "ASCII STL line 3: \"normal\" belongs on the line before"},
        {"solid endsolid x\nfacet normal 0 0 1\n", "ASCII STL line 3: expected \"outer\""},
        {"solid x\nfacet normal 5. 0 1\n", "ASCII STL line 2: expected three numbers on the line"},
        {"solid\teggggd\r\rendsolid\r\rsolid\r boxZ facet vertex", "byte 12 is a carriage return that does not end a line"},
        {"solid my vertex_count\nendsolid\n", "ASCII STL line 1: the solid's name holds the keyword \"vertex_count\""},
        {"solid t\n\x01\n", "the file is neither binary STL (84 bytes and 50 per triangle) nor ASCII text (byte 8 is not text)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.substr(0, 200));
        EXPECT_EQ(why("stl", c.file), c.says);
    }
    // Two solids import as one mesh of both.
    const std::string dir = freshDir("stl");
    writeText(dir + "/two.stl", ascii + ascii);
    Mesh m;
    std::string error;
    ASSERT_TRUE(importMeshFile(dir + "/two.stl", "", m, error)) << error;
    EXPECT_EQ(m.triangles.size(), 24u);
}

}  // namespace
