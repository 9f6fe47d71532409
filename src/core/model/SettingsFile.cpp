#include "core/model/SettingsFile.h"

#include "core/files/FileStore.h"
#include "core/util/OleDateTime.h"
#include "core/util/XmlText.h"

#include <tinyxml.h>

#include <cstdio>
#include <ctime>
#include <filesystem>

#include <sys/stat.h>

namespace tessarine {

std::string SerializeSettings(const OptionSet& options, const SubscriptionList& list) {
    TiXmlDocument document;
    document.LinkEndChild(new TiXmlDeclaration("1.0", "", ""));
    auto* root = new TiXmlElement("TessarineSettings");
    document.LinkEndChild(root);

    auto* settings = new TiXmlElement("settings");
    settings->LinkEndChild(new TiXmlText(""));
    settings->SetAttribute("updatestart", options.updateStart != 0 ? 1 : 0);
    settings->SetAttribute("quitcomplete", options.quitComplete != 0 ? 1 : 0);
    root->LinkEndChild(settings);

    // URL and name as valid UTF-8, so that whatever bytes they hold the file
    // reads back whole, in the form the reader gives them.
    for (const SubscriptionPtr& s : list.Items()) {
        auto* feed = new TiXmlElement("feed");
        feed->SetAttribute("url", UrlAsValidUtf8(s->url));
        feed->SetAttribute("lastchecked", s->lastChecked.FormatStored());
        feed->LinkEndChild(new TiXmlText(ValidUtf8(s->name)));
        root->LinkEndChild(feed);
    }
    return PrintXmlDocument(document);
}

std::optional<StoredSettings> ReadSettingsFile(const std::string& path) {
    // A file nested too deeply for the parser's recursion counts as not
    // well-formed.
    std::string text;
    if (ReadXmlFile(path, kMaxSettingsFileBytes, text) != FileRead::Read ||
        NestsDeeperThan(text, kMaxXmlDepth))
        return std::nullopt;
    TiXmlDocument document;
    std::string padded;
    document.Parse(ParserInput(text, padded), nullptr, TIXML_DEFAULT_ENCODING);
    if (document.Error())
        return std::nullopt;

    StoredSettings stored;
    TiXmlElement* root = document.FirstChildElement("TessarineSettings");
    if (root == nullptr)
        return std::nullopt;

    if (TiXmlNode* node = root->FirstChild("settings"); node != nullptr) {
        if (TiXmlElement* settings = node->ToElement(); settings != nullptr) {
            auto flag = [&](const char* name) {
                const char* value = settings->Attribute(name);
                return value != nullptr && std::string(value) == "1" ? 1 : 0;
            };
            stored.updateStart = flag("updatestart");
            stored.quitComplete = flag("quitcomplete");
        }
    }

    // The first "feed" element and every element after it, whatever its name.
    // URL and name are taken in the form a save writes them (bytes that are
    // not UTF-8 made valid), so that the list loaded from a file is the list
    // a save and the next load give: no two URLs become one later, and
    // nothing read is dropped after the first save.
    for (TiXmlElement* e = root->FirstChildElement("feed"); e != nullptr;
         e = e->NextSiblingElement()) {
        StoredFeed feed;
        if (const char* text = e->GetText())
            feed.name = ValidUtf8(text);
        if (const char* url = e->Attribute("url"))
            feed.url = UrlAsValidUtf8(url);
        if (const char* checked = e->Attribute("lastchecked"))
            feed.lastChecked = checked;
        stored.feeds.push_back(std::move(feed));
    }
    return stored;
}

namespace {

// A copy of the unreadable file beside it that already holds `bytes`; empty
// when there is none.
std::string ExistingCopy(const std::string& path, const std::string& bytes) {
    namespace fs = std::filesystem;
    const fs::path file(path);
    const std::string prefix = file.filename().string() + ".unreadable-";
    std::error_code error;
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code sizeError;
        std::string held;
        if (it->path().filename().string().compare(0, prefix.size(), prefix) == 0 &&
            it->is_regular_file(sizeError) && it->file_size(sizeError) == bytes.size() &&
            !sizeError &&
            ReadRegularFile(it->path().string(), bytes.size(), held) == FileRead::Read &&
            held == bytes)
            return it->path().string();
    }
    return {};
}

} // namespace

std::string UnreadableCopyName(const std::string& path, int attempt) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    LocalTime(now, local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string name = path + ".unreadable-" + stamp;
    if (attempt > 1)
        name += "-" + std::to_string(attempt);
    return name;
}

SettingsLoad LoadSettingsFile(const std::string& path) {
    SettingsLoad load;
    load.settings = ReadSettingsFile(path);
    struct stat st;
    if (load.settings || ::stat(path.c_str(), &st) != 0 || (st.st_mode & S_IFMT) != S_IFREG)
        return load; // read, or missing (a folder or a dangling link counts as missing)
    load.unreadable = true;

    std::string bytes;
    // One too large to read is moved aside whole, as one that cannot be read.
    const bool readable = ReadRegularFile(path, kMaxSettingsFileBytes, bytes) == FileRead::Read;
    if (readable) {
        load.keptCopy = ExistingCopy(path, bytes);
        if (!load.keptCopy.empty())
            return load;
    }
    for (int attempt = 1; attempt < 1000; ++attempt) {
        const std::string copy = UnreadableCopyName(path, attempt);
        const bool kept = readable ? WriteNewFile(copy, bytes, st.st_mode & 0777)
                                   : !std::filesystem::exists(copy) &&
                                         std::rename(path.c_str(), copy.c_str()) == 0;
        if (kept) {
            load.keptCopy = copy;
            break;
        }
        if (std::filesystem::exists(copy))
            continue; // taken: try the next name
        break;        // the folder takes no new file: nothing can be kept
    }
    return load;
}

} // namespace tessarine
