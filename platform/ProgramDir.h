#pragma once
// The program's data folder: where TOV.INI, the tables, the "receive" folder,
// trace files and temporary files live.
//
// Chosen once, in this order: a folder set with setProgramDir() (from
// --data-dir or a test), $TOLVANE_HOME, the executable's own folder when it is
// writable (portable use), and finally $XDG_DATA_HOME/tolvane/ (normally
// ~/.local/share/tolvane/), which is created when missing. The result always
// ends with "/".

#include <string>
#include <string_view>

namespace platform {

// The data folder, ending with "/".
std::string ProgramDir();

// Fixes the data folder for the rest of the run; an empty string returns to
// the automatic choice. A missing trailing "/" is added.
void setProgramDir(std::string_view dir);

// The data folder of a user with this home folder and $XDG_DATA_HOME (empty
// when unset) as the automatic choice makes it, without creating it:
// "$XDG_DATA_HOME/tolvane/" or "<home>/.local/share/tolvane/". Programs
// acting for another user (the print backend) find that user's folder here.
std::string DataFolderOf(std::string_view home, std::string_view xdgDataHome);

// ProgramDir() + "TOV.INI".
std::string IniFileName();

// Appends "/" unless the path already ends with one.
std::string withTrailingSlash(std::string_view dir);

} // namespace platform
