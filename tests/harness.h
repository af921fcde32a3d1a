// Running the built program as a user would, and the real peers it meets:
// loopback TCP servers and private network namespaces.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace harness {

// The built marlet-pico and the directory of links to it, one per applet.
std::string program();
std::string link(const std::string &applet);
// Whether the program runs under an emulator (built for another machine).
bool emulated();

struct Options {
	std::string input;             // written to stdin, which is then closed
	bool keep_stdin_open = false;  // stdin stays open (no end of file) until the program ends
	bool close_stdin = false;      // the program starts with descriptor 0 closed
	int timeout_ms = 20000;        // then the program is killed
	std::atomic<pid_t> *pid = nullptr;  // set once the program runs
};

struct Result {
	std::string out, err;
	int status = -1;  // exit status, or minus the signal that ended the program
	double cpu_seconds = 0;
	bool timed_out = false;
};

// Runs file with the given argument vector (argv[0] included; it may be
// empty) and the environment of the tests.
Result run_file(const std::string &file, const std::vector<std::string> &argv, const Options &opt = {});
// Runs the program under a name: argv[0] is the name, the file is the program.
Result run_as(const std::string &argv0, const std::vector<std::string> &args, const Options &opt = {});
// Runs the program through its link for an applet, as a user would.
Result run_applet(const std::string &applet, const std::vector<std::string> &args, const Options &opt = {});

// The help text and the listing of the toolbox's own applet.
std::string banner();
std::string listing();
std::string usage(const std::string &usage_text);

// Blocking I/O on a socket, bounded by a deadline; false on time-out or failure.
bool send_all(int fd, const std::string &data, int timeout_ms = 10000);
// Reads until end of file (or until max bytes have arrived).
std::string receive(int fd, size_t max = SIZE_MAX, int timeout_ms = 10000);
// Sends data and receives until the peer's end of file, both at once;
// the received bytes, or what arrived before a time-out.
std::string exchange(int fd, const std::string &data, int timeout_ms = 20000);

// A TCP server on 127.0.0.1 that accepts one connection and hands it to the
// handler on its own thread. The connection is closed when the handler
// returns; the destructor waits for that.
class TcpServer {
public:
	explicit TcpServer(std::function<void(int fd)> handler);
	~TcpServer();
	TcpServer(const TcpServer &) = delete;
	TcpServer &operator=(const TcpServer &) = delete;
	unsigned port() const { return port_; }
	std::string port_text() const { return std::to_string(port_); }

private:
	int listener_ = -1;
	unsigned port_ = 0;
	std::thread thread_;
};

// Moves the calling thread (and what it starts from then on) into a fresh
// network namespace with its loopback up; the destructor moves it back.
class NetNamespace {
public:
	NetNamespace();
	~NetNamespace();
	NetNamespace(const NetNamespace &) = delete;
	NetNamespace &operator=(const NetNamespace &) = delete;
	bool entered() const { return why_not_.empty(); }
	const std::string &why_not() const { return why_not_; }

private:
	int home_ = -1;
	std::string why_not_;
};

std::string random_bytes(size_t n, unsigned seed);

}  // namespace harness

#define SKIP_IF_EMULATED(why) \
	if (harness::emulated()) GTEST_SKIP() << "not under an emulator: " << why

#define SKIP_UNLESS_NETNS(ns) \
	if (!(ns).entered()) GTEST_SKIP() << "needs a private network namespace: " << (ns).why_not()
