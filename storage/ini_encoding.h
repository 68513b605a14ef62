#pragma once

namespace fc {

// How the profile store interprets the bytes of an INI file.
enum class IniEncoding {
    // Windows-1252, unless the file starts with a UTF-8 byte-order mark or is
    // well-formed UTF-8 holding at least one multi-byte sequence. Writes keep
    // the file's encoding and switch it to UTF-8 (with a byte-order mark) when
    // a text would otherwise not survive.
    Detect,
    // Always Windows-1252, whatever the bytes look like; a write of a text
    // that Windows-1252 cannot hold fails and changes nothing. For saved
    // games, whose scrambled bytes may look like UTF-8 by chance.
    Windows1252,
};

} // namespace fc
