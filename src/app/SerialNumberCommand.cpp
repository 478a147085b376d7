#include "app/SerialNumberCommand.h"

#include "device/ProductDataFile.h"
#include "ports/MessageBoxes.h"
#include "ports/StatusLine.h"

void ShowSerialNumber(const ProductDataFile& dataFile, StatusLine& status, MessageBoxes& boxes) {
    const std::string serial = dataFile.ReadSerialNumber();
    status.SetStatus("获取序列号成功...", false, false);
    boxes.Show("通用版序列号:        \r\n" + serial, "产品信息", MessageIcon::Information);
}
