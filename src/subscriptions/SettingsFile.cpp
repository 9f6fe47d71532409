#include "subscriptions/SettingsFile.h"

#include "subscriptions/FileStore.h"

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

    for (const SubscriptionPtr& s : list.Items()) {
        auto* feed = new TiXmlElement("feed");
        feed->SetAttribute("url", s->url);
        feed->SetAttribute("lastchecked", s->lastChecked.FormatStored());
        feed->LinkEndChild(new TiXmlText(s->name));
        root->LinkEndChild(feed);
    }
    return PrintXmlDocument(document);
}

std::optional<StoredSettings> ReadSettingsFile(const std::string& path) {
    TiXmlDocument document;
    if (!document.LoadFile(path, TIXML_DEFAULT_ENCODING))
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
