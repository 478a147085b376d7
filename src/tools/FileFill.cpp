#include "tools/FileFill.h"

#include <algorithm>
#include <vector>

#include "hexview/HexView.h"
#include "image/FileImage.h"
#include "image/ImageFileCopy.h"
#include "image/ImageTexts.h"
#include "operations/WorkerState.h"
#include "ports/ApplicationTitle.h"
#include "ports/CommandIds.h"
#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"
#include "ports/WindowPorts.h"
#include "tools/HexInput.h"

std::optional<uint32_t> ReadFillLength(const std::string& text) {
    uint64_t count = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        count = count * 10 + static_cast<uint64_t>(c - '0');
        // Ten digits at most: no wrap of the 64-bit value before this test.
        if (count > kMaxImageLength) return std::nullopt;
    }
    return static_cast<uint32_t>(count);
}

FileFill::FileFill(FileImage& image, HexView& view, StatusLine& status, MessageBoxes& boxes,
                   ControlTexts& texts, const WorkerState& state, std::function<bool()> editMode)
    : m_image(image),
      m_view(view),
      m_status(status),
      m_boxes(boxes),
      m_texts(texts),
      m_state(state),
      m_editMode(std::move(editMode)) {}

std::string FileFill::EndAddressText() const {
    constexpr char kDigits[] = "0123456789ABCDEF";
    uint32_t value = m_image.length();
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return text;
}

FillOutcome FileFill::Press(const FillRequest& request) {
    FillOutcome outcome;
    const std::pair<const std::string*, const char*> required[] = {
        {&request.address, EmptyAddressMessage},
        {&request.length, EmptyLengthMessage},
        {&request.data, EmptyDataMessage},
    };
    for (const auto& [text, message] : required) {
        if (text->empty()) {
            m_boxes.Show(message, "提示", MessageIcon::Exclamation);
            return outcome;
        }
    }
    const uint32_t address = ReadHexText(request.address);

    if (!m_editMode || !m_editMode()) {
        outcome.dialogStatus = NotEditModeText;
        m_status.SetStatus(NotEditModeText, true, false);
        m_boxes.Show(NotEditModeText, kApplicationTitle, MessageIcon::None);
        return outcome;
    }
    // Program and verify read the work copy: neither its bytes nor the page may move under them.
    if (!m_image.loaded() || m_state.WorkCopyInUse()) {
        m_boxes.Show(BusyMessage, "提示", MessageIcon::Information);
        return outcome;
    }
    // Appending starts at the end as it is now, whatever the read-only text says.
    const uint64_t start = request.appendAtEnd ? m_image.length() : address;
    const std::optional<uint32_t> count = ReadFillLength(request.length);
    if (!count || start + *count > kMaxImageLength) {
        m_boxes.Show(OutOfRangeMessage, "提示", MessageIcon::Exclamation);
        return outcome;
    }
    const auto value = static_cast<uint8_t>(ReadHexText(request.data));

    const bool written = Write(start, *count, value);
    const bool counted = TakeStockOfWorkCopy();
    if (RowCountOf(m_image.length()) > kDisplayRowLimit)
        m_boxes.Show(TooLargeText, "警告", MessageIcon::Exclamation);
    m_view.UpdateScrollRange();
    if (request.appendAtEnd) outcome.addressText = EndAddressText();
    m_view.RefreshPage();

    if (written && counted) {
        outcome.dialogStatus = FinishedText;
        m_status.SetStatus(FinishedText, false, false);
    } else {
        outcome.dialogStatus = FailedText;
        m_status.SetStatus(FailedText, true, true);
    }
    return outcome;
}

bool FileFill::Write(uint64_t start, uint64_t count, uint8_t value) {
    // A start past the end: the gap is 0xFF, never a hole left to the file system.
    if (start > m_image.length() && !m_image.ExtendWithFF(start)) return false;
    std::vector<uint8_t> piece(static_cast<size_t>(std::min<uint64_t>(count, kPieceBytes)), value);
    for (uint64_t done = 0; done < count;) {
        const auto n = static_cast<size_t>(std::min<uint64_t>(count - done, kPieceBytes));
        if (!m_image.WriteWork(start + done, piece.data(), n)) return false;
        done += n;
    }
    return true;
}

bool FileFill::TakeStockOfWorkCopy() {
    const int64_t size = m_image.workCopy().Size();
    bool known = size >= 0;
    if (known) {
        const auto length =
            static_cast<uint32_t>(std::min<uint64_t>(static_cast<uint64_t>(size), kMaxImageLength));
        m_image.SetLength(length);
        m_image.SetSizeText(SizeText(length));
        uint64_t sum = 0;
        known = SumImageFile(m_image.workCopy(), length, sum);
        // Unreadable: the old sum stays, and the failure status says the fill went wrong.
        if (known) m_image.SetChecksum(sum);
    }
    m_texts.SetText(CommandId::SizeLabel, m_image.sizeText());
    m_texts.SetText(CommandId::ChecksumLabel, m_image.checksumText());
    return known;
}
