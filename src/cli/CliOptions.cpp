#include "cli/CliOptions.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <limits>
#include <sstream>

#include "cli/CliTexts.h"

#ifndef FLASH_VERSION
#define FLASH_VERSION "0"
#endif

namespace {

struct CommandRow {
    CliCommand command;
    const char* name;
    const char* description;
    bool takesFile;
    bool needsImage;
};

constexpr std::array<CommandRow, 7> kCommands{{
    {CliCommand::Detect, "detect", "检测编程器和芯片", false, false},
    {CliCommand::Read, "read", "读取芯片，保存到文件 FILE", true, false},
    {CliCommand::Write, "write", "自动：擦除、烧录文件 FILE、校验", true, true},
    {CliCommand::Verify, "verify", "用文件 FILE 校验芯片", true, true},
    {CliCommand::Erase, "erase", "擦除芯片", false, false},
    {CliCommand::Blank, "blank", "查空", false, false},
    {CliCommand::Program, "program", "烧录文件 FILE（不擦除、不校验）", true, true},
}};

const CommandRow& RowOf(CliCommand command) {
    for (const CommandRow& row : kCommands)
        if (row.command == command) return row;
    return kCommands.front();
}

constexpr const char* kExitStatusHelp =
    "退出状态:\n"
    "  0  成功\n"
    "  1  操作失败（擦除、烧录、读取失败，芯片不为空）\n"
    "  2  命令行有误\n"
    "  3  设备未连接（或无权打开编程器，或编程器正被窗口程序、另一个任务使用）\n"
    "  4  设备已连接，未检测到芯片，或芯片未知（用 --chip 指定）\n"
    "  5  文件错误（无法读取或写入文件，文件为空，文件大于芯片而未给 --allow-overflow，驱动库丢失或不可用，\n"
    "     临时工作目录已满，标准输出或标准错误无法写入）\n"
    "  6  校验发现差异\n"
    "使用 --all 时，状态为序号最小的失败编程器的状态。";

void LabelInChinese(CLI::App& app) {
    auto formatter = app.get_formatter();
    formatter->label("Usage", "用法");
    formatter->label("OPTIONS", "选项");
    formatter->label("SUBCOMMAND", "命令");
    formatter->label("SUBCOMMANDS", "命令");
    formatter->label("POSITIONALS", "参数");
    formatter->label("REQUIRED", "必需");
    formatter->label("TEXT", "文本");
    formatter->label("UINT", "整数");
    formatter->label("INT", "整数");
    formatter->label("Positionals", "参数");
    formatter->column_width(28);
}

const CommandRow* FindCommand(const std::string& name) {
    for (const CommandRow& row : kCommands)
        if (name == row.name) return &row;
    return nullptr;
}

std::string CommandList() {
    std::string list;
    for (const CommandRow& row : kCommands) list += (list.empty() ? "" : "、") + std::string(row.name);
    return list;
}

// The first word that is neither an option nor an option's value: the command.
std::string FirstWord(const std::vector<std::string>& arguments) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--driver" || a == "--max-differences" || a == "--chip" || a == "--log") {
            ++i;
            continue;
        }
        if (!a.empty() && a[0] != '-') return a;
    }
    return {};
}

// The first argument that looks like an option and is none of ours; empty when none.
std::string UnknownOption(const std::vector<std::string>& arguments) {
    static const std::array<const char*, 12> known = {
        "-h",    "--help",   "--version",         "--all",  "--json", "--quiet", "--allow-overflow",
        "--log", "--driver", "--max-differences", "--chip", "-"};
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (a == "--driver" || a == "--max-differences" || a == "--chip" || a == "--log") {
            ++i;
            continue;
        }
        if (a.size() < 2 || a[0] != '-') continue;
        if (a == "--") return {};
        const std::string name = a.substr(0, a.find('='));
        if (std::find(known.begin(), known.end(), name) == known.end()) return a;
    }
    return {};
}

// What follows CLI11's "...: " in its text: the arguments it names.
std::string Named(const CLI::ParseError& e) {
    const std::string text = e.what();
    const size_t colon = text.rfind(": ");
    return colon == std::string::npos ? std::string() : text.substr(colon + 2);
}

// CLI11 explains in English; each of its errors becomes a Chinese sentence about
// what the user typed.
std::string UsageText(const CLI::ParseError& e, const std::vector<std::string>& arguments) {
    const std::string word = FirstWord(arguments);
    const CommandRow* row = FindCommand(word);
    if (!word.empty() && row == nullptr) return "未知命令: " + word + "（可用命令: " + CommandList() + "）";
    if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr) {
        const std::string unknown = UnknownOption(arguments);
        if (!unknown.empty()) return "无法识别的参数: " + unknown;
        if (row == nullptr) return "缺少命令（" + CommandList() + "）";
        return std::string("命令 ") + row->name + " 需要文件名 FILE";
    }
    if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr) return "无法识别的参数: " + Named(e);
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr) {
        const std::string text = e.what();
        return "选项缺少值或值的个数不对: " + text.substr(0, text.find(':'));
    }
    return "参数无效";
}

