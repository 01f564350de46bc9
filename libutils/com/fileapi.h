// The file-system calls behind atomic_file, same_file and file_exists: the
// only part of libutils_com that differs between operating systems besides
// the console. fileapi_posix.cpp and fileapi_win32.cpp implement it; CMake
// builds one. Internal to libutils_com: no other target includes it.
#pragma once

#include <string>

namespace libutils::fileapi {

enum class kind { missing, regular, other };

// What name refers to after following links, by a status query that never
// opens it. A name whose status cannot be read counts as missing: the
// creation that follows then reports the real reason.
kind query(const std::string& name);

// Follows symbolic links of name to the name of the file they finally point
// to, which need not exist. False with the system's text when the chain
// cannot be read or loops.
bool resolve(const std::string& name, std::string& out, std::string& error);

// Whether an existing file may be opened for writing; the system's text for
// the refusal otherwise.
bool writable(const std::string& name, std::string& error);

// Creates name, which must not exist yet, for writing, and registers it for
// removal when a signal ends the process; no signal can come in between.
// Its permissions are those of the existing file like, or a plain
// creation's when like is empty. The handle (>= 0) and the registry slot,
// or -1 with taken set when the name is in use, or -1 with the system's
// text; nothing is left behind then.
int create(const std::string& name, const std::string& like, bool& taken,
           int& slot, std::string& error);

// Flushes the file's data to the disk and closes the handle, closed even on
// failure.
bool sync_close(int handle, std::string& error);
void close(int handle);

// Starts writing the file's data to the disk without waiting for it, where
// the system can; sync_close then has less to wait for.
void start_writeback(int handle);

// Renames from over to, replacing to, and makes the rename itself durable.
bool replace(const std::string& from, const std::string& to,
             std::string& error);
void remove(const std::string& name);

// Forgets a name registered by create.
void unregister_removal(int slot);

// True for a character that separates path components on this system.
bool is_separator(char c);

// A number that differs between processes running at the same time.
unsigned long process_id();

bool same_file(const char* a, const char* b);
bool exists(const char* name);
void ignore_file_size_signal();

}  // namespace libutils::fileapi
