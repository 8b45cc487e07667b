// Identifiers and names under which the control is registered.
#pragma once

namespace kestrine {

inline constexpr char kClsid[] = "{4B2E7C10-5A3D-4F61-9C82-7E0D3A6B1F24}";
inline constexpr char kAppId[] = "{3C7B9E14-8A2D-4F06-B5C1-9D8E7F6A5B43}";
inline constexpr char kLibId[] = "{6E1F9A2B-C347-4D58-A9B0-1D2E3F405162}";
inline constexpr char kProgId[] = "Kestrine.Kestrine.1";
inline constexpr char kVersionIndependentProgId[] = "Kestrine.Kestrine";
inline constexpr char kClassDescription[] = "Kestrine Class";
inline constexpr int kToolboxBitmap = 102;
inline constexpr int kPinDialog = 202;
inline constexpr int kPinField = 203;

}  // namespace kestrine
