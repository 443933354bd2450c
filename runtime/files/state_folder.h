/** @file state_folder.h
 * The user's state folder and what a program keeps in it: private folders, the names of the
 * files in a folder, and lock files held while a process runs. Paths here are system paths
 * (UTF-8) and nothing touches the runtime's heaps, so any thread may call these. */
#pragma once

#include <string>
#include <vector>

// "$XDG_STATE_HOME/<program>", or "$HOME/.local/state/<program>" when that variable is unset or
// not absolute (as the base-directory convention asks); "" when neither gives a folder.
std::string state_folder(const char* program);
// The same for settings: "$XDG_CONFIG_HOME/<program>", else "$HOME/.config/<program>".
std::string config_folder(const char* program);

// Makes the folder and any missing parents, new levels readable by their owner alone (0700).
// true when the path is then a folder of this user's, not a symbolic link, and closed to
// everyone else: an existing one that others could enter is made 0700. When false, errno says
// why: ELOOP for a link, EPERM for another user's folder, else the system's own.
bool folder_make_private(const std::string& path);
// Makes the folder and any missing parents as above, but takes what is there as it is: a link
// to a folder is followed (as dotfile managers place them) and an existing folder keeps its
// mode. true when the path then leads to a folder.
bool folder_make(const std::string& path);

// The names (not paths) of the entries of a folder that end with `ending` ("" for all), in no
// order, "." and ".." left out; none when the folder cannot be read.
std::vector<std::string> folder_names_ending(const std::string& folder, const char* ending);

// Opens the file (created 0600 when missing) and takes an exclusive lock on it without waiting.
// The lock is held until lock_file_release, or until the process ends in any way, a kill
// included. Returns the lock (a descriptor), or -1 when another holder has it or the file
// cannot be opened.
int lock_file_take(const std::string& path);
void lock_file_release(int lock);
