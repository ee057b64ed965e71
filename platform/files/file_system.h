// The file part of the platform's state: open directory enumerations and test overrides. One
// object per running platform (or per test); the Win32 calls use the newest live one and fail
// harmlessly when there is none.
#pragma once
#include <sys/types.h>

#include <optional>
#include <string>

#include "base/current_instance.h"
#include "base/handle_table.h"
#include "base/unique_fd.h"

namespace zv {

class FindSearch;

class FileSystemState {
public:
    FileSystemState();
    ~FileSystemState();
    FileSystemState(const FileSystemState&) = delete;
    FileSystemState& operator=(const FileSystemState&) = delete;

    // The newest live state, or nullptr (base/current_instance.h). States nest: destroying one
    // brings back the previous.
    static FileSystemState* current() { return CurrentInstance<FileSystemState>::get(); }

    // What GetModuleFileNameW reports instead of /proc/self/exe (tests place the "executable"
    // beside their fixtures this way). nullopt restores the real path.
    void set_executable_path(std::optional<std::u16string> path) { exe_path_ = std::move(path); }
    const std::optional<std::u16string>& executable_path() const { return exe_path_; }

    // This run's text of the settings file `name` in the program's folder (the folder of what
    // GetModuleFileNameW reports): opening that file for reading gets these bytes, and the file
    // itself is never read. An empty name, or one with a folder in it, sets nothing.
    void set_settings_text(const std::string& name, std::string text);
    // The bytes that opening `path` for reading gets in place of the file there, or nullptr.
    const std::string* read_override(const std::string& path) const;

    HandleTable<FindSearch>& finds() { return finds_; }
    HandleTable<UniqueFd>& files() { return files_; }

    // True when an open find handle is enumerating this directory. A recursive walk keeps its
    // ancestors' handles open, so this is "the directory is on the current walk's chain".
    bool is_being_enumerated(dev_t dev, ino_t ino) const;

private:
    HandleTable<FindSearch> finds_;
    HandleTable<UniqueFd> files_{HandleKind::File};
    std::optional<std::u16string> exe_path_;
    std::string settings_name_;  // set_settings_text; empty: no override
    std::string settings_text_;
    CurrentInstance<FileSystemState> current_{this};  // last: registered once the rest exists
};

}  // namespace zv
