#pragma once

class MessageBoxes;
class ProductDataFile;
class StatusLine;

// Command 32809: reads the serial number from the product data file again and
// shows it in the "产品信息" box, after the status line has said so.
void ShowSerialNumber(const ProductDataFile& dataFile, StatusLine& status, MessageBoxes& boxes);
