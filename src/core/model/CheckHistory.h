#pragma once
// How the last check of each subscription ended, kept from one run to the
// next in the program's own state under the user's cache folder, never in the
// settings file (whose bytes stay exactly as the window writes them). One
// small file per base directory, keyed by feed URL; the shared model records
// into it as checks end and writes it when a cycle ends. Not synchronised
// itself: the shared model's lock guards it.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace tessarine {

class CheckHistory {
public:
    // The file in `directory` (the front end's platform layer chooses it, in
    // the user's cache folder) that records the checks of the base directory
    // `base` (empty: the current folder); empty without a directory.
    static std::string FileFor(const std::string& directory, const std::string& base);

    // Forgets everything and reads the record of `base` from `directory`; a
    // missing, damaged or foreign file is an empty record.
    void Load(const std::string& directory, const std::string& base);

    // How the last check of `url` ended: NewItemsFound, NoNewItems or Error;
    // Idle when it was never checked.
    int32_t StatusOf(const std::string& url) const;
    void Record(const std::string& url, int32_t status);
    // Whether a status changed since the record was loaded or last taken.
    bool Changed() const { return changed_; }

    // Every status recorded, by URL.
    const std::unordered_map<std::string, int32_t>& Statuses() const { return statuses_; }
    // Another record's statuses (the episode store's) replace these. With
    // `detach` that record keeps them from now on, and there is no file to
    // write any more.
    void Adopt(std::unordered_map<std::string, int32_t> statuses, bool detach);

    // The file to write, empty when there is none.
    const std::string& Path() const { return path_; }
    // The file's bytes with the statuses of `listed` URLs only (the others
    // were removed); clears Changed.
    std::string Take(const std::vector<std::string>& listed);

private:
    std::string path_;
    std::string base_; // as written into the file, to tell a foreign one
    std::unordered_map<std::string, int32_t> statuses_;
    bool changed_ = false;
};

} // namespace tessarine
