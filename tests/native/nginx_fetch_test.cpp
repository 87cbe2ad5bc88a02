// Fetching a static page from a real nginx on 127.0.0.1:80, started with its own temporary
// configuration. Skipped when nginx is not installed or port 80 cannot be bound.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "acquisition/http_fetch.h"
#include "support.h"

namespace {

std::string NginxConfig(const std::string& prefix)
{
    return "daemon off;\n"
           "master_process off;\n"
           "pid " + prefix + "/nginx.pid;\n"
           "error_log " + prefix + "/error.log;\n"
           "events { worker_connections 64; }\n"
           "http {\n"
           "  access_log off;\n"
           "  default_type text/html;\n"
           "  client_body_temp_path " + prefix + "/client_body;\n"
           "  proxy_temp_path " + prefix + "/proxy;\n"
           "  fastcgi_temp_path " + prefix + "/fastcgi;\n"
           "  uwsgi_temp_path " + prefix + "/uwsgi;\n"
           "  scgi_temp_path " + prefix + "/scgi;\n"
           "  server {\n"
           "    listen 127.0.0.1:80;\n"
           "    root " + prefix + "/html;\n"
           "  }\n"
           "}\n";
}

class NginxFetchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (std::string(SITEWAKE_NGINX).empty() || access(SITEWAKE_NGINX, X_OK) != 0)
            GTEST_SKIP() << "nginx is not installed";
        mkdir(m_prefix.File("html").c_str(), 0755);
        WriteWholeFile(m_prefix.File("nginx.conf"), NginxConfig(m_prefix.Path()));
        std::vector<std::string> argv = {SITEWAKE_NGINX, "-p", m_prefix.Path() + "/", "-e", m_prefix.File("error.log"),
                                         "-c", m_prefix.File("nginx.conf")};
        ASSERT_TRUE(m_nginx.Start(argv, m_prefix.File("stderr.log")));
        // nginx either listens or exits at once when it cannot bind.
        while (!WaitForListener(80, 200)) {
            if (m_nginx.HasExited() || ++m_waits > 50) {
                std::string why = ReadWholeFile(m_prefix.File("error.log")) + ReadWholeFile(m_prefix.File("stderr.log"));
                GTEST_SKIP() << "nginx cannot listen on 127.0.0.1:80 (run as root inside a private network "
                                "namespace): "
                             << why;
            }
        }
    }

    TempDir m_prefix;
    TempDir m_out;
    ChildProcess m_nginx;
    int m_waits = 0;
};

TEST_F(NginxFetchTest, StaticPageIsStoredWithCrLf)
{
    std::string page = "<!DOCTYPE html>\n<html><head><title>\x83\x5C\x95\x5C</title></head>\n<body>\n";
    std::string expected = "\r\r\n<!DOCTYPE html>\r\n<html><head><title>\x83\x5C\x95\x5C</title></head>\r\n<body>\r\n";
    for (int i = 0; i < 500; ++i) {
        std::string row = "<p>row " + std::to_string(i) + " of a page served by nginx</p>";
        page += row + "\n";
        expected += row + "\r\n";
    }
    page += "</body></html>\n";
    expected += "</body></html>\r\n";
    WriteWholeFile(m_prefix.File("html/page.htm"), page);
    std::string out = m_out.File("new.htm");
    EXPECT_EQ(HttpGetToFile("http://127.0.0.1/page.htm", out.c_str()), 1);
    EXPECT_EQ(ReadWholeFile(out), expected);
}

}  // namespace
