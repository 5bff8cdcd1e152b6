// Profile (INI) files with the semantics of the Windows profile functions:
// section and key names match without regard to ASCII case, a missing key
// reads as the empty text, and a write changes one line only.
#pragma once

#include <cstddef>
#include <string_view>

#include "app/text_array.h"

namespace qc {

// Values are read up to this many bytes.
inline constexpr std::size_t kMaxProfileValueBytes = 10239;

// The value of `key` in `section`, blanks around it removed and one pair of
// enclosing quotes (" or ') dropped; the first such key wins. Empty when
// the file, the section or the key is missing.
Text ReadProfileString(std::string_view path, std::string_view section, std::string_view key);

// The keys of `section` in file order (each name once). Empty when missing.
TextArray ReadProfileKeys(std::string_view path, std::string_view section);

// Sets `key` in `section` to `value`: replaces that key's line, or adds the
// key at the end of its section, or the section with the key at the end of
// the file (creating it when missing). Every other byte of the file stays
// as it was. The file is replaced atomically (a temporary file in the same
// directory, then a rename). False when the file cannot be written, or
// when a name or the value would break the line structure (line breaks, a
// "]" in a section name, a "=" in a key, empty names).
bool WriteProfileString(std::string_view path, std::string_view section, std::string_view key,
                        std::string_view value);

// Replaces the file at `path` with `content` through a temporary file in the
// same directory and a rename, so readers see the old or the new file, never
// half of one. An existing file keeps its permissions; a symbolic link is
// followed to the file it names. False on any failure (nothing changed).
bool WriteFileAtomically(std::string_view path, std::string_view content);

}  // namespace qc
