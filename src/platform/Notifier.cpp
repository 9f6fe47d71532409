#include "platform/Notifier.h"

#include "core/util/Strings.h"

#include <algorithm>

namespace tessarine {
namespace {

constexpr size_t kNamedPodcasts = 5;

} // namespace

NewEpisodesText NewEpisodesNews(int count, const std::vector<std::string>& podcasts) {
    std::vector<std::string> distinct;
    for (const std::string& name : podcasts)
        if (std::find(distinct.begin(), distinct.end(), name) == distinct.end())
            distinct.push_back(name);

    NewEpisodesText text;
    for (size_t i = 0; i < distinct.size() && i < kNamedPodcasts; ++i)
        text.body += (i == 0 ? "" : ", ") + distinct[i];
    if (distinct.size() > kNamedPodcasts)
        text.body = FormatText(LoadResString(TXT_NOTIFY_MORE_PODCASTS),
                               {text.body, std::to_string(distinct.size() - kNamedPodcasts)});

    text.summary = count == 1 ? LoadResString(TXT_NOTIFY_ONE_EPISODE)
                              : FormatResString(TXT_NOTIFY_EPISODES, std::to_string(count));
    return text;
}

void NotifyNewEpisodes(Notifier& notifier, int count, const std::vector<std::string>& podcasts) {
    if (count <= 0)
        return;
    const NewEpisodesText text = NewEpisodesNews(count, podcasts);
    notifier.Notify(QString::fromStdString(text.summary), QString::fromStdString(text.body));
}

} // namespace tessarine
