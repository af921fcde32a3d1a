// Loopback throughput of nc against a plain 8 KiB read/write loop:
// 1 GiB from stdin to a discarding server, and 1 GiB from a server to
// stdout. Prints MB/s and the peak resident memory of each run.
//   nc_throughput NC COPY8K [MiB [up|down]]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

static size_t total;

static double now()
{
	timespec ts;
	clock_gettime(CLOCK_MONOTONIC, &ts);
	return ts.tv_sec + ts.tv_nsec / 1e9;
}

static void pump_out(int fd, size_t n)
{
	static const char block[65536] = {};
	while (n > 0) {
		ssize_t w = write(fd, block, std::min(n, sizeof block));
		if (w <= 0)
			break;
		n -= w;
	}
}

static size_t drain(int fd)
{
	char block[65536];
	size_t got = 0;
	ssize_t n;
	while ((n = read(fd, block, sizeof block)) > 0)
		got += n;
	return got;
}

// With two CPUs or more, the program measured runs on CPU 1 and its
// peers on CPU 0, so that they do not take turns on one.
static void pin(int cpu)
{
	if (sysconf(_SC_NPROCESSORS_ONLN) < 2)
		return;
	cpu_set_t set;
	CPU_ZERO(&set);
	CPU_SET(cpu, &set);
	sched_setaffinity(0, sizeof set, &set);
}

struct Run {
	double mb_per_s;
	long peak_kib;
	bool whole;
};

// up: the program's stdin carries the data to a server that discards it.
// down: a server sends the data, which the program writes to its stdout.
static Run run(const std::vector<std::string> &argv_in, bool up)
{
	int listener = socket(AF_INET, SOCK_STREAM, 0);
	sockaddr_in addr{};
	addr.sin_family = AF_INET;
	addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
	socklen_t len = sizeof addr;
	bind(listener, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
	listen(listener, 1);
	getsockname(listener, reinterpret_cast<sockaddr *>(&addr), &len);
	std::string port = std::to_string(ntohs(addr.sin_port));

	size_t served = 0;
	std::thread server([&] {
		int fd = accept(listener, nullptr, nullptr);
		if (up)
			served = drain(fd);
		else
			pump_out(fd, total), served = total;
		close(fd);
	});

	int data[2];
	pipe(data);
	std::vector<std::string> argv = argv_in;
	argv.push_back("127.0.0.1");
	argv.push_back(port);
	std::vector<char *> args;
	for (auto &a : argv)
		args.push_back(a.data());
	args.push_back(nullptr);

	double start = now();
	pid_t pid = fork();
	if (pid == 0) {
		pin(1);
		int null = open("/dev/null", O_RDWR);
		dup2(up ? data[0] : null, 0);
		dup2(up ? null : data[1], 1);
		close(data[0]);
		close(data[1]);
		execv(args[0], args.data());
		_exit(127);
	}
	size_t copied = 0;
	std::thread feeder([&] {
		if (up)
			pump_out(data[1], total), copied = total;
		else
			copied = drain(data[0]);
	});
	if (up)
		close(data[0]);
	else
		close(data[1]);
	feeder.join();
	if (up)
		close(data[1]);
	else
		close(data[0]);
	int status;
	rusage ru{};
	wait4(pid, &status, 0, &ru);
	double seconds = now() - start;
	server.join();
	close(listener);
	bool whole = WIFEXITED(status) && WEXITSTATUS(status) == 0 && served == total && copied == total;
	return {total / seconds / 1e6, ru.ru_maxrss, whole};
}

static Run median(std::vector<Run> runs)
{
	std::sort(runs.begin(), runs.end(), [](const Run &a, const Run &b) { return a.mb_per_s < b.mb_per_s; });
	Run m = runs[runs.size() / 2];
	m.whole = std::all_of(runs.begin(), runs.end(), [](const Run &r) { return r.whole; });
	return m;
}

static void print(const char *name, bool up, const Run &r, size_t trials)
{
	printf("%-12s %-16s %8.0f MB/s (median of %zu)  peak RSS %5ld KiB%s\n", name,
	       up ? "stdin -> server" : "server -> stdout", r.mb_per_s, trials, r.peak_kib,
	       r.whole ? "" : "  INCOMPLETE TRANSFER");
}

// nc and the yardstick take turns, so that drift in the machine's speed
// falls on both alike.
static void compare(const char *nc, const char *copy8k, bool up)
{
	const size_t trials = 7;
	std::vector<Run> a, b;
	for (size_t i = 0; i < trials; i++) {
		a.push_back(run({nc}, up));
		b.push_back(run({copy8k, up ? "up" : "down"}, up));
	}
	print("nc", up, median(a), trials);
	print("8 KiB loop", up, median(b), trials);
}

int main(int argc, char **argv)
{
	if (argc < 3) {
		fprintf(stderr, "usage: nc_throughput NC COPY8K [MiB [up|down]]\n");
		return 2;
	}
	signal(SIGPIPE, SIG_IGN);
	pin(0);
	total = (argc > 3 ? atol(argv[3]) : 1024) << 20;
	printf("%zu MiB each way over loopback\n", total >> 20);
	const char *only = argc > 4 ? argv[4] : "";
	for (bool up : {true, false}) {
		if (*only && strcmp(only, up ? "up" : "down") != 0)
			continue;
		compare(argv[1], argv[2], up);
	}
}
