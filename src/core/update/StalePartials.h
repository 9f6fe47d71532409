#pragma once
// The partial files (and resume information) that transfers cut off left in
// a feed's folder: after the feed's check, those whose enclosures the feed
// no longer lists and no queued entry fetches into the folder are removed.

#include "core/model/SharedModel.h"

#include <string>
#include <unordered_set>
#include <vector>

namespace tessarine {

class StalePartials {
public:
    // The folder of the feed named `folder` below `base`.
    StalePartials(const SharedModel& model, std::string base, std::string folder);

    // Removes the partial files among `listed` (the folder's names as listed
    // during the step) whose enclosures are neither among `fileNames` nor
    // queued into the same folder.
    void Remove(const std::unordered_set<std::string>& listed,
                const std::vector<std::string>& fileNames) const;

private:
    // The names of the partial file and resume information of `fileName`.
    void Keep(std::unordered_set<std::string>& kept, const std::string& fileName) const;

    const SharedModel& model_;
    const std::string base_;
    const std::string folder_;
};

} // namespace tessarine
