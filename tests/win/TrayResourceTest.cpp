// The built KorvSchd.exe's resources, read back as a data file: the menu's
// texts byte for byte, its commands and states, the three icons and their
// outlines on dark and light taskbars, the version block and the manifest.
// KORV_PRODUCT_EXE names another build's KorvSchd.exe to read instead: the
// 32-bit product, read as data by the 64-bit tests on a machine that runs no
// 32-bit code.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/support/TestSupport.h"
#include "tests/win/TrayTestSupport.h"

using namespace korvtest;

namespace {
struct LibraryTraits {
  using Type = HMODULE;
  static Type Invalid() { return nullptr; }
  static void Close(Type m) { ::FreeLibrary(m); }
};

std::string ProductPath() {
  char path[MAX_PATH] = {};
  const DWORD n = ::GetEnvironmentVariableA("KORV_PRODUCT_EXE", path, sizeof path);
  return n > 0 && n < sizeof path ? std::string(path, n) : BinDir() + "KorvSchd.exe";
}

// What the file's header says it was built for, as manifests name it.
std::string ProcessorArchitecture(const std::string& path) {
  const std::string file = ReadFileText(path);
  if (file.size() < 0x40) return "";
  std::uint32_t ntAt = 0;
  std::memcpy(&ntAt, file.data() + 0x3C, sizeof ntAt);
  if (file.size() < ntAt + 6ull) return "";
  std::uint16_t machine = 0;
  std::memcpy(&machine, file.data() + ntAt + 4, sizeof machine);
  if (machine == IMAGE_FILE_MACHINE_I386) return "x86";
  if (machine == IMAGE_FILE_MACHINE_AMD64) return "amd64";
  return "machine " + std::to_string(machine);
}

class ProgramResources : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(FileExists(path)) << path << " is not built"; }

  const std::string path = ProductPath();
  Unique<LibraryTraits> exe{::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)};
};

std::string MenuText(HMENU menu, int position) {
  char text[256] = {};
  int n = ::GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
  return std::string(text, n > 0 ? n : 0);
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE Width, Height, ColorCount, Reserved;
  WORD Planes, BitCount;
  DWORD BytesInRes;
  WORD Id;
};
struct GroupIconHeader {
  WORD Reserved, Type, Count;
  GroupIconEntry Entries[1];
};
#pragma pack(pop)

// The three icon groups: the program's own, then the two tray icons.
const char* const kIconGroups[] = {"MAINICON", MAKEINTRESOURCEA(IDI_ACTIVE), MAKEINTRESOURCEA(IDI_SUSPENDED)};

std::string GroupLabel(const char* name) {
  return IS_INTRESOURCE(name) ? std::to_string(reinterpret_cast<ULONG_PTR>(name)) : name;
}

const GroupIconHeader* FindIconGroup(HMODULE exe, const char* name) {
  HRSRC found = ::FindResourceA(exe, name, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
  return found ? static_cast<const GroupIconHeader*>(::LockResource(::LoadResource(exe, found))) : nullptr;
}

// One image of a group: a bitmap header, its colours and its mask, or null
// when the resource is missing or too short to hold the header.
const BITMAPINFOHEADER* FindIconImage(HMODULE exe, WORD id) {
  HRSRC image = ::FindResourceA(exe, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(3) /* RT_ICON */);
  if (!image || ::SizeofResource(exe, image) < sizeof(BITMAPINFOHEADER)) return nullptr;
  return static_cast<const BITMAPINFOHEADER*>(::LockResource(::LoadResource(exe, image)));
}

// WCAG's relative luminance of a colour given as 0-255 channels.
double Luminance(double red, double green, double blue) {
  auto linear = [](double channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(red) + 0.7152 * linear(green) + 0.0722 * linear(blue);
}

// The share of an image's outline that a taskbar of the colour given shows
// at a contrast of 3:1 or more (the usual bound for graphics that must be
// seen). A place of the outline is an opaque pixel (alpha 128 or more) with a
// transparent 4-neighbour or on the image's edge; it counts when it, or an
// opaque neighbour right inside it (not itself a place), reaches 3:1, a partly
// transparent pixel being blended onto the taskbar first. So a light halo
// around a dark rim counts on both kinds of taskbar. bgra: side x side
// pixels, straight alpha, in any row order.
double OutlineShareStandingOut(const BYTE* bgra, int side, COLORREF taskbar) {
  const double back[3] = {double(GetRValue(taskbar)), double(GetGValue(taskbar)), double(GetBValue(taskbar))};
  const double backLuminance = Luminance(back[0], back[1], back[2]);
  auto pixel = [&](int x, int y) { return bgra + (static_cast<std::size_t>(y) * side + x) * 4; };
  auto inside = [&](int x, int y) { return x >= 0 && y >= 0 && x < side && y < side; };
  auto opaque = [&](int x, int y) { return inside(x, y) && pixel(x, y)[3] >= 128; };
  const int steps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
  auto isPlace = [&](int x, int y) {
    if (!opaque(x, y)) return false;
    for (const auto& step : steps) {
      if (!opaque(x + step[0], y + step[1])) return true;  // transparent, or past the edge
    }
    return false;
  };
  auto standsOut = [&](int x, int y) {
    const BYTE* p = pixel(x, y);
    const double alpha = p[3] / 255.0;
    auto blend = [&](int channel, int index) { return p[channel] * alpha + back[index] * (1 - alpha); };
    const double luminance = Luminance(blend(2, 0), blend(1, 1), blend(0, 2));
    const double ratio = (std::max(luminance, backLuminance) + 0.05) / (std::min(luminance, backLuminance) + 0.05);
    return ratio >= 3.0;
  };
  int places = 0, seen = 0;
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      if (!isPlace(x, y)) continue;
      ++places;
      bool counts = standsOut(x, y);
      for (const auto& step : steps) {
        const int nx = x + step[0], ny = y + step[1];
        counts = counts || (opaque(nx, ny) && !isPlace(nx, ny) && standsOut(nx, ny));
      }
      seen += counts;
    }
  }
  return places ? double(seen) / places : 0.0;
}

