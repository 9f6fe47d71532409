#include "update/FeedArchive.h"

#include "subscriptions/FileStore.h"
#include "update/FeedReader.h"

#include <tinyxml.h>

#include <filesystem>

namespace tessarine {

namespace {

constexpr const char* kRootName = "TessarineFeed";

// The recorded link of an item: the text of its first "link" child, trimmed.
std::string LinkOf(const TiXmlElement& item) {
    const TiXmlElement* link = item.FirstChildElement("link");
    const char* text = link != nullptr ? link->GetText() : nullptr;
    return TrimWhiteSpace(text != nullptr ? text : "");
}

// The file's text as TinyXML's LoadFile hands it to the parser: up to the
// first zero byte, with CR LF and lone CR turned into LF. Reading it here
// rather than through LoadFile keeps a folder standing at the path from being
// taken for a file of enormous length.
bool ReadArchiveText(const std::string& path, std::string& text) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    std::string bytes;
    if (!ReadWholeFile(path, bytes))
        return false;
    text.clear();
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size() && bytes[i] != '\0'; ++i) {
        if (bytes[i] == '\r') {
            text += '\n';
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            text += bytes[i];
        }
    }
    return true;
}

TiXmlElement* AddTextElement(TiXmlElement& parent, const char* name, const std::string& text) {
    auto* element = new TiXmlElement(name);
    element->LinkEndChild(new TiXmlText(text)); // one text node, also when empty
    parent.LinkEndChild(element);
    return element;
}

} // namespace

FeedArchive::FeedArchive() = default;
FeedArchive::~FeedArchive() = default;

void FeedArchive::Open(const std::string& path) {
    document_ = std::make_unique<TiXmlDocument>();
    root_ = nullptr;
    isNew_ = true;
    appended_ = false;
    walkStarted_ = false;
    links_.clear();

    std::string text;
    if (ReadArchiveText(path, text) && !NestsDeeperThan(text, kMaxXmlDepth)) {
        document_->Parse(text.c_str(), nullptr, TIXML_DEFAULT_ENCODING);
        // A document without any element (only a declaration or a comment)
        // has nothing to append to: it is started anew like a broken one.
        if (!document_->Error())
            root_ = document_->RootElement();
    }

    if (root_ == nullptr) {
        document_ = std::make_unique<TiXmlDocument>();
        document_->LinkEndChild(new TiXmlDeclaration("1.0", "", ""));
        root_ = new TiXmlElement(kRootName);
        document_->LinkEndChild(root_);
        return;
    }
    isNew_ = false;

    // The recorded items: the root's first "item" child and every element
    // after it, whatever its name.
    for (const TiXmlElement* item = root_->FirstChildElement("item"); item != nullptr;
         item = item->NextSiblingElement()) {
        walkStarted_ = true;
        links_.insert(LinkOf(*item));
    }
}

bool FeedArchive::Lookup(const std::string& enclosureUrl) const {
    return links_.contains(enclosureUrl);
}

void FeedArchive::Append(const std::string& title, const std::string& description,
                         const std::string& link, const std::string& pubDate) {
    if (root_ == nullptr)
        Open(std::string()); // not opened yet: start a new archive

    auto* item = new TiXmlElement("item");
    AddTextElement(*item, "title", title);
    AddTextElement(*item, "description", description);
    AddTextElement(*item, "link", link);
    AddTextElement(*item, "pubDate", pubDate);
    root_->LinkEndChild(item);
    appended_ = true;

    // The new item is the root's last child: it follows the first recorded
    // item, or, when there was none, is itself the first "item" of the walk.
    walkStarted_ = true;
    links_.insert(LinkOf(*item));
}

bool FeedArchive::Save(const std::string& path) {
    if (!appended_ || document_ == nullptr)
        return false;
    return WriteFileAtomically(path, Serialize());
}

std::string FeedArchive::Serialize() const {
    return document_ != nullptr ? PrintXmlDocument(*document_) : std::string();
}

} // namespace tessarine
