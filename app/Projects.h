// Project files of the capture application, as the Webs submenu reads them.
#pragma once
#include <string>

#include "app/ProjectTitles.h"

// The file system of the project files: regular disk files only, read with
// read and write sharing, at most the header of each.
class TDiskProjectFiles final : public TProjectFiles {
public:
  std::uint64_t Now() override;
  std::optional<TFileStamp> Look(const std::string& path) override;
  std::optional<std::string> ReadTitle(const std::string& path) override;
};

// The title in a project file's header, read now; empty when the name cannot
// be a project file or the file does not exist, is empty or cannot be opened.
std::string ReadProjectTitle(const std::string& Path);
