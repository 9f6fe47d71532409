#pragma once
// Desktop notifications: a short message that the desktop shows outside the
// window, such as how many new episodes a check cycle has downloaded. Linux
// hands it to the desktop's notification service over D-Bus (nix/); other
// systems show nothing (win/).

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tessarine {

class Notifier {
public:
    virtual ~Notifier() = default;

    // Hands a notification to the desktop: `summary` a few words, `body`
    // the details (both plain text). It takes the place of the one this
    // notifier showed before, if that is still shown. False when there is no
    // desktop to hand it to. Never waits for the desktop, and nothing is
    // shown when no notification service is running.
    virtual bool Notify(const QString& summary, const QString& body) = 0;

    // Called when the user chooses the notification itself (clicks it),
    // on the thread the notifier lives on.
    void SetActivation(std::function<void()> activated) { activated_ = std::move(activated); }

    // The platform's notifier, on the user's session.
    static std::unique_ptr<Notifier> Create();

protected:
    void Activated() const {
        if (activated_)
            activated_();
    }

private:
    std::function<void()> activated_;
};

// The notification of `count` new episodes from `podcasts` in the current
// language: the summary counts the episodes ("4 new episodes"), the body
// names the podcasts in the order given, each once, at most five of them
// and the rest counted ("A, B, C, D, E and 2 more").
struct NewEpisodesText {
    std::string summary, body;
};
NewEpisodesText NewEpisodesNews(int count, const std::vector<std::string>& podcasts);

// After a check cycle: tells the desktop how many episodes were downloaded
// and from which podcasts; nothing for a cycle that downloaded none.
void NotifyNewEpisodes(Notifier& notifier, int count, const std::vector<std::string>& podcasts);

} // namespace tessarine
