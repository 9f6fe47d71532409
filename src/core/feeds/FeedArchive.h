#pragma once
// A feed's archive file "feed.xml": one "item" per enclosure URL seen, with
// its title, description, link (the enclosure URL) and publication date.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class TiXmlDocument;
class TiXmlElement;

namespace tessarine {

class FeedArchive {
public:
    FeedArchive();
    ~FeedArchive();
    FeedArchive(const FeedArchive&) = delete;
    FeedArchive& operator=(const FeedArchive&) = delete;

    // Loads the archive at `path`; when it cannot be loaded (missing, unreadable,
    // empty, not well-formed, without any element, nested deeper than
    // kMaxXmlDepth) starts a new, empty one and IsNew() is true.
    // A symbolic link at `path` (wherever it leads), a folder, a FIFO, a device
    // or a file over kMaxArchiveFileBytes is not read: the archive starts new
    // and LeftAlone() is true, and Save never writes over what is there.
    void Open(const std::string& path);
    bool IsNew() const { return isNew_; }
    bool LeftAlone() const { return leftAlone_; }

    // Whether an item with this link is recorded: the items are the root's
    // first "item" child and every element after it; recorded links are
    // trimmed, and links are compared exactly but for what a save and a load
    // would change: bytes that are not UTF-8, leading byte order marks, runs
    // of white space inside. Items appended in this session count too.
    bool Lookup(const std::string& enclosureUrl) const;

    // A recorded item as its texts stand (the link trimmed).
    struct Entry {
        std::string title;
        std::string link;
        std::string pubDate;
    };
    // The recorded items in their order; those without a link are left out.
    std::vector<Entry> Entries() const;

    // Texts are written as valid UTF-8 (see ValidUtf8).

    void Append(const std::string& title, const std::string& description, const std::string& link,
                const std::string& pubDate);
    bool Appended() const { return appended_; }

    // Writes the archive (atomically) when an item was appended; true when
    // written. Never through a symbolic link, nor over one or anything else
    // that is not a regular file: false then, and it stays as it is.
    bool Save(const std::string& path);

    // The file's bytes as Save writes them.
    std::string Serialize() const;

private:
    std::unique_ptr<TiXmlDocument> document_;
    TiXmlElement* root_ = nullptr;
    bool isNew_ = true;
    bool appended_ = false;
    bool leftAlone_ = false;
    std::unordered_set<std::string> links_;
};

} // namespace tessarine
