#pragma once
// File helpers of the updater library (Windows).
#include "framework/file.h"

#include <string>

// Clears read-only and hidden, then deletes. Raises zv::fw::CFileException when the file
// cannot be deleted, a missing file included.
void DeleteHiddenReadonlyFile(const std::wstring& path);
// Clears the read-only and hidden attributes, nothing else.
void RemoveHiddenReadonlyFileStatus(const std::wstring& path);
// Up to five attempts one second apart; 1 when the file is open.
int OpenFileWithRetry(zv::fw::CFile& file, const std::wstring& path, unsigned flags, zv::fw::CFileException* error = nullptr);

// Pause between attempts, in milliseconds (tests may shorten it).
inline constexpr unsigned kOpenRetryPauseMs = 1000;
inline constexpr int kOpenRetryAttempts = 5;
