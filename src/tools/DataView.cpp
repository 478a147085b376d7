#include "tools/DataView.h"

#include "device/Device.h"
#include "device/DeviceState.h"
#include "image/FileImage.h"
#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"
#include "tools/AddressJump.h"
#include "tools/HexInput.h"

DataViewLookup::DataViewLookup(FileImage& image, Device& device, AddressJump& jump, StatusLine& status,
                               MessageBoxes& boxes, std::function<bool()> workerIdle,
                               std::function<std::shared_ptr<void>()> claim)
    : m_image(image),
      m_device(device),
      m_jump(jump),
      m_status(status),
      m_boxes(boxes),
      m_workerIdle(std::move(workerIdle)),
      m_claim(std::move(claim)) {}

std::optional<DataViewResult> DataViewLookup::Press(const std::string& addressText) {
    if (addressText.empty()) {
        m_boxes.Show(EmptyAddressMessage, "提示", MessageIcon::Exclamation);
        return std::nullopt;
    }
    return LookUp(ReadHexText(addressText));
}

DataViewResult DataViewLookup::LookUp(uint32_t address) {
    DataViewResult result;
    // A running command holds the one connection: the chip is left to it.
    // So does a job or another program holding the programmer; the window's hold ends with the look-up.
    std::shared_ptr<void> claim;
    bool busy = m_workerIdle && !m_workerIdle();
    if (!busy && m_claim) {
        claim = m_claim();
        busy = claim == nullptr;
    }
    const int state = busy ? NoProgrammer : m_device.CheckDevice();

    if (!m_image.loaded()) {
        result.fileText = "未知";
        result.status = "文件未打开";
    } else if (address >= m_image.length()) {
        result.fileText = "溢出";
        result.status = "文件溢出";
    } else {
        uint8_t byte = 0;
        if (m_image.ReadWork(address, &byte, 1) == 1) {
            m_jump.GoToAddress(address);
            result.fileText = HexByteText(byte);
            result.status = "查文件成功";
        } else {
            result.fileText = "未知";
            result.status = "读文件错误";
        }
    }

    if (busy) {
        result.chipText = "未知";
        result.status += ",设备忙";
    } else if (state == ChipReady) {
        uint8_t chipByte = 0;
        if (m_device.Read(&chipByte, 1, address) < 1) {
            result.chipText = "未知";
            result.status += ",读芯片错误";
        } else {
            result.chipText = HexByteText(chipByte);
            result.status += ",查芯片成功";
        }
    } else {
        result.chipText = "未知";
        result.status += ",设备未连接";
    }
    if (!busy) m_device.CloseDevice();

    result.status += "...";
    m_status.SetStatus(FinishedStatus, false, false);
    return result;
}
