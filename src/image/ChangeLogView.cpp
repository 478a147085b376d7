#include "image/ChangeLogView.h"

#include <cerrno>
#include <cstdint>

#include "platform/File.h"
#include "platform/Gbk.h"

ChangeLogView ReadChangeLogView(const std::string& path, size_t limit) {
    ChangeLogView view;
    File file;
    if (!file.Open(path, File::Mode::ReadOnly)) {
        view.outcome = errno == ENOENT ? ChangeLogView::Outcome::Missing : ChangeLogView::Outcome::Unreadable;
        return view;
    }
    const int64_t size = file.Size();
    if (size < 0) {
        view.outcome = ChangeLogView::Outcome::Unreadable;
        return view;
    }
    const uint64_t length = static_cast<uint64_t>(size);
    const uint64_t start = length > limit ? length - limit : 0;
    std::string bytes(static_cast<size_t>(length - start), '\0');
    if (!bytes.empty() &&
        file.ReadAt(start, bytes.data(), bytes.size()) != static_cast<int64_t>(bytes.size())) {
        view.outcome = ChangeLogView::Outcome::Unreadable;
        return view;
    }
    view.outcome = ChangeLogView::Outcome::Read;
    if (start > 0) {
        view.cut = true;
        // A cut may fall inside a two-byte character: drop up to the next line.
        const size_t newline = bytes.find('\n');
        bytes.erase(0, newline == std::string::npos ? bytes.size() : newline + 1);
    }
    std::string lines;
    lines.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) lines += bytes[i];
    view.text = Gbk::ToUtf8(lines);
    return view;
}
