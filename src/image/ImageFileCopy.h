#pragma once

#include <cstddef>
#include <cstdint>

class File;

// The loader's two passes over an image: the copy into the work copy and the
// byte sum of the work copy. Both are sequential and read at explicit offsets;
// memory stays within one bounded buffer whatever the image size.

// Largest image length: the length is a 32-bit value.
inline constexpr uint64_t kMaxImageLength = 0xFFFFFFFFull;
// Logical copy block and checksum piece; a pass may carry several in one call.
inline constexpr size_t kCopyBlockBytes = 8192;
inline constexpr size_t kChecksumPieceBytes = 336;
// The buffer a pass uses: a whole number of copy blocks and checksum pieces.
inline constexpr size_t kPassBufferBytes = kCopyBlockBytes * kChecksumPieceBytes / 16 * 2;  // 336 KiB

enum class CopyStatus { Ok, ReadFailed, WriteFailed, TooLarge };

struct CopyOutcome {
    CopyStatus status = CopyStatus::Ok;
    uint64_t bytes = 0;  // bytes in the destination when the copy ended
};

// Copies `source` into the empty `dest` until a read comes back short. Holes of a
// sparse source stay holes. Refuses a source longer than kMaxImageLength, before
// copying when its size is known and as soon as the copy passes it otherwise.
CopyOutcome CopyImageFile(const File& source, File& dest);

// CopyImageFile that also sums the bytes copied, behind the copy on a second
// thread: with status Ok, `sum` is the byte sum of the first `bytes` bytes of
// `dest`. A failed read-back counts as ReadFailed.
CopyOutcome CopyAndSumImageFile(const File& source, File& dest, uint64_t& sum);

// The byte sum of an image on disk, as the loader and every writer that changes
// the work copy need it: the sum of the first `length` bytes of `file`, each 0..255. False on a read error or
// when the file ends before `length` bytes.
bool SumImageFile(const File& file, uint64_t length, uint64_t& sum);
