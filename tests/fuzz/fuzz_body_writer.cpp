// Fuzzes the receive path: the input is cut into pieces (each led by a byte giving its length),
// fed to a BodyWriter, and the stored bytes are checked against a plain byte-by-byte model of the
// same rules and against properties every stored file has.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "acquisition/http_fetch.h"
#include "base/cp932.h"
#include "tests/common/memory_sink.h"

namespace {

// Position of needle in text walking code-page-932 characters one at a time, or npos.
size_t ModelFind(const std::string& text, const std::string& needle)
{
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, needle.size(), needle) == 0 && i + needle.size() <= text.size())
            return i;
        bool lead = cp932::IsLeadByte(static_cast<unsigned char>(text[i]));
        i += (lead && i + 1 < text.size()) ? 2 : 1;
    }
    return std::string::npos;
}

std::string ModelStore(const std::vector<std::string>& pieces, bool* started)
{
    std::string text;
    *started = false;
    for (std::string piece : pieces) {
        piece = piece.substr(0, piece.find('\0'));
        if (!*started) {
            size_t head = ModelFind(piece, "\r\n\r\n");
            size_t lt = ModelFind(piece, "<");
            if (head != std::string::npos)
                piece = piece.substr(head + 2);
            else if (lt != std::string::npos)
                piece = piece.substr(lt);
            else
                continue;
            *started = true;
        }
        text += piece;
    }
    std::string stored;
    for (char c : text) {
        if (c == '\n')
            stored += '\r';
        stored += c;
    }
    return stored;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> pieces;
    size_t pos = 0;
    while (pos < size) {
        size_t len = 1 + static_cast<size_t>(data[pos++]) * 12;
        len = len > kPieceSize ? kPieceSize : len;
        len = len > size - pos ? size - pos : len;
        pieces.emplace_back(reinterpret_cast<const char*>(data + pos), len);
        pos += len;
    }
    MemorySink sink;
    BodyWriter writer(sink);
    for (const std::string& piece : pieces) {
        char buffer[kPieceSize + 1];  // as the fetch receives it: zero-terminated
        memcpy(buffer, piece.data(), piece.size());
        buffer[piece.size()] = '\0';
        writer.TakePiece(buffer, piece.size());
    }
    if (!writer.Finish())
        abort();
    for (size_t piece : sink.pieces) {
        if (piece == 0 || piece > BodyWriter::kStoreBufferSize)
            abort();  // the writer streams through its buffer, in non-empty blocks
    }
    const std::string& out = sink.bytes;
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == '\n' && (i == 0 || out[i - 1] != '\r'))
            abort();  // a lone LF
        if (out[i] == '\0')
            abort();
    }
    if (!out.empty() && out.compare(0, 3, "\r\r\n") != 0 && out[0] != '<')
        abort();  // the body starts at a head end or at "<"
    if (out.size() > 2 * size)
        abort();
    bool started = false;
    if (ModelStore(pieces, &started) != out || started != writer.BodyStarted())
        abort();
    return 0;
}
