#include "cli/StreamImage.h"

#include <vector>

#include "platform/File.h"

namespace {
constexpr size_t kPiece = 64 * 1024;
}

namespace StreamImage {

Result Spool(FILE* in, const std::string& path) {
    File file;
    if (!file.Open(path, File::Mode::CreateReadWrite)) return Result::FileFailed;
    std::vector<char> piece(kPiece);
    uint64_t offset = 0;
    for (;;) {
        const size_t got = std::fread(piece.data(), 1, piece.size(), in);
        if (got > 0 && !file.WriteAt(offset, piece.data(), got)) return Result::FileFailed;
        offset += got;
        if (got < piece.size()) break;
    }
    return std::ferror(in) != 0 ? Result::StreamFailed : Result::Ok;
}

Result Send(const std::string& path, FILE* out) {
    File file;
    if (!file.Open(path, File::Mode::ReadOnly)) return Result::FileFailed;
    std::vector<char> piece(kPiece);
    for (uint64_t offset = 0;;) {
        const int64_t got = file.ReadAt(offset, piece.data(), piece.size());
        if (got < 0) return Result::FileFailed;
        if (got == 0) break;
        if (std::fwrite(piece.data(), 1, static_cast<size_t>(got), out) != static_cast<size_t>(got))
            return Result::StreamFailed;
        offset += static_cast<uint64_t>(got);
    }
    return std::fflush(out) == 0 && std::ferror(out) == 0 ? Result::Ok : Result::StreamFailed;
}

}  // namespace StreamImage