// The whole text must be a count in int's range: no sign, no blanks, no rest.
bool ParseCount(const std::string& text, int& value) {
    if (text.empty() || text.size() > 10) return false;
    long long v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    if (v > std::numeric_limits<int>::max()) return false;
    value = static_cast<int>(v);
    return true;
}

ParsedCommandLine UsageError(const std::string& what) {
    ParsedCommandLine parsed;
    std::ostringstream text;
    text << CliText::UsageError << what << "\n"
         << "运行 " << CliText::ProgramName << " --help 查看用法。\n";
    parsed.error = text.str();
    parsed.exit = ExitStatus::Usage;
    return parsed;
}

}  // namespace

const char* CommandName(CliCommand command) {
    return RowOf(command).name;
}
bool CommandTakesFile(CliCommand command) {
    return RowOf(command).takesFile;
}
bool CommandNeedsImage(CliCommand command) {
    return RowOf(command).needsImage;
}

const char* OutcomeName(ExitStatus status) {
    switch (status) {
        case ExitStatus::Success:
            return "success";
        case ExitStatus::OperationFailed:
            return "operation-failed";
        case ExitStatus::Usage:
            return "usage";
        case ExitStatus::NoProgrammer:
            return "no-programmer";
        case ExitStatus::NoChip:
            return "no-chip";
        case ExitStatus::FileError:
            return "file-error";
        case ExitStatus::VerifyDifference:
            return "verify-difference";
    }
    return "operation-failed";
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    CliOptions& o = parsed.options;

    CLI::App app(
        "XJQT_Tarlo Flash编程器 命令行工具：检测、读取、擦除、查空、烧录、校验 25 系列 SPI Flash 芯片。\n"
        "状态文字与窗口程序相同；标准错误为终端时显示进度条。",
        CliText::ProgramName);
    LabelInChinese(app);
    app.option_defaults()->group("选项");
    app.set_help_flag("-h,--help", "显示本帮助并退出")->group("选项");
    app.set_version_flag("--version", std::string(CliText::ProgramName) + " " + FLASH_VERSION,
                         "显示版本（以及驱动库的文件、版本和 libusb 的版本）并退出")
        ->group("选项");
    app.require_subcommand(1, 1);
    app.fallthrough();
    app.footer(kExitStatusHelp);

    app.add_flag("--all", o.all, "所有连接的编程器同时执行，每个编程器一行进度");
    app.add_flag("--json", o.json,
                 "每个结果在标准输出打印一个 JSON 对象（device, chip, operation, bytes, seconds, outcome）");
    app.add_flag("--allow-overflow", o.allowOverflow, "文件大于芯片时继续烧录（溢出部分不烧录）");
    std::string maxDifferences;
    // Read as text and checked below, so that a bad value gets a Chinese message.
    CLI::Option* maxOption =
        app.add_option("--max-differences", maxDifferences, "校验时最多列出 N 个差异（默认 16）")
            ->type_name("N");
    app.add_option("--chip", o.chip,
                   "按此芯片的容量操作（芯片数据库的型号如 GD25Q64，或 25X64 这样的型号）；未知芯片必须指定")
        ->type_name("NAME");
    app.add_option("--driver", o.driverPath, "使用此驱动库，而不是程序旁边的 libvelmor.so")
        ->type_name("PATH");
    app.add_flag("--quiet", o.quiet, "不显示进度和提示，只在标准错误报告失败（退出状态不变）");
    app.add_option("--log", o.logPath,
                   "把每次驱动调用（入口、参数、结果、耗时）逐行记入文件 FILE，用于报告硬件问题")
        ->type_name("FILE");

    for (const CommandRow& row : kCommands) {
        CLI::App* sub = app.add_subcommand(row.name, row.description);
        sub->group("命令");
        sub->option_defaults()->group("选项");
        sub->set_help_flag("-h,--help", "显示本帮助并退出")->group("选项");
        if (row.takesFile)
            sub->add_option("FILE", o.file, row.needsImage ? "文件（- 为标准输入）" : "文件（- 为标准输出）")
                ->required()
                ->type_name("");
        if (row.command == CliCommand::Write)
            sub->add_flag("--changed", o.changed, "差异烧录：只擦除、烧录与文件不同的扇区，再校验这些扇区");
        sub->callback([&o, command = row.command] { o.command = command; });
    }

    // CLI11 wants the arguments after the program name, last first.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        parsed.output = app.help();
        return parsed;
    } catch (const CLI::CallForVersion& e) {
        parsed.output = std::string(e.what()) + "\n";
        parsed.version = true;
        return parsed;
    } catch (const CLI::ParseError& e) {
        return UsageError(UsageText(e, arguments));
    }
    if (maxOption->count() > 0 && !ParseCount(maxDifferences, o.maxDifferences))
        return UsageError("--max-differences 需要 0 到 " + std::to_string(std::numeric_limits<int>::max()) +
                          " 之间的整数: " + maxDifferences);
    if (o.all && o.command == CliCommand::Read && o.file == StandardStreamFile)
        return UsageError("--all 的读取不能写到标准输出（-），请给出文件名");
    parsed.run = true;
    return parsed;
}
