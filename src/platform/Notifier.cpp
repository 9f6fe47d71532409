#include "platform/Notifier.h"

#include "core/util/Strings.h"

#include <algorithm>

namespace tessarine {
namespace {

constexpr size_t kNamedPodcasts = 3;

} // namespace

std::string NewEpisodesText(int count, const std::vector<std::string>& podcasts) {
    std::vector<std::string> distinct;
    for (const std::string& name : podcasts)
        if (std::find(distinct.begin(), distinct.end(), name) == distinct.end())
            distinct.push_back(name);

    std::string names;
    for (size_t i = 0; i < distinct.size() && i < kNamedPodcasts; ++i)
        names += (i == 0 ? "" : ", ") + distinct[i];
    if (distinct.size() > kNamedPodcasts)
        names = FormatText(LoadResString(TXT_NOTIFY_MORE_PODCASTS),
                           {names, std::to_string(distinct.size() - kNamedPodcasts)});

    if (count == 1)
        return FormatText(LoadResString(TXT_NOTIFY_ONE_EPISODE), {names});
    return FormatText(LoadResString(TXT_NOTIFY_EPISODES), {std::to_string(count), names});
}

void NotifyNewEpisodes(Notifier& notifier, int count, const std::vector<std::string>& podcasts) {
    if (count <= 0)
        return;
    notifier.Notify(QString::fromStdString(NewEpisodesText(count, podcasts)));
}

} // namespace tessarine
