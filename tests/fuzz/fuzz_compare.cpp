// Fuzzes the text comparison: the input holds two files (two leading bytes give where the first
// ends, a third picks the block size). Checks that each file equals itself, that the result does
// not depend on the order or the block size, and that it matches a plain model that decodes both
// files whole and compares their pieces one by one.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "acquisition/files_differ.h"
#include "base/cp932.h"

namespace {

std::string g_pathA;
std::string g_pathB;

void Write(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr || fwrite(data, 1, size, f) != size || fclose(f) != 0)
        abort();
}

// Text mode: CR LF reads as LF, 0x1A ends the text; then pieces as fgets gives them.
std::vector<std::string> ModelPieces(const uint8_t* data, size_t size)
{
    std::string text;
    for (size_t i = 0; i < size && data[i] != 0x1A; ++i) {
        if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n')
            continue;
        text += static_cast<char>(data[i]);
    }
    std::vector<std::string> pieces;
    std::string piece;
    for (char c : text) {
        piece += c;
        if (c == '\n' || piece.size() == 1023) {
            pieces.push_back(piece);
            piece.clear();
        }
    }
    if (!piece.empty())
        pieces.push_back(piece);
    return pieces;
}

int ModelCompare(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    if (a.size() != b.size())
        return 1;
    for (size_t i = 0; i < a.size(); ++i) {
        std::string ta = a[i].substr(0, a[i].find('\0'));
        std::string tb = b[i].substr(0, b[i].find('\0'));
        if (cp932::Compare(ta.data(), ta.size(), tb.data(), tb.size()) != 0)
            return 1;
    }
    return 0;
}

void RemoveFiles()
{
    unlink(g_pathA.c_str());
    unlink(g_pathB.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::string base = "/tmp/sitewake-fuzz-compare-" + std::to_string(getpid());
    g_pathA = base + "-a";
    g_pathB = base + "-b";
    atexit(RemoveFiles);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3)
        return 0;
    size_t split = (static_cast<size_t>(data[0]) << 8 | data[1]) % (size - 2);
    static const size_t kBlocks[] = {2, 3, 5, 16, 1000, 64 * 1024};
    size_t block = kBlocks[data[2] % (sizeof(kBlocks) / sizeof(kBlocks[0]))];
    const uint8_t* a = data + 3;
    size_t sizeA = split;
    const uint8_t* b = a + sizeA;
    size_t sizeB = size - 3 - sizeA;
    Write(g_pathA, a, sizeA);
    Write(g_pathB, b, sizeB);
    const char* pa = g_pathA.c_str();
    const char* pb = g_pathB.c_str();
    int ab = CompareTextFilesInBlocks(pa, pb, block);
    if (CompareTextFilesInBlocks(pa, pa, block) != 0 || CompareTextFilesInBlocks(pb, pb, block) != 0)
        abort();
    if (CompareTextFilesInBlocks(pb, pa, block) != ab || CompareTextFiles(pa, pb) != ab)
        abort();
    if (ModelCompare(ModelPieces(a, sizeA), ModelPieces(b, sizeB)) != ab)
        abort();
    return 0;
}
