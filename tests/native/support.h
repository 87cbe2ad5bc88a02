// Helpers shared by the native tests: temporary folders, whole-file reads and writes, child
// processes, and the scripted HTTP server.
#pragma once
#include <sys/resource.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/common/memory_sink.h"

std::string ReadWholeFile(const std::string& path);

// A section as the platform hands it over: "key=value" lines each ended by a zero byte, then the
// zero byte that ends the section.
std::vector<char> SectionText(const std::vector<std::string>& lines);

bool FileExists(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);

// A fresh folder under $TMPDIR (or /tmp), removed with its contents at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// A child process with its standard output on a pipe; terminated and reaped at the end.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] (a path) with its standard error going to stderrPath.
    bool Start(const std::vector<std::string>& argv, const std::string& stderrPath);
    // Reads one line of standard output; false at its end or after timeoutMs.
    bool ReadLine(std::string* line, int timeoutMs);
    // True once the child has ended (it is reaped then).
    bool HasExited();
    void Stop();

private:
    pid_t m_pid = -1;
    int m_stdout = -1;
    std::string m_pending;
};

// tests/server/scripted_server.py on 127.0.0.1, recording each request in its own log.
class ScriptedServer {
public:
    // Starts the server; false with Error() set when it cannot listen.
    bool Start(int port, const std::string& root, int pauseMs = 200);
    const std::string& Error() const { return m_error; }
    // The raw requests recorded so far, in order.
    std::vector<std::string> Requests() const;

private:
    TempDir m_dir;
    ChildProcess m_process;
    std::string m_error;
};

// Waits until something accepts connections on 127.0.0.1:port.
bool WaitForListener(int port, int timeoutMs);

// True when the only network interface is loopback (a private network namespace): name lookups
// that miss /etc/hosts then cannot leave the machine.
bool OnlyLoopbackNetwork();

// Limits the size of every file this process writes, as a full disk would, for its lifetime: a
// write past the limit fails (EFBIG) instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_saved;
    void (*m_oldHandler)(int);
};
