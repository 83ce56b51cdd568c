// Whole-tree snapshots of the registry, so a test can assert that a program
// run changed exactly what it should and nothing else.
#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <string>

// One line per key ("<tree>|<path>\") and per value ("<tree>|<path>\:<name>"),
// the value's type and bytes as hex text.
using RegistrySnapshot = std::map<std::wstring, std::wstring>;

// The trees the programs can touch: the settings key in both views, the
// per-user settings key, the keyboard-layout list and the preload list, plus
// the names directly under both "Software" keys (a stray key would show there).
// Other tests' keys (named Test...) are left out: routine tests run beside.
RegistrySnapshot SnapshotProductTrees();

// "+ line", "- line" and "~ line" for what was added, removed and changed.
std::set<std::wstring> Diff(const RegistrySnapshot &before, const RegistrySnapshot &after);

// Snapshot key of a value or a key, as Diff reports it (without the sign).
std::wstring ValueLine(const std::wstring &tree, const std::wstring &path, const std::wstring &name);
std::wstring KeyLine(const std::wstring &tree, const std::wstring &path);
