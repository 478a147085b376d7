#pragma once

// Command and control ids of the main window. Buttons, menu items and keys that
// share an id run one handler.
namespace CommandId {
inline constexpr int Exit = 1;
inline constexpr int AboutSystemMenu = 16;
inline constexpr int PathBox = 1003;
inline constexpr int Open = 1004;
inline constexpr int EditModeCheck = 1006;
inline constexpr int SizeLabel = 1011;
inline constexpr int StatusText = 1018;
inline constexpr int Auto = 1019;
inline constexpr int Erase = 1020;
inline constexpr int Program = 1021;
inline constexpr int ReadChip = 1022;
inline constexpr int Verify = 1023;
inline constexpr int Detect = 1024;
inline constexpr int About = 1025;
inline constexpr int ChangeLog = 1026;
inline constexpr int CellEditor = 1027;
inline constexpr int ProgressBar = 1031;
inline constexpr int NameLabel = 1032;
inline constexpr int ChecksumLabel = 1033;
inline constexpr int BlankCheck = 1035;
inline constexpr int HexGrid = 1057;
inline constexpr int ScrollBar = 1002;
inline constexpr int Decoration = 1073;
inline constexpr int Save = 1075;
inline constexpr int ChipModelList = 1078;
inline constexpr int CapacityLabel = 1082;
inline constexpr int ChipIdentityLabel = 1083;
inline constexpr int Fill = 32801;
inline constexpr int DataView = 32803;
inline constexpr int EditModeMenu = 32783;
inline constexpr int SaveAs = 32784;
inline constexpr int Help = 32797;
inline constexpr int GotoAddress = 32807;
inline constexpr int SerialNumber = 32809;
inline constexpr int PromptSound = 32810;
inline constexpr int Find = 32811;
inline constexpr int ChangedWrite = 32812;
}  // namespace CommandId
