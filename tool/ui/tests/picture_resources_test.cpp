// The pictures drawn for each display scale, followed the way the program
// finds them: a resource id through resource.h and Brevant.rc to the file
// make_artwork.py wrote, the banner by its name beside the program. Each is
// the 100 % picture's size at its scale's DPI, rounded as fw::ScaleToDpi.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>

#include "picture_resources.h"
#include "picture_scales.h"

namespace {

const std::string kRes = BREVANT_SOURCE_DIR "/tool/res/";
const std::string kDist = BREVANT_SOURCE_DIR "/dist/";

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::map<std::string, std::string> Matches(const std::string& text, const char* pattern) {
  std::map<std::string, std::string> found;
  const std::regex expression(pattern);
  for (std::sregex_iterator it(text.begin(), text.end(), expression), end; it != end; ++it)
    found[(*it)[1]] = (*it)[2];
  return found;
}

std::uint32_t Le32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
  return value;
}

struct Size {
  int width, height;
  bool operator==(const Size&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Size& s) { return out << s.width << "x" << s.height; }

Size BitmapSize(const std::string& path) {
  const std::string file = Read(path);
  if (file.size() < 26 || file.compare(0, 2, "BM") != 0) return {0, 0};
  const auto height = static_cast<std::int32_t>(Le32(file, 22));  // negative: top row first
  return {static_cast<int>(Le32(file, 18)), height < 0 ? -height : height};
}

Size AtScale(Size at100, int scale) {
  const int dpi = brevant::PictureDpi(scale);
  return {(at100.width * dpi + 48) / 96, (at100.height * dpi + 48) / 96};
}

TEST(PictureResources, EachScaleHasItsOwnResourceDrawnAtThatScalesSize) {
  std::map<int, std::string> names;  // bitmap ids only: control ids repeat
  for (const auto& [name, value] : Matches(Read(kRes + "resource.h"), R"(#define\s+(IDB_\w+)\s+(\d+))"))
    EXPECT_TRUE(names.emplace(std::stoi(value), name).second) << name << " shares its number";
  const auto files = Matches(Read(kRes + "Brevant.rc"), R"((\w+)\s+BITMAP\s+\"([^\"]+)\")");
  struct Family {
    const char* name;
    int (*resource_for)(int);
    Size at100;
  };
  for (const Family& family : {Family{"tree images", &brevant::TreeImagesFor, {32, 16}},
                               Family{"popup background", &brevant::PopupBackgroundFor, {280, 133}}}) {
    std::set<std::string> seen;
    for (const int scale : brevant::kPictureScales) {
      SCOPED_TRACE(std::string(family.name) + " at " + std::to_string(scale) + " %");
      const int id = family.resource_for(scale);
      ASSERT_EQ(names.count(id), 1u) << "id " << id << " not in resource.h";
      ASSERT_EQ(files.count(names.at(id)), 1u) << names.at(id) << " not in Brevant.rc";
      const std::string& file = files.at(names.at(id));
      EXPECT_EQ(BitmapSize(kRes + file), AtScale(family.at100, scale)) << file;
      seen.insert(file);
    }
    EXPECT_EQ(seen.size(), std::size(brevant::kPictureScales)) << family.name << ": one picture per scale";
  }
}

TEST(PictureResources, TheBannerBesideTheProgramAtEachScale) {
  for (const int scale : brevant::kPictureScales) {
    const std::string name = scale == 100 ? "QZR_logo.bmp" : "QZR_logo_" + std::to_string(scale) + ".bmp";
    EXPECT_EQ(BitmapSize(kDist + name), AtScale({425, 114}, scale)) << name;
  }
}

TEST(PictureResources, TheIconHoldsAnImageForEverySizeWindowsAsksAt) {
  for (const std::string& path : {kRes + "Brevant.ico", kDist + "Brevant.ico"}) {
    const std::string file = Read(path);
    ASSERT_GE(file.size(), 6u) << path;
    const int count = static_cast<unsigned char>(file[4]) | static_cast<unsigned char>(file[5]) << 8;
    std::set<int> sizes;
    for (int i = 0; i < count && 6 + 16 * i + 1 < static_cast<int>(file.size()); ++i) {
      const int width = static_cast<unsigned char>(file[6 + 16 * i]);
      if (width == static_cast<unsigned char>(file[6 + 16 * i + 1])) sizes.insert(width == 0 ? 256 : width);
    }
    // Small and big icons at 100, 125, 150 and 200 %.
    for (const int size : {16, 20, 24, 32, 40, 48, 64}) EXPECT_EQ(sizes.count(size), 1u) << path << ": " << size;
  }
}

}  // namespace
