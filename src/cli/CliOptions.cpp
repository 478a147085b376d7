#include "cli/CliOptions.h"

#include <CLI/CLI.hpp>

#include <array>
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
    "  3  设备未连接（或编程器正被窗口程序、另一个任务使用）\n"
    "  4  设备已连接，未检测到芯片\n"
    "  5  文件错误（无法读取或写入文件，文件大于芯片而未给 --allow-overflow，驱动库丢失）\n"
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
                         "显示版本并退出")
        ->group("选项");
    app.require_subcommand(1, 1);
    app.fallthrough();
    app.footer(kExitStatusHelp);

    app.add_flag("--all", o.all, "所有连接的编程器同时执行，每个编程器一行进度");
    app.add_flag("--json", o.json,
                 "每个结果在标准输出打印一个 JSON 对象（device, chip, operation, bytes, seconds, outcome）");
    app.add_flag("--allow-overflow", o.allowOverflow, "文件大于芯片时继续烧录（溢出部分不烧录）");
    app.add_option("--max-differences", o.maxDifferences, "校验时最多列出 N 个差异（默认 16）")
        ->type_name("N")
        ->check(CLI::Validator(CLI::NonNegativeNumber).description(""));
    app.add_option("--driver", o.driverPath, "使用此驱动库，而不是程序旁边的 libvelmor.so")
        ->type_name("PATH");

    for (const CommandRow& row : kCommands) {
        CLI::App* sub = app.add_subcommand(row.name, row.description);
        sub->group("命令");
        if (row.takesFile) sub->add_option("FILE", o.file, "文件")->required()->type_name("FILE");
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
        return parsed;
    } catch (const CLI::ParseError& e) {
        std::ostringstream text;
        text << CliText::UsageError << e.what() << "\n"
             << "运行 " << CliText::ProgramName << " --help 查看用法。\n";
        parsed.error = text.str();
        parsed.exit = ExitStatus::Usage;
        return parsed;
    }
    parsed.run = true;
    return parsed;
}