// The icon drawn on white, one letter per pixel: n the globe's mid-blue rim,
// B blue, G lime, R red, w white, k black, . white background, ? anything else.
std::vector<std::string> IconPixels(HICON icon, int side) {
  const Pixels drawn = DrawnIcon(icon, side, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  const std::pair<DWORD, char> palette[] = {{0x3C78FF, 'n'}, {0x0000FF, 'B'}, {0x00FF00, 'G'},
                                            {0xFF0000, 'R'}, {0xFFFFFF, '.'}, {0x000000, 'k'}};
  std::vector<std::string> rows(side, std::string(side, '?'));
  for (int y = 0; y < drawn.height; ++y) {
    for (int x = 0; x < drawn.width; ++x) {
      for (const auto& [colour, letter] : palette) {
        if (drawn.At(x, y) == colour) rows[y][x] = letter;
      }
    }
  }
  return rows;
}

// White inside the clock reads as '.' too: the background is white.
const std::vector<std::string> kActive16 = {
    "....nnnnn.......", "..nnBBGGBnn.....", ".nBGGBGGGBBn....", ".nGGGGGGBBBn....",
    "nBBGGGGBBBGGn...", "nBBBGGBBBGGGn...", "nBBBBGBBBBGBn...", "nBBBBBGGBBRRR...",
    "nBBBBBGGRR...RR.", ".nBBBBGGR..k..R.", ".nBBBBBR...k...R", "..nnBBBR...kkk.R",
    "....nnnR.......R", "........R.....R.", "........RR...RR.", "..........RRR...",
};
const std::vector<std::string> kSuspended16 = {
    "RR..nnnnn.....RR", "RRRnBBGGBnn..RRR", ".RRRGBGGGBBnRRR.", ".nRRRGGGBBBRRR..",
    "nBBRRRGBBBRRR...", "nBBBRRRBBRRRn...", "nBBBBRRRRRRBn...", "nBBBBBRRRRRRR...",
    "nBBBBBRRRR...RR.", ".nBBBRRRRRRk..R.", ".nBBRRRR.RRR...R", "..nRRRBR..RRRk.R",
    "..RRRnnR...RRR.R", ".RRR....R...RRR.", "RRR.....RR...RRR", "RR........RRR.RR",
};

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param) {
  auto* names = reinterpret_cast<std::vector<std::string>*>(param);
  names->push_back(IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(name)) : name);
  return TRUE;
}
}  // namespace

