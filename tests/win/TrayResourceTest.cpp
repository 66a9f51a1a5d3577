// The built KorvSchd.exe's resources, read back as a data file: the menu's
// texts byte for byte, its commands and states, the three icons, the version
// block and the manifest.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/support/TestSupport.h"

using namespace korvtest;

namespace {
struct LibraryTraits {
  using Type = HMODULE;
  static Type Invalid() { return nullptr; }
  static void Close(Type m) { ::FreeLibrary(m); }
};

class ProgramResources : public ::testing::Test {
protected:
  Unique<LibraryTraits> exe{::LoadLibraryExA((BinDir() + "KorvSchd.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)};
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
      {"&D\xE9" "charger", IDM_UNLOAD, MF_STRING},
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

TEST_F(ProgramResources, TrayIconsAreSingle16By16ImagesIn16Colours) {
  ASSERT_TRUE(exe);
  for (int id : {IDI_ACTIVE, IDI_SUSPENDED}) {
    HRSRC found = ::FindResourceA(exe.Get(), MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
    ASSERT_NE(found, nullptr) << id;
    const auto* group = static_cast<const GroupIconHeader*>(::LockResource(::LoadResource(exe.Get(), found)));
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->Count, 1) << id;
    EXPECT_EQ(group->Entries[0].Width, 16) << id;
    EXPECT_EQ(group->Entries[0].Height, 16) << id;
    EXPECT_EQ(group->Entries[0].ColorCount, 16) << id;
    EXPECT_EQ(group->Entries[0].BitCount, 4) << id;
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
  UniqueHicon big{static_cast<HICON>(::LoadImageA(exe.Get(), "MAINICON", IMAGE_ICON, 32, 32, 0))};
  EXPECT_TRUE(big) << "a 32 x 32 image for Explorer's large view";
}

TEST_F(ProgramResources, VersionBlockIsFrenchVersionOneAndTheManifestAsksForNoElevation) {
  const std::string path = BinDir() + "KorvSchd.exe";
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

  ASSERT_TRUE(exe);
  HRSRC found = ::FindResourceA(exe.Get(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24) /* RT_MANIFEST */);
  ASSERT_NE(found, nullptr) << "no manifest";
  const auto* bytes = static_cast<const char*>(::LockResource(::LoadResource(exe.Get(), found)));
  const std::string manifest(bytes, ::SizeofResource(exe.Get(), found));
  for (const char* part :
       {"name=\"Korvamo.WebScheduler\" version=\"1.0.0.0\" processorArchitecture=\"x86\"",
        "<description>Web scheduler</description>", "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
        "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>"}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part << "\nin\n" << manifest;
  }
}
