// The names the program makes from what a feed says: the file name of an
// enclosure URL and the folder name of a channel title. The input is a title,
// a line break, and a URL.

#include "FuzzTarget.h"

#include "subscriptions/BaseDirectory.h"
#include "update/FeedReader.h"

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

    // The folder name: a safe entry of the same length as the title, or empty
    // exactly for the empty title.
    for (const std::string& name : {title, url}) {
        const std::string folder = FeedFolderName(name);
        FUZZ_CHECK(folder.empty() == name.empty());
        FUZZ_CHECK(folder.size() == name.size());
        if (!folder.empty())
            FUZZ_CHECK(fuzz::IsSafeEntryName(folder));
    }

    const std::string base = "/home/user/Podcasts/";
    FUZZ_CHECK(fuzz::StaysInside(base, FeedFilePath(base, title, file)));
    FUZZ_CHECK(fuzz::StaysInside(base, FeedFilePath(base, title, kArchiveFileName)));
    return 0;
}
