// A test suite sharing one scripted HTTP server on 127.0.0.1:80 (serving files from Root()),
// started once for the suite; every test is skipped when port 80 cannot be bound (run as root
// inside a private network namespace).
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "acquisition/http_fetch.h"
#include "support.h"

class ScriptedSuite : public ::testing::Test {
protected:
    // Limits short enough for a test: a wait of 1 s, a fetch of 3 s, a body of 1 MiB.
    static FetchSettings ShortLimits()
    {
        FetchSettings settings;
        settings.timeoutMs = 1000;
        settings.totalMs = 3000;
        settings.maxBodyBytes = 1024 * 1024;
        return settings;
    }

    static void SetUpTestSuite()
    {
        s_root = std::make_unique<TempDir>();
        s_server = std::make_unique<ScriptedServer>();
        s_error.clear();
        if (!s_server->Start(80, s_root->Path()))
            s_error = s_server->Error();
    }
    static void TearDownTestSuite()
    {
        s_server.reset();
        s_root.reset();
    }
    void SetUp() override
    {
        if (!s_error.empty())
            GTEST_SKIP() << "scripted server cannot listen on 127.0.0.1:80 (run as root inside a private "
                            "network namespace): "
                         << s_error;
    }
    static const TempDir& Root() { return *s_root; }
    static const ScriptedServer& Server() { return *s_server; }

private:
    inline static std::unique_ptr<TempDir> s_root;
    inline static std::unique_ptr<ScriptedServer> s_server;
    inline static std::string s_error;
};
