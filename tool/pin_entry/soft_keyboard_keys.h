// Written by tool/res/make_soft_keyboard.py; edit the layout there.
// The soft keyboard's key table: control identifier and virtual-key code
// of each key, in table order.
#pragma once
#include <cstdint>

namespace brevant {

struct SoftKey {
  int id;
  std::uint8_t virtual_key;
};

inline constexpr int kSoftKeyboardDialog = 180;
inline constexpr int kSoftKeyCount = 81;
inline constexpr int kFirstDigitKey = 20, kFirstLetterKey = 30;
inline constexpr int kQuitKeyId = 1020;
inline constexpr int kTabKeyId = 1034;
inline constexpr int kShiftKeyId = 1064;
inline constexpr int kCtrlKeyId = 1079;
inline constexpr int kAltKeyId = 1081;
inline constexpr int kCapsLockKeyId = 1049;

inline constexpr SoftKey kSoftKeys[kSoftKeyCount] = {
    {1100, 0x08}, {1034, 0x09}, {1101, 0x0D}, {1064, 0x10}, {1079, 0x11}, {1081, 0x12},
    {1102, 0x13}, {1049, 0x14}, {1020, 0x1B}, {1103, 0x20}, {1104, 0x21}, {1105, 0x22},
    {1106, 0x23}, {1107, 0x24}, {1108, 0x25}, {1109, 0x26}, {1110, 0x27}, {1111, 0x28},
    {1112, 0x2D}, {1113, 0x2E}, {1114, 0x30}, {1115, 0x31}, {1116, 0x32}, {1117, 0x33},
    {1118, 0x34}, {1119, 0x35}, {1120, 0x36}, {1121, 0x37}, {1122, 0x38}, {1123, 0x39},
    {1124, 0x41}, {1125, 0x42}, {1126, 0x43}, {1127, 0x44}, {1128, 0x45}, {1129, 0x46},
    {1130, 0x47}, {1131, 0x48}, {1132, 0x49}, {1133, 0x4A}, {1134, 0x4B}, {1135, 0x4C},
    {1136, 0x4D}, {1137, 0x4E}, {1138, 0x4F}, {1139, 0x50}, {1140, 0x51}, {1141, 0x52},
    {1142, 0x53}, {1143, 0x54}, {1144, 0x55}, {1145, 0x56}, {1146, 0x57}, {1147, 0x58},
    {1148, 0x59}, {1149, 0x5A}, {1150, 0x5B}, {1151, 0x5D}, {1152, 0x70}, {1153, 0x71},
    {1154, 0x72}, {1155, 0x73}, {1156, 0x74}, {1157, 0x75}, {1158, 0x76}, {1159, 0x77},
    {1160, 0x78}, {1161, 0x79}, {1162, 0x7A}, {1163, 0x7B}, {1164, 0xBA}, {1165, 0xBB},
    {1166, 0xBC}, {1167, 0xBE}, {1168, 0xBD}, {1169, 0xBF}, {1170, 0xC0}, {1171, 0xDB},
    {1172, 0xDC}, {1173, 0xDD}, {1174, 0xDE},
};

}  // namespace brevant
