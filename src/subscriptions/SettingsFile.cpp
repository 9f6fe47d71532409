#include "subscriptions/SettingsFile.h"

#include "subscriptions/FileStore.h"
#include "subscriptions/XmlText.h"

#include <tinyxml.h>

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
    // reads back whole.
    for (const SubscriptionPtr& s : list.Items()) {
        auto* feed = new TiXmlElement("feed");
        feed->SetAttribute("url", ValidUtf8(s->url));
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
    if (!ReadXmlFile(path, text) || NestsDeeperThan(text, kMaxXmlDepth))
        return std::nullopt;
    TiXmlDocument document;
    std::string padded;
    document.Parse(ParserInput(text, padded), nullptr, TIXML_DEFAULT_ENCODING);
    if (document.Error())
        return std::nullopt;

    StoredSettings stored;
    TiXmlElement* root = document.FirstChildElement("TessarineSettings");
    if (root == nullptr)
        return stored;

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
    for (TiXmlElement* e = root->FirstChildElement("feed"); e != nullptr;
         e = e->NextSiblingElement()) {
        StoredFeed feed;
        if (const char* text = e->GetText())
            feed.name = text;
        if (const char* url = e->Attribute("url"))
            feed.url = url;
        if (const char* checked = e->Attribute("lastchecked"))
            feed.lastChecked = checked;
        stored.feeds.push_back(std::move(feed));
    }
    return stored;
}

} // namespace tessarine
