#pragma once

class DataViewLookup;
class FileFill;
class FindSession;
class GotoForm;

// The address tools' dialogs as the core opens them; the Qt side shows them
// modally over the main window and routes their buttons into the core objects.
class ToolDialogs {
public:
    virtual ~ToolDialogs() = default;
    // "数据查看": modal, one look-up per "确定" until it is closed.
    virtual void RunDataView(DataViewLookup& lookup) = 0;
    // "数据查找": modal, "确定" then "下一个"; closing it tells the session.
    virtual void RunFind(FindSession& session) = 0;
    // "文件地址定位": modeless, shown at once; any number may be open together.
    virtual void OpenGoto(GotoForm& form) = 0;
    // "文件数据填充": modal, one fill per "确定" until it is closed.
    virtual void RunFill(FileFill& fill) = 0;
};
