// The names the program makes from what a feed says: the file name of an
// enclosure URL and the folder name of a channel title. The input is a title,
// a line break, and a URL.

#include "FuzzTarget.h"

#include "core/feeds/EnclosureNames.h"
#include "core/feeds/FeedReader.h"
#include "core/files/BaseDirectory.h"
#include "core/update/PartialFile.h"
#include "core/util/Text.h"

using namespace tessarine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t newline = input.find('\n');
    const std::string title = input.substr(0, newline);
    const std::string url = newline == std::string::npos ? input : input.substr(newline + 1);

    // The file name: one safe entry, the URL's last path segment (without
    // query and fragment) with unsafe characters replaced, or "output".
    const std::string file = FileNameFromUrl(url);
    FUZZ_CHECK(fuzz::IsSafeEntryName(file));
    const std::string path = url.substr(0, url.find_first_of("?#"));
    const size_t slash = path.rfind('/');
    const std::string segment = slash == std::string::npos ? std::string() : path.substr(slash + 1);
    FUZZ_CHECK(file == "output" || file.size() == segment.size());

    // The folder name: a safe entry that fits a folder entry, of the same
    // length as a title that fits and is not the settings file's name, cut
    // at a character boundary; empty exactly for the empty title.
    for (const std::string& name : {title, url}) {
        const std::string folder = FeedFolderName(name);
        FUZZ_CHECK(folder.empty() == name.empty());
        FUZZ_CHECK(folder.size() <= kMaxEntryNameBytes);
        if (name.size() < kMaxEntryNameBytes && !StartsWithIgnoringCase(name, kSettingsFileName))
            FUZZ_CHECK(folder.size() == name.size());
        FUZZ_CHECK(!SameNameIgnoringCase(folder, kSettingsFileName));
        if (ValidUtf8(name) == name)
            FUZZ_CHECK(ValidUtf8(folder) == folder);
        if (!folder.empty())
            FUZZ_CHECK(fuzz::IsSafeEntryName(folder));
    }

    // The names of two enclosures (the title taken for a second URL): safe,
    // fitting, never the program's own, different for different URLs; the
    // partial file's and its resume information's names are of the program's own.
    const EnclosureNames names({url, title});
    for (const std::string& one : {url, title}) {
        const std::string name = names.NameOf(one);
        FUZZ_CHECK(fuzz::IsSafeEntryName(name));
        FUZZ_CHECK(name.size() <= kMaxEntryNameBytes);
        FUZZ_CHECK(!EnclosureNames::IsReserved(name));
        const std::string partial = PartialFile::PathFor("/p/" + name).substr(3);
        const std::string resume = PartialFile::ResumePathFor("/p/" + name).substr(3);
        FUZZ_CHECK(resume != partial);
        for (const std::string& own : {partial, resume}) {
            FUZZ_CHECK(fuzz::IsSafeEntryName(own) && own.size() <= kMaxEntryNameBytes);
            FUZZ_CHECK(EnclosureNames::IsReserved(own));
        }
    }
    if (url != title)
        FUZZ_CHECK(!SameNameIgnoringCase(names.NameOf(url), names.NameOf(title)));

    const std::string base = "/home/user/Podcasts/";
    FUZZ_CHECK(fuzz::StaysInside(base, FeedFilePath(base, title, file)));
    FUZZ_CHECK(fuzz::StaysInside(base, FeedFilePath(base, title, kArchiveFileName)));
    return 0;
}
