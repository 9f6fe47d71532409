#pragma once
// Desktop notifications: a short message that the desktop shows outside the
// window, such as how many new episodes a check cycle has downloaded. Linux
// hands it to the desktop's notification service over D-Bus (nix/); other
// systems show nothing (win/).

#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace tessarine {

class Notifier {
public:
    virtual ~Notifier() = default;

    // Hands `text` (plain text, one sentence) to the desktop; false when
    // there is no desktop to hand it to. Never waits for the desktop, and
    // nothing is shown when no notification service is running.
    virtual bool Notify(const QString& text) = 0;

    // The platform's notifier, on the user's session.
    static std::unique_ptr<Notifier> Create();
};

// "3 new episodes from A, B, C" in the current language: the podcasts in the
// order given, each once, at most three named and the rest counted.
std::string NewEpisodesText(int count, const std::vector<std::string>& podcasts);

// After a check cycle: tells the desktop how many episodes were downloaded
// and from which podcasts; nothing for a cycle that downloaded none.
void NotifyNewEpisodes(Notifier& notifier, int count, const std::vector<std::string>& podcasts);

} // namespace tessarine
