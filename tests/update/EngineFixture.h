#pragma once
// A fixture for tests of the update engine: a base directory one level below
// a temporary root (so that a test can remove or replace it), a model, a
// recording view, a loopback server and the engine, made on first use.
#include "support/LoopbackServer.h"
#include "support/RecordingView.h"
#include "support/TestSupport.h"
#include "update/UpdateEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

namespace tessarine::test {

class EngineFixture : public testing::Test {
protected:
    EngineFixture() {
        std::filesystem::create_directory(base);
        model.baseDirectory = Base();
        options.http.connectTimeoutSeconds = options.http.stallTimeoutSeconds = 5;
    }

    UpdateEngine& Engine(bool checkAndQuit = false) {
        if (!engine)
            engine = std::make_unique<UpdateEngine>(model, view, checkAndQuit, options);
        return *engine;
    }

    SubscriptionPtr Add(const std::string& url, const std::string& name = "") {
        std::lock_guard lock(model.mutex);
        return model.subscriptions.Append(url, name);
    }

    // The base directory as stored: with a trailing separator.
    std::string Base() const { return base.string() + "/"; }

    // Everything below `folder`, relative to it and sorted.
    static std::vector<std::string> Tree(const std::filesystem::path& folder) {
        std::vector<std::string> names;
        for (auto& entry : std::filesystem::recursive_directory_iterator(folder))
            names.push_back(std::filesystem::relative(entry.path(), folder).string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // In this order, so that the engine is destroyed first, before the
    // server, view, model and folders it uses.
    TempDir root;
    std::filesystem::path base = root.Path() / "base";
    SharedModel model;
    RecordingView view;
    EngineOptions options;
    LoopbackServer server;
    std::unique_ptr<UpdateEngine> engine;
};

} // namespace tessarine::test
