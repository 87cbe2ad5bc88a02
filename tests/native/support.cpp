#include "support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ftw.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

std::vector<char> SectionText(const std::vector<std::string>& lines)
{
    std::vector<char> text;
    for (const auto& line : lines) {
        text.insert(text.end(), line.begin(), line.end());
        text.push_back('\0');
    }
    text.push_back('\0');
    return text;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool FileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

void WriteWholeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TempDir::TempDir()
{
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/sitewake-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) != nullptr)
        m_path = buffer.data();
}

static int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

TempDir::~TempDir()
{
    if (!m_path.empty())
        nftw(m_path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::string& stderrPath)
{
    int out[2];
    if (pipe(out) != 0)
        return false;
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0) {
        close(out[0]);
        close(out[1]);
        return false;
    }
    if (pid == 0) {
        dup2(out[1], 1);
        int err = open(stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (err >= 0)
            dup2(err, 2);
        close(out[0]);
        close(out[1]);
        execv(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    m_pid = pid;
    m_stdout = out[0];
    return true;
}

bool ChildProcess::ReadLine(std::string* line, int timeoutMs)
{
    for (;;) {
        size_t end = m_pending.find('\n');
        if (end != std::string::npos) {
            *line = m_pending.substr(0, end);
            m_pending.erase(0, end + 1);
            return true;
        }
        pollfd entry = {m_stdout, POLLIN, 0};
        if (poll(&entry, 1, timeoutMs) <= 0)
            return false;
        char buffer[256];
        ssize_t got = read(m_stdout, buffer, sizeof(buffer));
        if (got <= 0)
            return false;
        m_pending.append(buffer, static_cast<size_t>(got));
    }
}

bool ChildProcess::HasExited()
{
    if (m_pid > 0 && waitpid(m_pid, nullptr, WNOHANG) == m_pid)
        m_pid = -1;
    return m_pid <= 0;
}

void ChildProcess::Stop()
{
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    if (m_stdout >= 0) {
        close(m_stdout);
        m_stdout = -1;
    }
}

bool ScriptedServer::Start(int port, const std::string& root, int pauseMs)
{
    std::string errors = m_dir.File("server.err");
    std::vector<std::string> argv = {SITEWAKE_PYTHON3, SITEWAKE_SERVER_SCRIPT, "--port", std::to_string(port),
                                     "--log", m_dir.File("requests.log"), "--root", root,
                                     "--pause-ms", std::to_string(pauseMs)};
    std::string line;
    if (m_process.Start(argv, errors) && m_process.ReadLine(&line, 15000) && line.rfind("ready ", 0) == 0)
        return true;
    m_process.Stop();
    m_error = ReadWholeFile(errors);
    if (m_error.empty())
        m_error = "the scripted server did not start";
    return false;
}

std::vector<std::string> ScriptedServer::Requests() const
{
    std::string log = ReadWholeFile(m_dir.File("requests.log"));
    std::vector<std::string> requests;
    size_t pos = 0;
    while (pos < log.size()) {
        size_t eol = log.find('\n', pos);
        if (eol == std::string::npos)
            break;
        std::string head = log.substr(pos, eol - pos);
        size_t at = head.rfind(' ');
        size_t len = static_cast<size_t>(strtoul(head.c_str() + at + 1, nullptr, 10));
        requests.push_back(log.substr(eol + 1, len));
        pos = eol + 1 + len + 1;
    }
    return requests;
}

bool WaitForListener(int port, int timeoutMs)
{
    for (int waited = 0; waited < timeoutMs; waited += 50) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in peer = {};
        peer.sin_family = AF_INET;
        peer.sin_port = htons(static_cast<uint16_t>(port));
        peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bool connected = connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) == 0;
        close(fd);
        if (connected)
            return true;
        usleep(50 * 1000);
    }
    return false;
}

bool OnlyLoopbackNetwork()
{
    // /proc/net/dev lists the interfaces of this process's network namespace, after two heading
    // lines, as "name: counters".
    std::istringstream lines(ReadWholeFile("/proc/net/dev"));
    std::string line;
    int count = 0;
    bool onlyLoopback = true;
    while (std::getline(lines, line)) {
        if (++count <= 2)
            continue;
        size_t colon = line.find(':');
        size_t first = line.find_first_not_of(' ');
        if (colon == std::string::npos || first == std::string::npos)
            continue;
        onlyLoopback = onlyLoopback && line.substr(first, colon - first) == "lo";
    }
    return count > 2 && onlyLoopback;
}

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    getrlimit(RLIMIT_FSIZE, &m_saved);
    m_oldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_saved;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    setrlimit(RLIMIT_FSIZE, &m_saved);
    signal(SIGXFSZ, m_oldHandler);
}
