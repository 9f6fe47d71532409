#include "core/feeds/FeedArchive.h"

#include "core/feeds/FeedReader.h"
#include "core/files/FileStore.h"
#include "core/util/XmlText.h"

#include <tinyxml.h>

namespace tessarine {

namespace {

constexpr const char* kRootName = "TessarineFeed";

// The form in which links are compared, made so that a link appended and
// saved is found again after the archive is loaded: valid UTF-8 (see
// ValidUtf8), without the byte order marks the parser skips at the start, and
// with each run of white space inside it made one blank, as the parser
// condenses it. White space at either end stays: a look-up compares the URL
// it is given as it is, and recorded links are trimmed.
std::string LinkKey(std::string_view link) {
    const std::string valid = ValidUtf8(link);
    std::string_view v(valid);
    while (v.starts_with("\xEF\xBB\xBF") || v.starts_with("\xEF\xBF\xBE") ||
           v.starts_with("\xEF\xBF\xBF")) {
        v.remove_prefix(3);
        while (!v.empty() && IsXmlWhiteSpace(v.front()))
            v.remove_prefix(1);
    }
    std::size_t begin = 0, end = v.size();
    while (begin < end && IsXmlWhiteSpace(v[begin]))
        ++begin;
    while (end > begin && IsXmlWhiteSpace(v[end - 1]))
        --end;
    std::string key(v.substr(0, begin));
    for (std::size_t i = begin; i < end; ++i) {
        if (IsXmlWhiteSpace(v[i])) {
            if (!IsXmlWhiteSpace(v[i - 1]))
                key += ' ';
        } else {
            key += v[i];
        }
    }
    key += v.substr(end);
    return key;
}

// The recorded link of an item: the text of its first "link" child. A link
// that is not valid UTF-8 (from a file written elsewhere) is made valid in the
// document too, so that it is saved in the form it is compared in.
std::string LinkOf(TiXmlElement& item) {
    TiXmlElement* link = item.FirstChildElement("link");
    TiXmlNode* child = link != nullptr ? link->FirstChild() : nullptr;
    TiXmlText* text = child != nullptr ? child->ToText() : nullptr;
    if (text == nullptr)
        return {};
    text->SetValue(ValidUtf8(text->ValueStr()));
    return LinkKey(TrimWhiteSpace(text->ValueStr()));
}

TiXmlElement* AddTextElement(TiXmlElement& parent, const char* name, const std::string& text) {
    auto* element = new TiXmlElement(name);
    element->LinkEndChild(new TiXmlText(ValidUtf8(text))); // one text node, also when empty
    parent.LinkEndChild(element);
    return element;
}

bool IsPlainDeclarationValue(const char* value) {
    for (; *value != '\0'; ++value) {
        const char c = *value;
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '.' || c == '-' || c == '_' || c == ':'))
            return false;
    }
    return true;
}

void MakeTextsUtf8(TiXmlNode& node) {
    if (TiXmlElement* element = node.ToElement()) {
        for (TiXmlAttribute* a = element->FirstAttribute(); a != nullptr; a = a->Next())
            a->SetValue(ValidUtf8(a->ValueStr()));
    } else if (node.ToText() != nullptr || node.ToComment() != nullptr ||
               node.ToUnknown() != nullptr) {
        node.SetValue(ValidUtf8(node.ValueStr()));
    }
    for (TiXmlNode* child = node.FirstChild(); child != nullptr; child = child->NextSibling())
        MakeTextsUtf8(*child);
}

// Replaces the unsafe declarations among the children of `parent` and
// further down; true when there was one.
bool ReplaceUnsafeDeclarationsIn(TiXmlNode& parent) {
    bool replaced = false;
    for (TiXmlNode* node = parent.FirstChild(); node != nullptr; node = node->NextSibling()) {
        const TiXmlDeclaration* declaration = node->ToDeclaration();
        if (declaration == nullptr) {
            replaced = ReplaceUnsafeDeclarationsIn(*node) || replaced;
            continue;
        }
        if (IsPlainDeclarationValue(declaration->Version()) &&
            IsPlainDeclarationValue(declaration->Encoding()) &&
            IsPlainDeclarationValue(declaration->Standalone()))
            continue;
        node = parent.ReplaceChild(node, TiXmlDeclaration("1.0", "", ""));
        replaced = true;
    }
    return replaced;
}

// The printer writes a declaration's values as they stand: one holding a
// quote or markup (a damaged file) would make the saved archive unreadable.
// Such a declaration, also one the parser found inside an element, is
// replaced by the usual one, and as that reads the file as UTF-8, every text
// is made valid UTF-8 to match.
void ReplaceUnsafeDeclarations(TiXmlDocument& document) {
    if (ReplaceUnsafeDeclarationsIn(document))
        MakeTextsUtf8(document);
}

} // namespace

FeedArchive::FeedArchive() = default;
FeedArchive::~FeedArchive() = default;

void FeedArchive::Open(const std::string& path) {
    document_ = std::make_unique<TiXmlDocument>();
    root_ = nullptr;
    isNew_ = true;
    appended_ = false;
    leftAlone_ = false;
    links_.clear();

    // Others may put a link into a podcast folder: the archive is never read
    // or written through one.
    std::string text;
    const FileRead read = path.empty() ? FileRead::Missing
                                       : ReadXmlFile(path, kMaxArchiveFileBytes, text, false);
    leftAlone_ = read == FileRead::NotRegular || read == FileRead::TooLarge;
    if (read == FileRead::Read && !NestsDeeperThan(text, kMaxXmlDepth)) {
        std::string padded;
        document_->Parse(ParserInput(text, padded), nullptr, TIXML_DEFAULT_ENCODING);
        // A document without any element (only a declaration or a comment)
        // has nothing to append to: it is started anew like a broken one.
        if (!document_->Error()) {
            ReplaceUnsafeDeclarations(*document_);
            root_ = document_->RootElement();
        }
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
    for (TiXmlElement* item = root_->FirstChildElement("item"); item != nullptr;
         item = item->NextSiblingElement())
        links_.insert(LinkOf(*item));
}

bool FeedArchive::Lookup(const std::string& enclosureUrl) const {
    return links_.contains(LinkKey(enclosureUrl));
}

std::vector<FeedArchive::Entry> FeedArchive::Entries() const {
    std::vector<Entry> entries;
    if (root_ == nullptr)
        return entries;
    const auto text = [](const TiXmlElement& item, const char* name) {
        const TiXmlElement* child = item.FirstChildElement(name);
        const char* value = child != nullptr ? child->GetText() : nullptr;
        return value != nullptr ? std::string(value) : std::string();
    };
    for (const TiXmlElement* item = root_->FirstChildElement("item"); item != nullptr;
         item = item->NextSiblingElement()) {
        Entry entry{text(*item, "title"), TrimWhiteSpace(text(*item, "link")),
                    text(*item, "pubDate")};
        if (!entry.link.empty())
            entries.push_back(std::move(entry));
    }
    return entries;
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
    links_.insert(LinkKey(TrimWhiteSpace(link)));
}

bool FeedArchive::Save(const std::string& path) {
    if (!appended_ || document_ == nullptr || leftAlone_)
        return false;
    return WriteFileAtomically(path, Serialize(), false);
}

std::string FeedArchive::Serialize() const {
    return document_ != nullptr ? PrintXmlDocument(*document_) : std::string();
}

} // namespace tessarine
