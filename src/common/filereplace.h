#pragma once

#include "result.h"

#include <QString>

#include <filesystem>

// The file-system path of a Qt path, spelt as the platform's file names are.
std::filesystem::path nativePath(const QString &path);

// Renames `temporary` over `target` in one step, so there is no moment without the target.
// The failure's description is the system's.
Status renameOver(const QString &temporary, const QString &target);