TEST_F(ProgramResources, MenuTextsCommandsAndStatesByteForByte) {
  ASSERT_TRUE(exe);
  UniqueHmenu menu{::LoadMenuA(exe.Get(), "WEBSCHEDMENU")};
  ASSERT_TRUE(menu);
  ASSERT_EQ(::GetMenuItemCount(menu.Get()), 1);
  EXPECT_EQ(MenuText(menu.Get(), 0), "Configuration");
  HMENU popup = ::GetSubMenu(menu.Get(), 0);
  ASSERT_EQ(::GetMenuItemCount(popup), 5);

  struct Item {
    const char* text;
    UINT id;
    UINT flags;
  };
  const Item items[] = {
      {"&Charger Korvamo...", IDM_LOAD_CAPTURE_APP, MF_STRING},
      {"&Webs", static_cast<UINT>(-1), MF_POPUP | MF_GRAYED},
      {"&Suspendre", IDM_SUSPEND, MF_STRING},
      {"", 0, MF_SEPARATOR},
      // clang-format off
      {"&D\xE9" "charger", IDM_UNLOAD, MF_STRING},
      // clang-format on
  };
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(MenuText(popup, i), items[i].text) << "position " << i;
    EXPECT_EQ(::GetMenuItemID(popup, i), items[i].id) << "position " << i;
    // Separators also report themselves disabled; only the kind matters there.
    const UINT mask = items[i].flags == MF_SEPARATOR ? MF_SEPARATOR : 0xFF;
    EXPECT_EQ(::GetMenuState(popup, i, MF_BYPOSITION) & mask, items[i].flags) << "position " << i;
  }
  HMENU webs = ::GetSubMenu(popup, 1);
  ASSERT_EQ(::GetMenuItemCount(webs), 1);
  EXPECT_EQ(MenuText(webs, 0), "&Item");
  EXPECT_EQ(::GetMenuItemID(webs, 0), static_cast<UINT>(IDM_PROJECT_FIRST));
}

// Every icon holds one image per size that trays and Explorer ask for from
// 100 % to 300 % scale, each a 32-bit bitmap whose alpha channel carries the
// transparency (XP reads these; it cannot read PNG images).
TEST_F(ProgramResources, IconsHoldEverySizeIn32BitColourWithAlpha) {
  ASSERT_TRUE(exe);
  const std::vector<int> sizes{16, 20, 24, 32, 40, 48};
  std::vector<std::vector<WORD>> images;  // of each group, in the order listed
  for (const char* name : kIconGroups) {
    const std::string label = GroupLabel(name);
    const GroupIconHeader* group = FindIconGroup(exe.Get(), name);
    ASSERT_NE(group, nullptr) << label;
    std::vector<int> listed;
    images.emplace_back();
    for (int i = 0; i < group->Count; ++i) {
      const GroupIconEntry& entry = group->Entries[i];
      listed.push_back(entry.Width);
      images.back().push_back(entry.Id);
      EXPECT_EQ(entry.Height, entry.Width) << label << " image " << i;
      EXPECT_EQ(entry.BitCount, 32) << label << " image " << i;
      const BITMAPINFOHEADER* header = FindIconImage(exe.Get(), entry.Id);
      ASSERT_NE(header, nullptr) << label << " image " << i;
      ASSERT_EQ(header->biSize, sizeof(BITMAPINFOHEADER)) << label << " image " << i << " is not a bitmap";
      EXPECT_EQ(header->biWidth, entry.Width) << label;
      EXPECT_EQ(header->biBitCount, 32) << label << " at " << int(entry.Width);
      const auto* pixels = reinterpret_cast<const BYTE*>(header + 1);
      const int count = entry.Width * entry.Width;
      int clear = 0, opaque = 0, between = 0;
      for (int p = 0; p < count; ++p) {
        const BYTE alpha = pixels[p * 4 + 3];
        (alpha == 0 ? clear : alpha == 255 ? opaque : between)++;
      }
      EXPECT_GT(clear, 0) << label << " at " << int(entry.Width) << ": transparent corners";
      EXPECT_GT(opaque, count / 3) << label << " at " << int(entry.Width);
      if (entry.Width > 16) {
        EXPECT_GT(between, 0) << label << " at " << int(entry.Width) << ": smoothed edges";
      }
    }
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, sizes) << label;
  }
  EXPECT_EQ(images[0], images[1]) << "the program's icon is the active tray icon: the very same images";
}

// Windows 10's taskbar is dark, Windows 11's dark or light: at every size,
// each icon's silhouette must be seen on both. Taskbar colours: #202020 and
// #F3F3F3; at least 90 % of the outline's places must stand out.
TEST_F(ProgramResources, OutlinesStandOutOnDarkAndLightTaskbars) {
  ASSERT_TRUE(exe);
  const std::pair<const char*, COLORREF> taskbars[] = {{"dark", RGB(0x20, 0x20, 0x20)},
                                                       {"light", RGB(0xF3, 0xF3, 0xF3)}};
  for (const char* name : kIconGroups) {
    const GroupIconHeader* group = FindIconGroup(exe.Get(), name);
    ASSERT_NE(group, nullptr) << GroupLabel(name);
    for (int i = 0; i < group->Count; ++i) {
      const int side = group->Entries[i].Width;
      const BITMAPINFOHEADER* header = FindIconImage(exe.Get(), group->Entries[i].Id);
      ASSERT_NE(header, nullptr) << GroupLabel(name) << " image " << i;
      ASSERT_EQ(header->biBitCount, 32) << GroupLabel(name) << " at " << side;
      const auto* pixels = reinterpret_cast<const BYTE*>(header + 1);
      for (const auto& [taskbar, colour] : taskbars) {
        EXPECT_GE(OutlineShareStandingOut(pixels, side, colour), 0.90)
            << "icon " << GroupLabel(name) << " at " << side << " on a " << taskbar << " taskbar";
      }
    }
  }
}

