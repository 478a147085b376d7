#include "app/StartupSequence.h"

#include "device/ProductDataFile.h"
#include "ports/MessageBoxes.h"

namespace {
constexpr const char* kNote = "提示";
constexpr const char* kError = "错误";
}  // namespace

StartupSequence::StartupSequence(MessageBoxes& boxes, InstanceLocks& locks, DriverLoader& driver,
                                 ProductDataFile& dataFile, std::string workDirectory)
    : m_boxes(boxes),
      m_locks(locks),
      m_driver(driver),
      m_dataFile(dataFile),
      m_workDirectory(std::move(workDirectory)) {}

bool StartupSequence::Run() {
    if (m_locks.IsHeldElsewhere(InstanceName::Sibling)) {
        m_boxes.Show("请关闭XJQT_Quenby Flash编程器！    ", kNote, MessageIcon::Exclamation);
        return false;
    }
    if (!m_locks.Hold(InstanceName::Own) || !m_locks.HoldInDirectory(InstanceName::Own, m_workDirectory)) {
        m_boxes.Show("XJQT_Tarlo Flash编程器已经在运行！    ", kNote, MessageIcon::Exclamation);
        return false;
    }
    if (!m_dataFile.Open(m_workDirectory + ProductDataFile::FileName)) {
        m_boxes.Show(ProductDataText::Missing, kError, MessageIcon::Stop);
        return false;
    }
    if (!m_dataFile.CheckIntegrity()) {
        m_dataFile.Close();
        m_boxes.Show(ProductDataText::Damaged, kError, MessageIcon::Stop);
        return false;
    }
    if (!m_driver.LoadDriver()) {
        m_dataFile.Close();
        m_boxes.Show("文件丢失！   ", kError, MessageIcon::Stop);
        return false;
    }
    return true;
}
