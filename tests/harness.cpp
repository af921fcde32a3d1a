#include "harness.h"

#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <random>

namespace harness {

// A program that exits early must not take the tests down with SIGPIPE.
static const bool sigpipe_ignored = signal(SIGPIPE, SIG_IGN) != SIG_ERR;

// MARLET_PICO in the environment names another build to test: its
// marlet-pico, after the words of the emulator that runs it, if any.
static const std::vector<std::string> &under_test()
{
	static const std::vector<std::string> words = [] {
		const char *value = getenv("MARLET_PICO");
		std::vector<std::string> w;
		std::string word;
		for (const char *p = value && *value ? value : MARLET_PICO;; p++) {
			if (*p && *p != ' ') {
				word += *p;
				continue;
			}
			if (!word.empty())
				w.push_back(word), word.clear();
			if (!*p)
				return w;
		}
	}();
	return words;
}

std::string program() { return under_test().back(); }

std::string link(const std::string &applet)
{
	std::string p = program();
	return p.substr(0, p.rfind('/')) + "/links/" + applet;
}

bool emulated() { return under_test().size() > 1; }

std::string banner() { return "marlet-pico v0.1pre (2001.03.05-08:12+0000) network toolbox\n\n"; }

std::string listing()
{
	return banner() +
	       "Usage: marlet-pico [function] [arguments]...\n"
	       "   or: function [arguments]...\n\n"
	       "\tRun one of the functions below, named either by the first argument\n"
	       "\tor by the name the program is called under (usually a link).\n\n"
	       "Defined functions:\n"
	       "\tifconfig, marlet-pico, nc, ping, route, wget\n\n";
}

std::string usage(const std::string &usage_text) { return banner() + "Usage: " + usage_text + "\n"; }

static long now_ms()
{
	timespec ts;
	clock_gettime(CLOCK_MONOTONIC, &ts);
	return ts.tv_sec * 1000L + ts.tv_nsec / 1000000;
}

static int left_ms(long deadline)
{
	long left = deadline - now_ms();
	return left > 0 ? static_cast<int>(left) : 0;
}

// Under an emulator the file is handed to it, and argv[0] with -0.
static std::vector<std::string> command_line(const std::string &file, const std::vector<std::string> &argv)
{
	if (!emulated())
		return argv;
	std::vector<std::string> cmd = under_test();
	cmd.back() = "-0";
	cmd.push_back(argv.empty() ? "" : argv[0]);
	cmd.push_back(file);
	if (!argv.empty())
		cmd.insert(cmd.end(), argv.begin() + 1, argv.end());
	return cmd;
}

Result run_file(const std::string &file, const std::vector<std::string> &argv, const Options &opt)
{
	Result r;
	int in[2], out[2], err[2];
	if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
		return r;

	const std::vector<std::string> cmd = command_line(file, argv);
	const std::string &exe = emulated() ? cmd[0] : file;
	std::vector<char *> args;
	for (const std::string &a : cmd)
		args.push_back(const_cast<char *>(a.c_str()));
	args.push_back(nullptr);

	pid_t pid = fork();
	if (pid == 0) {
		if (opt.close_stdin)
			close(0);
		else
			dup2(in[0], 0);
		dup2(out[1], 1);
		dup2(err[1], 2);
		signal(SIGPIPE, SIG_DFL);
		execve(exe.c_str(), args.data(), environ);
		_exit(127);
	}
	close(in[0]);
	close(out[1]);
	close(err[1]);
	if (opt.pid)
		*opt.pid = pid;
	fcntl(in[1], F_SETFL, O_NONBLOCK);

	long deadline = now_ms() + opt.timeout_ms;
	size_t sent = 0;
	int to_child = in[1];
	if (opt.input.empty() && !opt.keep_stdin_open) {
		close(to_child);
		to_child = -1;
	}
	bool out_open = true, err_open = true;
	char buf[65536];
	while ((out_open || err_open) && left_ms(deadline) > 0) {
		pollfd fds[3] = {{out_open ? out[0] : -1, POLLIN, 0},
				 {err_open ? err[0] : -1, POLLIN, 0},
				 {sent < opt.input.size() ? to_child : -1, POLLOUT, 0}};
		if (poll(fds, 3, left_ms(deadline)) <= 0)
			continue;
		for (int i = 0; i < 2; i++) {
			if (!fds[i].revents)
				continue;
			ssize_t n = read(fds[i].fd, buf, sizeof buf);
			if (n > 0)
				(i ? r.err : r.out).append(buf, n);
			else
				(i ? err_open : out_open) = false;
		}
		if (fds[2].revents) {
			ssize_t n = write(to_child, opt.input.data() + sent, opt.input.size() - sent);
			if (n > 0)
				sent += n;
			if (n < 0 || sent == opt.input.size()) {
				if (n < 0 || !opt.keep_stdin_open) {
					close(to_child);
					to_child = -1;
				}
				sent = opt.input.size();
			}
		}
	}

	int status = 0;
	rusage ru{};
	while (wait4(pid, &status, WNOHANG, &ru) == 0) {
		if (left_ms(deadline) == 0) {
			r.timed_out = true;
			kill(pid, SIGKILL);
			wait4(pid, &status, 0, &ru);
			break;
		}
		usleep(2000);
	}
	if (to_child >= 0)
		close(to_child);
	close(out[0]);
	close(err[0]);
	r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
	r.cpu_seconds = ru.ru_utime.tv_sec + ru.ru_stime.tv_sec +
			(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
	return r;
}

Result run_as(const std::string &argv0, const std::vector<std::string> &args, const Options &opt)
{
	std::vector<std::string> argv{argv0};
	argv.insert(argv.end(), args.begin(), args.end());
	return run_file(program(), argv, opt);
}

Result run_applet(const std::string &applet, const std::vector<std::string> &args, const Options &opt)
{
	std::vector<std::string> argv{link(applet)};
	argv.insert(argv.end(), args.begin(), args.end());
	return run_file(link(applet), argv, opt);
}

bool send_all(int fd, const std::string &data, int timeout_ms)
{
	long deadline = now_ms() + timeout_ms;
	size_t sent = 0;
	while (sent < data.size()) {
		pollfd p{fd, POLLOUT, 0};
		if (poll(&p, 1, left_ms(deadline)) <= 0)
			return false;
		ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
		if (n < 0 && errno != EAGAIN)
			return false;
		if (n > 0)
			sent += n;
	}
	return true;
}

std::string receive(int fd, size_t max, int timeout_ms)
{
	long deadline = now_ms() + timeout_ms;
	std::string got;
	char buf[65536];
	while (got.size() < max) {
		pollfd p{fd, POLLIN, 0};
		if (poll(&p, 1, left_ms(deadline)) <= 0)
			break;
		ssize_t n = recv(fd, buf, std::min(sizeof buf, max - got.size()), MSG_DONTWAIT);
		if (n == 0 || (n < 0 && errno != EAGAIN))
			break;
		if (n > 0)
			got.append(buf, n);
	}
	return got;
}

std::string exchange(int fd, const std::string &data, int timeout_ms)
{
	long deadline = now_ms() + timeout_ms;
	std::string got;
	size_t sent = 0;
	bool reading = true;
	char buf[65536];
	while ((reading || sent < data.size()) && left_ms(deadline) > 0) {
		pollfd p{fd, static_cast<short>((reading ? POLLIN : 0) | (sent < data.size() ? POLLOUT : 0)), 0};
		if (poll(&p, 1, left_ms(deadline)) <= 0)
			continue;
		if (p.revents & (POLLIN | POLLHUP | POLLERR) && reading) {
			ssize_t n = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
			if (n > 0)
				got.append(buf, n);
			else if (n == 0 || errno != EAGAIN)
				reading = false;
		}
		if (p.revents & POLLOUT && sent < data.size()) {
			ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
			if (n > 0)
				sent += n;
			else if (errno != EAGAIN)
				sent = data.size();
		}
	}
	return got;
}

TcpServer::TcpServer(std::function<void(int fd)> handler)
{
	listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
	sockaddr_in addr{};
	addr.sin_family = AF_INET;
	addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	socklen_t len = sizeof addr;
	if (bind(listener_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) || listen(listener_, 4) ||
	    getsockname(listener_, reinterpret_cast<sockaddr *>(&addr), &len))
		return;
	port_ = ntohs(addr.sin_port);
	int listener = listener_;
	thread_ = std::thread([listener, handler] {
		pollfd p{listener, POLLIN, 0};
		if (poll(&p, 1, 20000) <= 0)
			return;
		int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
		if (fd < 0)
			return;
		handler(fd);
		close(fd);
	});
}

TcpServer::~TcpServer()
{
	// Wakes an accept that no client will satisfy.
	shutdown(listener_, SHUT_RDWR);
	if (thread_.joinable())
		thread_.join();
	close(listener_);
}

NetNamespace::NetNamespace()
{
	home_ = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
	if (home_ < 0) {
		why_not_ = std::string("cannot open the current namespace: ") + strerror(errno);
		return;
	}
	if (unshare(CLONE_NEWNET) != 0) {
		why_not_ = std::string("unshare(CLONE_NEWNET): ") + strerror(errno);
		return;
	}
	int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
	ifreq ifr{};
	strcpy(ifr.ifr_name, "lo");
	ifr.ifr_flags = IFF_UP | IFF_LOOPBACK | IFF_RUNNING;
	if (fd < 0 || ioctl(fd, SIOCSIFFLAGS, &ifr) != 0)
		why_not_ = std::string("cannot bring up lo: ") + strerror(errno);
	if (fd >= 0)
		close(fd);
}

NetNamespace::~NetNamespace()
{
	if (home_ >= 0) {
		setns(home_, CLONE_NEWNET);
		close(home_);
	}
}

std::string random_bytes(size_t n, unsigned seed)
{
	std::mt19937 gen(seed);
	std::string s(n, '\0');
	for (char &c : s)
		c = static_cast<char>(gen());
	return s;
}

}  // namespace harness
