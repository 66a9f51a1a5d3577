// Path pieces as Windows writes them, without touching the file system.
#pragma once
#include <string>
#include <string_view>

// Everything up to and including the last '\' or ':' (empty when neither).
std::string FolderOf(std::string_view path);
// Everything after the last '\' or ':' (the whole text when neither).
std::string FileNameOf(std::string_view path);
