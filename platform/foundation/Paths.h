#pragma once
// Where the app keeps its data and finds its bundle, and small file helpers.

#include <optional>
#include <string>

namespace foundation {

// $QUENTA_HOME, else $XDG_DATA_HOME/quenta, else ~/.local/share/quenta.
// Made on first use. Read again on every call, so tests can switch it.
std::string homeDir();
std::string documentsDir();    // <home>/Documents
std::string cachesDir();       // <home>/Library/Caches
std::string preferencesDir();  // <home>/Library/Preferences

// The bundle: $QUENTA_BUNDLE, else resources/ next to the executable (or one
// or two folders up), else the source tree's resources/.
std::string bundleDir();
// Path of a bundle resource by name and type ("music0", "mp3"); the type may
// be empty or already part of the name. Looked for at the bundle's top, then
// in its folders (images/, sounds/, ...) in name order. nullopt when it does
// not exist.
std::optional<std::string> bundlePath(const std::string& name, const std::string& type = "");

bool fileExists(const std::string& path);
bool isDirectory(const std::string& path);
// Removes a file or a whole folder; true when nothing is left at the path.
bool removeItem(const std::string& path);
// Makes the folder and its parents; true when it exists afterwards.
bool createDirectories(const std::string& path);
std::string joinPath(const std::string& a, const std::string& b);

std::optional<std::string> readFile(const std::string& path);
// Writes through a temporary file, fsync and rename: the file holds either
// the old or the new contents, never a part. `mode` is used for a new file.
bool writeFileAtomically(const std::string& path, const std::string& contents, unsigned mode = 0644);

}  // namespace foundation