// The drawing made for 16 x 16 stays the pixel picture the icon has always
// been: globe with clock, the same with the red X.
TEST_F(ProgramResources, TrayIconsAt16PixelsKeepTheirPicture) {
  ASSERT_TRUE(exe);
  for (int id : {IDI_ACTIVE, IDI_SUSPENDED}) {
    UniqueHicon icon{static_cast<HICON>(::LoadImageA(exe.Get(), MAKEINTRESOURCEA(id), IMAGE_ICON, 16, 16, 0))};
    ASSERT_TRUE(icon) << id;
    const std::vector<std::string> picture = IconPixels(icon.Get(), 16);
    const std::vector<std::string>& expected = id == IDI_ACTIVE ? kActive16 : kSuspended16;
    for (int row = 0; row < 16; ++row) EXPECT_EQ(picture[row], expected[row]) << id << " row " << row;
  }
}

TEST_F(ProgramResources, ProgramIconComesFirst) {
  ASSERT_TRUE(exe);
  std::vector<std::string> names;
  ::EnumResourceNamesA(exe.Get(), MAKEINTRESOURCEA(14), CollectName, reinterpret_cast<LONG_PTR>(&names));
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0], "MAINICON");
  EXPECT_EQ(names[1], "#1000");
  EXPECT_EQ(names[2], "#1008");
}

TEST_F(ProgramResources, VersionBlockIsFrenchVersionOne) {
  DWORD ignored = 0;
  std::vector<char> block(::GetFileVersionInfoSizeA(path.c_str(), &ignored));
  ASSERT_FALSE(block.empty()) << "no version block";
  ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  ASSERT_TRUE(::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  WORD* translation = nullptr;
  ASSERT_TRUE(
      ::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &size));
  ASSERT_GE(size, 4u);
  EXPECT_EQ(translation[0], 0x040C);
  EXPECT_EQ(translation[1], 1252);
  const std::pair<const char*, const char*> strings[] = {
      {"CompanyName", "Korvamo"},   {"FileDescription", "Web scheduler"}, {"FileVersion", "1.0.0.0"},
      {"InternalName", "KorvSchd"}, {"OriginalFilename", "KorvSchd.exe"}, {"ProductName", "Korvamo"},
      {"ProductVersion", "1.0.0.0"}};
  for (const auto& [name, expected] : strings) {
    char* text = nullptr;
    const std::string query = std::string("\\StringFileInfo\\040C04E4\\") + name;
    ASSERT_TRUE(::VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &size)) << name;
    EXPECT_STREQ(text, expected) << name;
  }
}

TEST_F(ProgramResources, ManifestNamesTheProgramRunsAsInvokerDpiAwareOnEveryListedWindows) {
  ASSERT_TRUE(exe);
  HRSRC found = ::FindResourceA(exe.Get(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24) /* RT_MANIFEST */);
  ASSERT_NE(found, nullptr);
  const std::string text(static_cast<const char*>(::LockResource(::LoadResource(exe.Get(), found))),
                         ::SizeofResource(exe.Get(), found));
  const std::string identity =
      "name=\"Korvamo.WebScheduler\" version=\"1.0.0.0\" processorArchitecture=\"" + ProcessorArchitecture(path) + "\"";
  EXPECT_NE(text.find(identity), std::string::npos) << "no " << identity << " in\n" << text;
  for (
      const char* part : {
          "<description>Web scheduler</description>",
          R"(<requestedExecutionLevel level="asInvoker" uiAccess="false"/>)",
          R"(<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>)",
          R"(<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2, PerMonitor</dpiAwareness>)",
          R"(<supportedOS Id="{e2011457-1546-43c5-a5fe-008deee3d3f0}"/>)",  // Vista
          R"(<supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"/>)",  // 7
          R"(<supportedOS Id="{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"/>)",  // 8
          R"(<supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"/>)",  // 8.1
          R"(<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>)",  // 10 and 11
      }) {
    EXPECT_NE(text.find(part), std::string::npos) << "no " << part << " in\n" << text;
  }
}
